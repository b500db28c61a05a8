#!/usr/bin/env python3
"""Writes the NSIS script of the benchmark's generic installer: the same payload rows the
updater writes in the benchmark's setting, from payload/catalogue.tsv, as plain `File`
instructions.

usage: make_nsi.py CATALOGUE.tsv PAYLOAD_DIR OUT.nsi OUT.exe

The installer is silent, asks for no elevation, writes no uninstaller and no registry, and
stores its files uncompressed with no CRC check at start-up: the leanest form NSIS offers, so
that it is measured on the job, not on decompression. Rows:
  - the support library's temporary copy (base TempDir) goes to $TEMP and is deleted again;
  - the drivers (base SystemDir) go to $SYSDIR\\Drivers, the 64-bit pair or the 32-bit pair
    chosen at run time by ${RunningX64} (both pairs are embedded); on 64-bit Windows with the
    file system redirector off around them, so that the 32-bit installer reaches the native
    folder Windows loads drivers from, as the updater does;
  - rows below the install directory (base InstallDir) go below $INSTDIR (/D= on the command
    line), the folder set with SetOutPath whenever it changes;
  - the companion row (base CompanionPath) is left out: no companion is registered, so the
    updater does not write it either.
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "payload"))
from catalogue import applies, read_rows_or_exit  # noqa: E402


def nsis_escape(text):
    """Literal `text` inside a double-quoted NSIS string: $ and " escaped."""
    return text.replace("$", "$$").replace('"', '$\\"')


def nsis_string(text, variable=""):
    """A double-quoted NSIS string: `variable` (e.g. "$INSTDIR") as it is, then literal `text`."""
    return '"' + variable + nsis_escape(text) + '"'


def split_relative(relative):
    """"\\a\\b\\c.png" -> ("a\\b", "c.png")."""
    parts = relative.lstrip("\\").split("\\")
    return "\\".join(parts[:-1]), parts[-1]


def file_line(payload_dir, row, name):
    source = os.path.join(payload_dir, row.source)
    if not os.path.isfile(source):
        sys.exit(f"make_nsi.py: row {row.number}: payload file missing: {source}")
    return f"  File {nsis_string('/oname=' + name)} {nsis_string(source)}"


def driver_block(payload_dir, rows):
    lines = ["  SetOutPath \"$SYSDIR\\Drivers\""]
    for row in rows:
        lines.append(file_line(payload_dir, row, split_relative(row.relative)[1]))
    return lines


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    catalogue, payload_dir, out_nsi, out_exe = sys.argv[1:5]
    rows = read_rows_or_exit(catalogue)
    drivers64 = [r for r in rows if r.group == "Driver" and applies(r, wow64=True, companion_refreshed=False)]
    drivers32 = [r for r in rows if r.group == "Driver" and applies(r, wow64=False, companion_refreshed=False)]
    if len(drivers64) != 2 or len(drivers32) != 2:
        sys.exit(f"{catalogue}: expected two 64-bit and two 32-bit driver rows")

    out = [
        "; Generated from payload/catalogue.tsv by bench/make_nsi.py. Do not edit.",
        "Unicode true",
        "Name \"Ostrel Pelmora update (NSIS benchmark)\"",
        f"OutFile {nsis_string(out_exe)}",
        "SilentInstall silent",
        "RequestExecutionLevel user",
        "SetCompress off",
        "CRCCheck off",
        "InstallDir \"$PROGRAMFILES\\Ostrel\\Pelmora\"",
        "!include LogicLib.nsh",
        "!include x64.nsh",
        "",
        "Section",
        "  SetOverwrite on",
    ]
    drivers_done = False
    current_dir = None
    for row in rows:
        # No companion is registered in the benchmark: its row applies on neither bitness.
        if not (applies(row, wow64=True, companion_refreshed=False)
                or applies(row, wow64=False, companion_refreshed=False)):
            continue
        base = row.base
        if base == "TempDir":
            folder, name = split_relative(row.relative)
            target = "\\" + folder if folder else ""
            out.append(f"  SetOutPath {nsis_string(target, '$TEMP')}")
            out.append(file_line(payload_dir, row, name))
            out.append(f"  Delete {nsis_string(target + chr(92) + name, '$TEMP')}")
            current_dir = None
        elif base == "SystemDir":
            if drivers_done:
                continue
            out.append("  ${If} ${RunningX64}")
            out.append("    ${DisableX64FSRedirection}")
            out.extend(driver_block(payload_dir, drivers64))
            out.append("    ${EnableX64FSRedirection}")
            out.append("  ${Else}")
            out.extend(driver_block(payload_dir, drivers32))
            out.append("  ${EndIf}")
            drivers_done = True
            current_dir = None
        elif base == "InstallDir":
            folder, name = split_relative(row.relative)
            target = "\\" + folder if folder else ""
            if target != current_dir:
                out.append(f"  SetOutPath {nsis_string(target, '$INSTDIR')}")
                current_dir = target
            out.append(file_line(payload_dir, row, name))
        else:
            sys.exit(f"{catalogue}: row {row.number}: unknown base {base}")
    out.append("SectionEnd")

    os.makedirs(os.path.dirname(os.path.abspath(out_nsi)), exist_ok=True)
    with open(out_nsi, "w", encoding="utf-8") as f:
        f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
