#!/usr/bin/env python3
"""Generates the deployment kit's fixed files: the Group Policy template for the run log's policy
(an ADMX file and its en-US ADML) and the table of return codes with what a deployment tool
makes of each.

usage: gen_deploy_kit.py RUN_LOG_FILE_H OUT_DIR
writes OUT_DIR/PelmoraUpdate.admx, OUT_DIR/en-US/PelmoraUpdate.adml and OUT_DIR/return-codes.txt,
each only when its text changes.

The policy's key, value name and longest path are read from the header the updater reads them
through (update/run_log_file.h), so the template cannot name another key than the one the updater
looks at. The template writes the value as REG_EXPAND_SZ, the type the updater takes with
environment variables expanded.

RETURN_CODES is the one table of the updater's exit codes for people: the README's table of exit
codes and docs/deploying.md's table of return codes are its markdown forms (a test compares them).
"""
import os
import re
import sys
import xml.etree.ElementTree as ET
from collections import namedtuple

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "payload"))
from catalogue import write_if_changed  # noqa: E402

POLICY_NS = "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions"
TEMPLATE = "PelmoraUpdate"
LANGUAGE = "en-US"

# One exit code: its meaning in the words the run log writes after it (UpdateResultMeaning), the
# return code type Intune and Configuration Manager should give it, and what the tool then does.
ReturnCode = namedtuple("ReturnCode", "code meaning intune configmgr action")
RETURN_CODES = (
    ReturnCode(0, "the update ran to its end and every row that applies was written",
               "Success", "Success", "none; the detection rule then finds the new Pelmora.exe"),
    ReturnCode(3010, "the update ran to its end; some files take effect at the next restart",
               "Soft reboot", "Soft Reboot",
               "restart as the deployment's restart settings say; files that were in use are replaced "
               "at the restart (a detection rule run before it may still see the old Pelmora.exe)"),
    ReturnCode(1602, "interactive: the dialog was closed without running the update",
               "Failed", "Failure", "never from `-s`; a user closed the dialog of an interactive run"),
    ReturnCode(1603, "the update started changing files and at least one row was not written",
               "Failed", "Failure",
               "let the next cycle run it again; if it fails again, read the machine's run log"),
    ReturnCode(1605, "unsupported: not installed, version below 1.02.00, root path unreadable, "
               "a required file missing; nothing changed",
               "Failed", "Failure",
               "none on this machine: it does not apply (the requirement rule keeps it from being offered)"),
    ReturnCode(1618, "AppSetup.ini is held open by another process (another update is running); nothing changed",
               "Retry", "Fast Retry", "the tool runs it again later"),
    ReturnCode(1638, "the installed version is already current (2.x); nothing changed",
               "Success", "Success", "none"),
)

# The run log's policy, as the Group Policy editor shows it. Texts with {placeholders} take
# the header's constants.
POLICY = {
    "vendor": "Ostrel",
    "category": "Pelmora update",
    "supported": "At least Windows 7, with a build of Ostrel Pelmora update that keeps a run log",
    "name": "LogFile",
    "display": "Keep a log of each update run",
    "explain": (
        "Names the file to which Ostrel Pelmora update appends one block of lines on every run: "
        "the checks, how the product was stopped, every file written or not (with the system's "
        "reason), and the exit code with its meaning.\n\n"
        "If you enable this policy, enter the log file's full path (X:\\... or \\\\server\\share\\..., "
        "at most {max_chars} characters). Environment variables such as %SystemRoot% are expanded "
        "in the updater's own environment (for a deployment running as SYSTEM, SYSTEM's). The log's "
        "folder must exist already; choose one that only administrators can write to, such as "
        "%SystemRoot%\\Logs. A path that is a symbolic link, a junction, a folder, a device or a file "
        "with more than one hard link is refused, and so is a path that is not a full one: the run is "
        "then not logged, and otherwise the same. A log of more than 1 MiB at a run's start is "
        "renamed to <name>.old and a new one begun.\n\n"
        "If you disable or do not configure this policy, the updater keeps no log.\n\n"
        "Registry: HKEY_LOCAL_MACHINE\\{key}, value {value} (REG_EXPAND_SZ)."),
    "label": "Log file (full path):",
    "default": "%SystemRoot%\\Logs\\Pelmora update.log",
}


def c_literal(header, name):
    """The text of `constexpr wchar_t name[] = L"..."` in `header`; only \\\\ and \\" escapes."""
    m = re.search(r'constexpr\s+wchar_t\s+' + name + r'\[\]\s*=\s*L"((?:[^"\\]|\\.)*)"\s*;', header)
    if not m:
        sys.exit(f"gen_deploy_kit: no wide string constant {name} in the run log's header")
    body = m.group(1)
    if re.search(r'\\[^\\"]', body.replace("\\\\", "")):
        sys.exit(f"gen_deploy_kit: {name} holds an escape other than \\\\ and \\\"")
    return re.sub(r'\\(.)', r'\1', body)


def c_number(header, name):
    m = re.search(r'constexpr\s+DWORD\s+' + name + r'\s*=\s*(\d+)\s*;', header)
    if not m:
        sys.exit(f"gen_deploy_kit: no DWORD constant {name} in the run log's header")
    return int(m.group(1))


def policy_names(header_path):
    """The policy key, value name and longest path the updater reads, from its header."""
    with open(header_path, encoding="utf-8") as f:
        header = f.read()
    return c_literal(header, "kPolicyKey"), c_literal(header, "kPolicyValue"), c_number(header, "kMaxPolicyPathChars")


def element(parent, tag, text=None, **attributes):
    node = ET.SubElement(parent, tag, attributes)
    if text is not None:
        node.text = text
    return node


def xml_text(root):
    ET.indent(root, space="  ")
    return '<?xml version="1.0" encoding="utf-8"?>\n' + ET.tostring(root, encoding="unicode") + "\n"


def admx(key, value, max_chars):
    root = ET.Element("policyDefinitions", {"xmlns": POLICY_NS, "revision": "1.0", "schemaVersion": "1.0"})
    namespaces = element(root, "policyNamespaces")
    element(namespaces, "target", prefix="pelmoraupdate", namespace="Ostrel.Policies.PelmoraUpdate")
    element(root, "resources", minRequiredRevision="1.0")
    supported = element(element(root, "supportedOn"), "definitions")
    element(supported, "definition", name="SUPPORTED_RunLog", displayName="$(string.SUPPORTED_RunLog)")
    categories = element(root, "categories")
    element(categories, "category", name="Ostrel", displayName="$(string.Ostrel)")
    category = element(categories, "category", name="PelmoraUpdate", displayName="$(string.PelmoraUpdate)")
    element(category, "parentCategory", ref="Ostrel")
    policy = element(element(root, "policies"), "policy", name=POLICY["name"], **{
        "class": "Machine", "displayName": f"$(string.{POLICY['name']})",
        "explainText": f"$(string.{POLICY['name']}_Help)", "presentation": f"$(presentation.{POLICY['name']})",
        "key": key})
    element(policy, "parentCategory", ref="PelmoraUpdate")
    element(policy, "supportedOn", ref="SUPPORTED_RunLog")
    # Disabling the policy deletes the value, which turns the log off.
    element(element(policy, "elements"), "text", id="LogFilePath", valueName=value, required="true",
            maxLength=str(max_chars), expandable="true")
    return xml_text(root)


def adml(key, value, max_chars):
    root = ET.Element("policyDefinitionResources", {"xmlns": POLICY_NS, "revision": "1.0", "schemaVersion": "1.0"})
    element(root, "displayName", "Ostrel Pelmora update")
    element(root, "description", "The run log of Ostrel Pelmora update")
    resources = element(root, "resources")
    strings = element(resources, "stringTable")
    for sid, text in (("Ostrel", POLICY["vendor"]), ("PelmoraUpdate", POLICY["category"]),
                      ("SUPPORTED_RunLog", POLICY["supported"]), (POLICY["name"], POLICY["display"]),
                      (POLICY["name"] + "_Help", POLICY["explain"].format(key=key, value=value, max_chars=max_chars))):
        element(strings, "string", text, id=sid)
    presentation = element(element(resources, "presentationTable"), "presentation", id=POLICY["name"])
    box = element(presentation, "textBox", refId="LogFilePath")
    element(box, "label", POLICY["label"])
    element(box, "defaultValue", POLICY["default"])
    return xml_text(root)


def return_codes_text():
    """The table of return codes as plain text, for the kit: one block a code."""
    lines = ["Return codes of Ostrel Pelmora update, and the return code type to give each in Intune",
             "(Win32 app: Program > Return codes) and Configuration Manager (deployment type: Return Codes).",
             "Both know 0, 3010 and 1618 with these types already and count a code they do not know as a",
             "failure: add 1638 as a success; 1602, 1603 and 1605 may be added as failures to name them.", ""]
    for r in RETURN_CODES:
        lines += [f"{r.code:<6}Intune: {r.intune}; Configuration Manager: {r.configmgr}",
                  f"      means: {r.meaning}",
                  f"      then:  {r.action.replace('`', '')}", ""]
    return "\n".join(lines)


def markdown_exit_codes():
    """The README's table of exit codes."""
    lines = ["| code | meaning |", "|---|---|"]
    lines += [f"| {r.code} | {r.meaning} |" for r in RETURN_CODES]
    return "\n".join(lines) + "\n"


def markdown_return_codes():
    """docs/deploying.md's table of return codes."""
    lines = ["| code | Intune | Configuration Manager | what the tool then does |", "|---|---|---|---|"]
    lines += [f"| {r.code} | {r.intune} | {r.configmgr} | {r.action} |" for r in RETURN_CODES]
    return "\n".join(lines) + "\n"


def main(argv):
    if len(argv) != 3:
        sys.exit("usage: gen_deploy_kit.py RUN_LOG_FILE_H OUT_DIR")
    key, value, max_chars = policy_names(argv[1])
    out = argv[2]
    os.makedirs(os.path.join(out, LANGUAGE), exist_ok=True)
    write_if_changed(os.path.join(out, TEMPLATE + ".admx"), admx(key, value, max_chars))
    write_if_changed(os.path.join(out, LANGUAGE, TEMPLATE + ".adml"), adml(key, value, max_chars))
    write_if_changed(os.path.join(out, "return-codes.txt"), return_codes_text())


if __name__ == "__main__":
    main(sys.argv)
