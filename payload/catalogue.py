"""Reads payload/catalogue.tsv, the one list of the payload rows, for the build's scripts and,
run as a program, for CMake.

usage: catalogue.py CATALOGUE.tsv OUT.cmake
writes OUT.cmake (only when its text changes), which sets for CMake, one element per distinct
payload file in catalogue order: payload_sources (the `source` column), payload_types (the
resource type of its first row) and skin_sources (the sources of the Skin rows).

Each row is a Row: `number` (1-based position among the rows, the writing order), `line` (its
line in the file), and the eight columns: group, condition, base, relative (the relative path,
backslashes, empty for the companion row), type (resource type name), id (int), message
(failure message) and source (the payload file below the payload folder, '/'-separated).
"""
import os
import re
import sys
from collections import namedtuple

GROUPS = {"SupportLibrary", "Driver", "ProductExe", "CompanionExe", "Skin"}
CONDITIONS = {"Always", "Wow64Only", "Native32Only", "CompanionRefreshed"}
BASES = {"TempDir", "SystemDir", "InstallDir", "CompanionPath"}
COLUMNS = 8

Row = namedtuple("Row", "number line group condition base relative type id message source")


class CatalogueError(ValueError):
    """A malformed catalogue; the text names the line."""


def read_rows(path):
    """The rows in writing order. Raises CatalogueError for a malformed row and OSError when the
    file cannot be read."""
    rows = []
    with open(path, encoding="utf-8") as f:
        for line_number, line in enumerate(f, 1):
            line = line.rstrip("\r\n")
            if not line or line.startswith("#"):
                continue
            cols = line.split("\t")
            if len(cols) != COLUMNS:
                raise CatalogueError(f"line {line_number}: expected {COLUMNS} tab-separated columns, found {len(cols)}")
            group, cond, base, rel, rtype, rid, msg, source = cols
            if group not in GROUPS or cond not in CONDITIONS or base not in BASES:
                raise CatalogueError(f"line {line_number}: unknown group, condition or base")
            if (base == "CompanionPath") != (rel == "") or (rel and not rel.startswith("\\")):
                raise CatalogueError(f"line {line_number}: relative path must begin with a backslash "
                                     "(empty for the companion)")
            if not re.fullmatch(r"[A-Z][A-Z0-9_]*", rtype):
                raise CatalogueError(f"line {line_number}: resource type must be an upper-case name")
            if not rid.isdigit() or not 0 < int(rid) < 65536:
                raise CatalogueError(f"line {line_number}: resource id must be a number from 1 to 65535")
            if not source:
                raise CatalogueError(f"line {line_number}: no source file")
            # The payload folder holds the skin as it lies below the install directory.
            if group == "Skin" and source != rel[1:].replace("\\", "/"):
                raise CatalogueError(f"line {line_number}: a skin file's source must be its relative path, '/'-separated")
            rows.append(Row(len(rows) + 1, line_number, group, cond, base, rel, rtype, int(rid), msg, source))
    return rows


def read_rows_or_exit(path):
    """read_rows(path) for a script: a malformed catalogue ends it, naming the file and line."""
    try:
        return read_rows(path)
    except CatalogueError as e:
        sys.exit(f"{path}: {e}")


def applies(row, wow64, companion_refreshed):
    """Whether the update writes `row` on 64-bit Windows (`wow64`) or on 32-bit Windows, with the
    companion refreshed or not, as the updater's PayloadCatalogue::Applies decides."""
    return {"Always": True, "Wow64Only": wow64, "Native32Only": not wow64,
            "CompanionRefreshed": companion_refreshed}[row.condition]


def write_if_changed(path, text):
    """Writes `text` to `path` unless the file holds it already, so that nothing built from it
    is rebuilt for nothing."""
    if os.path.exists(path):
        with open(path, encoding="utf-8") as f:
            if f.read() == text:
                return
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def cmake_list(name, items):
    """A CMake set() of `items`, each a bracket argument, so that no character is interpreted."""
    return f"set({name}\n" + "".join(f"  [==[{item}]==]\n" for item in items) + ")\n"


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    catalogue, out = sys.argv[1:3]
    rows = read_rows_or_exit(catalogue)
    first_of = {}
    for r in rows:
        first_of.setdefault(r.source, r)
    text = ("# Generated from payload/catalogue.tsv by payload/catalogue.py. Do not edit.\n"
            + cmake_list("payload_sources", first_of)
            + cmake_list("payload_types", [r.type for r in first_of.values()])
            + cmake_list("skin_sources", [s for s, r in first_of.items() if r.group == "Skin"]))
    write_if_changed(out, text)


if __name__ == "__main__":
    main()
