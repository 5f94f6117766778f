"""docs/config.xsd against the check: xmllint accepts every config.xml in
which `pkgcustomize-check --all` finds no structural mistake, and refuses the
structural mistakes a schema can state.

    python3 tests/check/schema_test.py BUILD_BIN_DIR
"""
import json
import pathlib
import shutil
import subprocess
import sys
import tempfile
import unittest

ROOT = pathlib.Path(__file__).resolve().parents[2]
SCHEMA = ROOT / "docs" / "config.xsd"
CHECK = None  # set from the command line

# The rules about the structure a run reads, and the one value rule a schema
# states (a value that is read is not empty); the others are about values,
# files and encodings, which a schema cannot state or does not see.
STRUCTURAL = {
    "config-unreadable", "wrong-document-element", "unused-entry", "duplicate-entry",
    "unknown-element", "repeated-value", "missing-value", "empty-value",
}


def entry(code="TR0107", body="<package_type>E</package_type><market_type>de-de</market_type>"):
    return f'<binary code="{code}">{body}</binary>'


def config(*entries, head="<config>"):
    return '<?xml version="1.0" encoding="UTF-8"?>\n' + head + "\n" + "\n".join(entries) + "\n</config>\n"


SCHEMA_LOCATION = ('<config xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"'
                   ' xsi:noNamespaceSchemaLocation="config.xsd">')
O_ENTRY = "<package_type>O</package_type><quil_bar_pc>1A2B</quil_bar_pc><market_type>de-de</market_type>"

# (name, config.xml, True when the schema must refuse it)
ROWS = [
    ("an E entry", config(entry()), False),
    ("an O entry", config(entry(body=O_ENTRY)), False),
    ("no entry at all", config(), False),
    ("values in another order", config(entry(body="<market_type>x</market_type><package_type>E</package_type>")), False),
    ("an unread quil_bar_pc, empty", config(entry(body="<package_type>E</package_type><quil_bar_pc/><market_type>x</market_type>")), False),
    ("comments and blanks between elements", config("<!-- a -->", entry(body="\n  <!-- b -->\n  <package_type>E</package_type>\n  <market_type>x</market_type>\n")), False),
    ("a wrapped value", config(entry(body="<package_type>E</package_type><market_type>\n  x\n</market_type>")), False),
    ("blanks around a value", config(entry(body="<package_type> O </package_type><market_type>x</market_type>")), False),
    ("a schema location", config(entry(), head=SCHEMA_LOCATION), False),
    ("another attribute on an entry", config('<binary code="TR01" note="x"><package_type>E</package_type><market_type>x</market_type></binary>'), False),
    ("another attribute on a value", config(entry(body='<package_type note="x">E</package_type><market_type a="&gt;">x</market_type>')), False),
    ("a code with a dot", config(entry(code="TR01.7")), False),
    ("a misspelt entry", config("<binnary code=\"TR0420\"><package_type>E</package_type><market_type>x</market_type></binnary>"), True),
    ("an entry without a code", config("<binary><package_type>E</package_type><market_type>x</market_type></binary>"), True),
    ("a code not beginning with TR", config(entry(code="tr0107")), True),
    ("a code holding _", config(entry(code="TR01_07")), True),
    ("a code holding a colon", config(entry(code="TR01:7")), True),
    ("a second entry of a code", config(entry(), entry()), True),
    ("a misspelt value", config(entry(body="<package_type>E</package_type><market_typ>x</market_typ>")), True),
    ("a value given twice", config(entry(body="<package_type>E</package_type><market_type>x</market_type><market_type>y</market_type>")), True),
    ("no market_type", config(entry(body="<package_type>E</package_type>")), True),
    ("no package_type", config(entry(body="<market_type>x</market_type>")), True),
    ("an empty market_type", config(entry(body="<package_type>E</package_type><market_type></market_type>")), True),
    ("an empty package_type", config(entry(body="<package_type/><market_type>x</market_type>")), True),
    ("another document element", '<configuration>' + entry() + '</configuration>\n', True),
    ("an element under config", config(entry(), "<comment>x</comment>"), True),
]


def check_rules(folder):
    result = subprocess.run([CHECK, "--all", "--format", "json", str(folder)],
                            capture_output=True, check=False)
    assert result.returncode in (0, 1), result.stderr
    return {finding["rule"] for finding in json.loads(result.stdout)["findings"]}


def check_rows(folder):
    result = subprocess.run([CHECK, "--all", "--format", "json", str(folder)],
                            capture_output=True, check=True)
    return json.loads(result.stdout)["packages"]


def schema_accepts(path):
    return subprocess.run(["xmllint", "--noout", "--schema", str(SCHEMA), str(path)],
                          capture_output=True, check=False).returncode == 0


class SchemaAgreesWithTheCheck(unittest.TestCase):
    def test_rows(self):
        for name, text, refused in ROWS:
            with self.subTest(name), tempfile.TemporaryDirectory() as folder:
                path = pathlib.Path(folder) / "config.xml"
                path.write_text(text, encoding="utf-8")
                structural = check_rules(folder) & STRUCTURAL
                self.assertEqual(bool(structural), refused, f"the check found {structural}")
                self.assertEqual(schema_accepts(path), not refused)

    def test_a_schema_location_changes_nothing(self):
        sample = ROOT / "examples" / "sample-package"
        with tempfile.TemporaryDirectory() as folder:
            for file in sample.iterdir():
                shutil.copy(file, folder)
            path = pathlib.Path(folder) / "config.xml"
            path.write_text(path.read_text(encoding="utf-8").replace("<config>", SCHEMA_LOCATION, 1),
                            encoding="utf-8")
            self.assertIn("noNamespaceSchemaLocation", path.read_text(encoding="utf-8"))
            self.assertEqual(check_rules(folder), set())
            self.assertEqual(check_rows(folder), check_rows(sample))
            self.assertTrue(schema_accepts(path))

    def test_examples(self):
        for config_file in sorted((ROOT / "examples").glob("*/config.xml")):
            with self.subTest(config_file.parent.name):
                if not check_rules(config_file.parent) & STRUCTURAL:
                    self.assertTrue(schema_accepts(config_file))
                else:
                    self.assertFalse(schema_accepts(config_file))


if __name__ == "__main__":
    CHECK = str(pathlib.Path(sys.argv.pop(1)) / "pkgcustomize-check")
    unittest.main()
