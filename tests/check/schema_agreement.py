#!/usr/bin/env python3
"""The schema and the check agree: xmllint accepts every config.xml in which
the check tool finds no mistake of the file's shape, and an
xsi:noNamespaceSchemaLocation on <config> changes none of its findings.

Usage: schema_agreement.py CHECK_PROGRAM SCHEMA FOLDER...
Every config.xml under the folders is checked (--all --format json) and
validated. Prints one line of figures; exits 1 on a disagreement.
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile

# The rules about which elements stand where, how often, with what code and
# whether a value is there: what the schema states. The others (a value's
# blanks and characters, the encoding, the setup files) are the check's alone.
STRUCTURAL = {
    "config-unreadable", "wrong-document-element", "no-entry", "unused-entry",
    "duplicate-entry", "unknown-element", "repeated-value", "missing-value",
    "empty-value",
}


def findings(check, folder):
    run = subprocess.run([check, "--all", "--format", "json", folder],
                         capture_output=True, timeout=120)
    if run.returncode not in (0, 1):
        return None
    report = json.loads(run.stdout)
    # What a suppression comment keeps out of the report the check found all the same.
    found = report["findings"] + report.get("suppressed", [])
    return [(f["rule"], f["line"], f["column"], f["message"]) for f in found]


def valid(schema, path):
    run = subprocess.run(["xmllint", "--noout", "--nonet", "--schema", schema, path],
                         capture_output=True, timeout=60)
    return run.returncode == 0, run.stderr.decode(errors="replace").strip()


def with_schema_location(text):
    """config.xml's bytes with the attribute on <config>; None when there is
    no plain "<config>" tag to put it on."""
    tag = b"<config>"
    if text.count(tag) != 1:
        return None
    return text.replace(tag, b'<config xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"'
                        b' xsi:noNamespaceSchemaLocation="config.xsd">')


def main():
    check, schema, *roots = sys.argv[1:]
    schema = os.path.abspath(schema)
    files = []
    for root in roots:
        for folder, _, names in os.walk(root):
            if "config.xml" in names:
                files.append(os.path.join(folder, "config.xml"))
    failures, agreed, rejected, flagged, attached = [], 0, 0, 0, 0
    for path in sorted(files):
        folder = os.path.dirname(path)
        found = findings(check, folder)
        if found is None:
            continue
        accepted, why = valid(schema, path)
        structural = sorted({rule for rule, *_ in found if rule in STRUCTURAL})
        if structural:
            flagged += 1
            rejected += not accepted
        elif accepted:
            agreed += 1
        else:
            failures.append(f"{path}: no structural finding, but xmllint says: {why}")
        # The attribute changes no finding, and adds none.
        with open(path, "rb") as f:
            attributed = with_schema_location(f.read())
        if attributed is None:
            continue
        with tempfile.TemporaryDirectory() as scratch:
            copy = os.path.join(scratch, "package")
            shutil.copytree(folder, copy, symlinks=True)
            os.chmod(os.path.join(copy, "config.xml"), 0o644)
            with open(os.path.join(copy, "config.xml"), "wb") as f:
                f.write(attributed)
            again = findings(check, copy)
            if again is None or [f[:3] for f in again] != [f[:3] for f in found]:
                failures.append(f"{path}: xsi:noNamespaceSchemaLocation changes the findings: "
                                f"{found} then {again}")
            attached += 1
    for failure in failures:
        print(failure, file=sys.stderr)
    print(f"{len(files)} config.xml: {agreed} without a structural finding, all valid; "
          f"{flagged} with one ({rejected} of them rejected by the schema); "
          f"schema location attached to {attached}, findings unchanged"
          + (f"; {len(failures)} DISAGREE" if failures else ""))
    return 1 if failures or not files else 0


if __name__ == "__main__":
    sys.exit(main())
