#!/usr/bin/env python3
"""Generates the C++ payload table and the resource script's payload declarations from
payload/catalogue.tsv, so that the two can never drift apart.

usage: gen_catalogue.py CATALOGUE.tsv PAYLOAD_DIR OUT_DIR
writes OUT_DIR/payload_rows.inc and OUT_DIR/payload.rc (only when their text changes).
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "payload"))
from catalogue import CatalogueError, read_rows  # noqa: E402


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
    try:
        rows = read_rows(catalogue)
    except CatalogueError as e:
        sys.exit(f"{catalogue}: {e}")
    pairs = {}
    for r in rows:
        key = (r.type, r.id)
        if key in pairs and pairs[key] != r.source:
            sys.exit(f"{catalogue}: {r.type} {r.id} names two different payload files")
        pairs[key] = r.source

    inc = ["// Generated from payload/catalogue.tsv by tools/gen_catalogue.py. Do not edit.\n"]
    for r in rows:
        inc.append(
            f"{{PayloadGroup::{r.group}, PayloadCondition::{r.condition}, PayloadBase::{r.base}, "
            f"{c_string(r.relative, wide=True)}, {c_string(r.type)}, {r.id}, {c_string(r.message)}}},\n")

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
