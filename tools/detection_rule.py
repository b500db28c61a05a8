#!/usr/bin/env python3
"""Writes the deployment kit's detection rule for one release: how Intune and Configuration Manager
tell that the update is in place on a machine, from the Pelmora.exe that the updater installs.

usage: detection_rule.py PELMORA_EXE OUT_DIR
writes OUT_DIR/detection.txt (the rule, set out for both tools) and OUT_DIR/detect.ps1 (the same
rule as a detection script, for machines whose install directories differ), and prints the rule
in one line.

The rule compares Pelmora.exe's file version (its version resource, tools/pe_version.py), which
both tools' file rules can check. A Pelmora.exe without a usable version resource leaves only its
SHA-256, which neither tool's file rule checks: the rule is then the detection script, and
detection.txt says why.
"""
import hashlib
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pe_version import NoVersion, file_version  # noqa: E402

SUITE_KEY = "Software\\Ostrel\\Pelmora"
INSTALL_DIR = (f"the RootPath value of HKEY_LOCAL_MACHINE\\{SUITE_KEY} in the 32-bit\n"
               f"registry view (on 64-bit Windows, HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\Ostrel\\Pelmora)")

# The script finds the install directory as the updater does and prints a line only when the
# update is in place: both tools take exit code 0 with output as detected, without as not.
SCRIPT = """\
# Ostrel Pelmora update: detected when Pelmora.exe in the install directory {what}.
# The install directory is RootPath of HKLM\\{key}, in the 32-bit registry view.
$hklm = [Microsoft.Win32.RegistryKey]::OpenBaseKey('LocalMachine', 'Registry32')
$suite = $hklm.OpenSubKey('{key}')
if (-not $suite) {{ exit 0 }}
$root = $suite.GetValue('RootPath')
if (-not $root) {{ exit 0 }}
$file = Join-Path $root 'Pelmora.exe'
if (-not (Test-Path -LiteralPath $file -PathType Leaf)) {{ exit 0 }}
{test}
"""
VERSION_TEST = """\
$v = (Get-Item -LiteralPath $file).VersionInfo
$found = New-Object System.Version $v.FileMajorPart, $v.FileMinorPart, $v.FileBuildPart, $v.FilePrivatePart
if ($found -ge [System.Version]'{version}') {{ 'Ostrel Pelmora update {version} detected' }}"""
HASH_TEST = """\
if ((Get-FileHash -LiteralPath $file -Algorithm SHA256).Hash -eq '{sha256}') {{ 'Ostrel Pelmora update detected' }}"""

VERSION_RULE = """\
Detection rule: the update is in place when Pelmora.exe in the install directory has file
version {version} or later.

The install directory is {install_dir}.
It is the same on every machine when the suite was installed to the same folder; where it is
not, use detect.ps1 as the rule instead (the same test, finding the folder as the updater does).
The rule holds only if Pelmora.exe before the update has a lower file version: check that once on
a machine that is not yet updated.

Intune, Win32 app, Detection rules: Manually configure detection rules, rule type File
  Path:                       the install directory, e.g. C:\\Program Files (x86)\\Ostrel\\Pelmora
  File or folder:             Pelmora.exe
  Detection method:           String (version)
  Operator:                   Greater than or equal to
  Value:                      {version}
  Associated with a 32-bit app on 64-bit clients: Yes

Configuration Manager, deployment type, Detection Method: setting type File System, type File
  Path:                       the install directory
  File or folder name:        Pelmora.exe
  This file or folder is associated with a 32-bit application on 64-bit systems: checked
  The file system setting must satisfy the following rule:
                              Property Version, Operator Greater than or equal to, Value {version}

Either tool with detect.ps1: Intune, rule format "Use a custom detection script"; Configuration
Manager, "Use a custom script to detect the presence of this deployment type", PowerShell.
"""
HASH_RULE = """\
Detection rule: the update is in place when Pelmora.exe in the install directory has the SHA-256
{sha256}

The install directory is {install_dir}.

This payload's Pelmora.exe has no usable file version ({reason}), so no
file rule fits: Intune's and Configuration Manager's file rules compare a file's version, size or
dates, never its hash. Use detect.ps1 as the rule, which compares the hash:

Intune, Win32 app, Detection rules: rule format "Use a custom detection script", detect.ps1
  Run script as 32-bit process on 64-bit clients: either (the script reads the 32-bit view itself)
Configuration Manager, deployment type, Detection Method: "Use a custom script to detect the
  presence of this deployment type", script type PowerShell, detect.ps1
"""


def main(argv):
    if len(argv) != 3:
        sys.exit("usage: detection_rule.py PELMORA_EXE OUT_DIR")
    with open(argv[1], "rb") as f:
        data = f.read()
    os.makedirs(argv[2], exist_ok=True)
    try:
        version = file_version(data)
        rule = VERSION_RULE.format(version=version, install_dir=INSTALL_DIR)
        script = SCRIPT.format(what=f"has file version {version} or later", key=SUITE_KEY,
                               test=VERSION_TEST.format(version=version))
        line = f"Pelmora.exe has file version {version} or later (dist/deploy/detection.txt)"
    except NoVersion as e:
        sha256 = hashlib.sha256(data).hexdigest().upper()
        rule = HASH_RULE.format(sha256=sha256, install_dir=INSTALL_DIR, reason=e)
        script = SCRIPT.format(what=f"has SHA-256 {sha256}", key=SUITE_KEY, test=HASH_TEST.format(sha256=sha256))
        line = (f"Pelmora.exe has SHA-256 {sha256} (no file version: {e}; "
                f"no file rule fits, use dist/deploy/detect.ps1)")
    with open(os.path.join(argv[2], "detection.txt"), "w", encoding="utf-8", newline="\r\n") as f:
        f.write(rule)
    # PowerShell 5 reads a script without a byte order mark in the system's code page; the
    # script is ASCII, which every code page reads alike.
    with open(os.path.join(argv[2], "detect.ps1"), "w", encoding="ascii", newline="\r\n") as f:
        f.write(script)
    print(line)


if __name__ == "__main__":
    main(sys.argv)
