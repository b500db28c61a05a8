#!/usr/bin/env python3
"""Generates the C++ payload table, its named rows and the resource script's payload declarations
from payload/catalogue.tsv, so that none of them can drift apart.

usage: gen_catalogue.py CATALOGUE.tsv PAYLOAD_DIR OUT_DIR
writes OUT_DIR/payload_rows.inc (the rows), OUT_DIR/payload_names.inc (the row count, the rows
the update sequence names, the support library's resource) and OUT_DIR/payload.rc, each only
when its text changes.

Refuses, with one line per row, a catalogue whose rows do not have the group, condition and base
the update sequence (update/update_sequence.cpp) relies on at their place: the sequence writes the
rows in catalogue order, but in its own steps, so a row moved out of its step would be written
at the wrong time, into the wrong folder, or not at all.
"""
import os
import sys
from collections import namedtuple

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "payload"))
from catalogue import read_rows_or_exit, write_if_changed  # noqa: E402

# One step of the update sequence: `first` names its first row; a run (`last` set) is one or more
# consecutive rows of `group`, the last named `last`; a step without `last` is exactly one row.
Step = namedtuple("Step", "first last group conditions base")

# The update's steps, in writing order. The driver run is picked from by condition (the bitness of
# Windows); the skin run takes every row that follows the companion.
SEQUENCE = (
    Step("kTempSupportLibrary", None, "SupportLibrary", ("Always",), "TempDir"),
    Step("kFirstDriver", "kLastDriver", "Driver", ("Wow64Only", "Native32Only"), "SystemDir"),
    Step("kInstallSupportLibrary", None, "SupportLibrary", ("Always",), "InstallDir"),
    Step("kProductExe", None, "ProductExe", ("Always",), "InstallDir"),
    Step("kCompanionExe", None, "CompanionExe", ("CompanionRefreshed",), "CompanionPath"),
    Step("kFirstSkin", "kLastSkin", "Skin", ("Always",), "InstallDir"),
)


def c_string(text, wide=False):
    body = text.replace("\\", "\\\\").replace('"', '\\"')
    return ('L"' if wide else '"') + body + '"'


def step_mismatch(row, step):
    """What of `row` differs from what `step` needs, as text; empty when nothing does."""
    wrong = []
    if row.group != step.group:
        wrong.append(f"group {row.group} (needs {step.group})")
    if row.condition not in step.conditions:
        wrong.append(f"condition {row.condition} (needs {' or '.join(step.conditions)})")
    if row.base != step.base:
        wrong.append(f"base {row.base} (needs {step.base})")
    return ", ".join(wrong)


def name_rows(rows):
    """The sequence's names with their row numbers, each row's step as a label (by row number),
    and one line per row out of place.

    A run ends at the first row of another group, except the last run, which takes every row left.
    """
    names, labels, problems = {}, {}, []
    at = 0
    for index, step in enumerate(SEQUENCE):
        if at >= len(rows):
            problems.append(f"row {at + 1} ({step.first}) and the rows after it: missing, "
                            f"the catalogue has {len(rows)} rows")
            break
        end = at + 1
        if step.last is not None:
            final = index == len(SEQUENCE) - 1
            while end < len(rows) and (final or rows[end].group == step.group):
                end += 1
            names[step.last] = end
        names[step.first] = at + 1
        for row in rows[at:end]:
            labels[row.number] = step.first if step.last is None else f"{step.first}..{step.last}"
            wrong = step_mismatch(row, step)
            if wrong:
                problems.append(f"{describe(row, labels)}: {wrong}")
        at = end
    return names, labels, problems


def describe(row, labels):
    """`row` as the lines about it name it: its line, number, step, resource and file."""
    return f"line {row.line}: row {row.number} ({labels.get(row.number, 'no step')}) {row.type} {row.id} {row.source}"


def support_library(rows, labels):
    """The resource of the first SupportLibrary row, and one line per other one naming another:
    the updater checks its temporary copy against the one resource."""
    library = [r for r in rows if r.group == "SupportLibrary"]
    if not library:
        return None, []
    first = library[0]
    problems = [f"{describe(r, labels)}: the support library is {first.type} {first.id} (row {first.number})"
                for r in library[1:] if (r.type, r.id) != (first.type, first.id)]
    return (first.type, first.id), problems


def main():
    catalogue, payload_dir, out_dir = sys.argv[1:4]
    rows = read_rows_or_exit(catalogue)
    pairs = {}
    for r in rows:
        key = (r.type, r.id)
        if key in pairs and pairs[key] != r.source:
            sys.exit(f"{catalogue}: {r.type} {r.id} names two different payload files")
        pairs[key] = r.source
    names, labels, problems = name_rows(rows)
    library, library_problems = support_library(rows, labels)
    problems += library_problems
    if problems:
        for line in problems:
            print(f"{catalogue}: {line}", file=sys.stderr)
        sys.exit(f"{catalogue}: {len(problems)} row(s) do not fit the update sequence")

    inc = ["// Generated from payload/catalogue.tsv by tools/gen_catalogue.py. Do not edit.\n"]
    for r in rows:
        inc.append(
            f"{{PayloadGroup::{r.group}, PayloadCondition::{r.condition}, PayloadBase::{r.base}, "
            f"{c_string(r.relative, wide=True)}, {c_string(r.type)}, {r.id}, {c_string(r.message)}}},\n")

    order = sorted(names.items(), key=lambda item: item[1])
    named = ["// Generated from payload/catalogue.tsv by tools/gen_catalogue.py. Do not edit.\n",
             "// Included in the body of PayloadCatalogue (update/catalogue.h).\n",
             f"static constexpr int kRowCount = {len(rows)};\n",
             "enum Row : int {\n"]
    named += [f"    {name} = {number},\n" for name, number in order]
    named += ["};\n",
              f"static constexpr char kSupportLibraryResourceType[] = {c_string(library[0])};\n",
              f"static constexpr WORD kSupportLibraryResourceId = {library[1]};\n"]

    rc = ["// Generated from payload/catalogue.tsv by tools/gen_catalogue.py. Do not edit.\n",
          "// Each payload is stored as raw bytes under its custom type and numeric id.\n",
          "LANGUAGE 0x09, 0x01\n"]
    for (rtype, rid), source in pairs.items():
        file = os.path.join(payload_dir, source).replace("\\", "/")
        rc.append(f'{rid} {rtype} "{file}"\n')

    os.makedirs(out_dir, exist_ok=True)
    write_if_changed(os.path.join(out_dir, "payload_rows.inc"), "".join(inc))
    write_if_changed(os.path.join(out_dir, "payload_names.inc"), "".join(named))
    write_if_changed(os.path.join(out_dir, "payload.rc"), "".join(rc))


if __name__ == "__main__":
    main()
