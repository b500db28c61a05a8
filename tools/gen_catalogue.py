#!/usr/bin/env python3
"""Generates the C++ payload table and the resource script's payload declarations from
payload/catalogue.tsv, so that the two can never drift apart.

usage: gen_catalogue.py CATALOGUE.tsv PAYLOAD_DIR OUT_DIR
writes OUT_DIR/payload_rows.inc and OUT_DIR/payload.rc (only when their text changes).
"""
import os
import re
import sys

GROUPS = {"SupportLibrary", "Driver", "ProductExe", "CompanionExe", "Skin"}
CONDITIONS = {"Always", "Wow64Only", "Native32Only", "CompanionRefreshed"}
BASES = {"TempDir", "SystemDir", "InstallDir", "CompanionPath"}


def read_rows(path):
    rows = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            cols = line.split("\t")
            if len(cols) != 8:
                sys.exit(f"{path}:{number}: expected 8 tab-separated columns, found {len(cols)}")
            group, cond, base, rel, rtype, rid, msg, source = cols
            if group not in GROUPS or cond not in CONDITIONS or base not in BASES:
                sys.exit(f"{path}:{number}: unknown group, condition or base")
            if (base == "CompanionPath") != (rel == "") or (rel and not rel.startswith("\\")):
                sys.exit(f"{path}:{number}: relative path must begin with a backslash (empty for the companion)")
            if not re.fullmatch(r"[A-Z][A-Z0-9_]*", rtype):
                sys.exit(f"{path}:{number}: resource type must be an upper-case name")
            rows.append((group, cond, base, rel, rtype, int(rid), msg, source))
    return rows


def c_string(text, wide=False):
    body = text.replace("\\", "\\\\").replace('"', '\\"')
    return ('L"' if wide else '"') + body + '"'


def write_if_changed(path, text):
    if os.path.exists(path):
        with open(path, encoding="utf-8") as f:
            if f.read() == text:
                return
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def main():
    catalogue, payload_dir, out_dir = sys.argv[1:4]
    rows = read_rows(catalogue)
    pairs = {}
    for r in rows:
        key = (r[4], r[5])
        if key in pairs and pairs[key] != r[7]:
            sys.exit(f"{catalogue}: {r[4]} {r[5]} names two different payload files")
        pairs[key] = r[7]

    inc = ["// Generated from payload/catalogue.tsv by tools/gen_catalogue.py. Do not edit.\n"]
    for group, cond, base, rel, rtype, rid, msg, _ in rows:
        inc.append(
            f"{{PayloadGroup::{group}, PayloadCondition::{cond}, PayloadBase::{base}, "
            f"{c_string(rel, wide=True)}, {c_string(rtype)}, {rid}, {c_string(msg)}}},\n")

    rc = ["// Generated from payload/catalogue.tsv by tools/gen_catalogue.py. Do not edit.\n",
          "// Each payload is stored as raw bytes under its custom type and numeric id.\n",
          "LANGUAGE 0x09, 0x01\n"]
    for (rtype, rid), source in pairs.items():
        file = os.path.join(payload_dir, source).replace("\\", "/")
        rc.append(f'{rid} {rtype} "{file}"\n')

    os.makedirs(out_dir, exist_ok=True)
    write_if_changed(os.path.join(out_dir, "payload_rows.inc"), "".join(inc))
    write_if_changed(os.path.join(out_dir, "payload.rc"), "".join(rc))


if __name__ == "__main__":
    main()
