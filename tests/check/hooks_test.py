"""The pre-commit hook and the GitHub problem matcher against the check
tool's real output, run from the repository's top folder.

    python3 tests/check/hooks_test.py BUILD_BIN_DIR
"""
import json
import os
import pathlib
import re
import shlex
import subprocess
import sys
import unittest

import yaml

ROOT = pathlib.Path(__file__).resolve().parents[2]
BIN = None  # set from the command line
FOLDERS = ["examples/common-mistakes", "examples/sample-package"]


def check(*args):
    return subprocess.run([str(BIN / "pkgcustomize-check"), *args], cwd=ROOT,
                          capture_output=True, text=True, check=False)


class ProblemMatcher(unittest.TestCase):
    """Each finding's gcc line gives the annotation its JSON says; a fix-it
    note gives none."""

    def test_gcc_lines_of_the_examples(self):
        matcher = json.loads((ROOT / ".github/pkgcustomize-check-matcher.json").read_text())
        pattern = matcher["problemMatcher"][0]["pattern"][0]
        regexp = re.compile(pattern["regexp"])
        for folder in FOLDERS:
            with self.subTest(folder):
                findings = json.loads(check("--all", "--format", "json", folder).stdout)["findings"]
                expected = [(f"{folder}/{f['file']}" if f["file"] else folder,
                             str(f["line"] or 1), str(f["column"] or 1), f["severity"],
                             f["message"], f["rule"]) for f in findings]
                matched = []
                for line in check("--all", "--format", "gcc", folder).stdout.splitlines():
                    match = regexp.match(line)
                    if ": note: " in line:
                        self.assertIsNone(match, line)
                    elif match:
                        matched.append(tuple(match.group(pattern[key]) for key in
                                             ("file", "line", "column", "severity", "message", "code")))
                self.assertEqual(bool(expected), folder == FOLDERS[0])
                self.assertEqual(matched, expected)


class PreCommitHook(unittest.TestCase):
    """The hook's files pattern picks the config.xml files, and its entry,
    given them as pre-commit gives them, checks their folders."""

    def setUp(self):
        hooks = yaml.safe_load((ROOT / ".pre-commit-hooks.yaml").read_text())
        self.assertEqual(len(hooks), 1)
        self.hook = hooks[0]

    def picked(self, paths):
        return [p for p in paths if re.search(self.hook["files"], p)]

    def test_files_pattern(self):
        paths = ["config.xml", "examples/sample-package/config.xml", "a/b/config.xml",
                 "config.xml.bak", "myconfig.xml", "config.xsd", "docs/config.xml.md"]
        self.assertEqual(self.picked(paths),
                         ["config.xml", "examples/sample-package/config.xml", "a/b/config.xml"])

    def run_hook(self, files):
        env = dict(os.environ, PATH=f"{BIN}{os.pathsep}{os.environ['PATH']}")
        return subprocess.run(shlex.split(self.hook["entry"]) + files, cwd=ROOT, env=env,
                              capture_output=True, text=True, check=False)

    def test_entry_on_the_examples(self):
        self.assertEqual(self.hook["language"], "system")
        self.assertTrue(self.hook.get("pass_filenames", True))
        tracked = subprocess.run(["git", "ls-files"], cwd=ROOT, capture_output=True, text=True,
                                 check=True).stdout.splitlines()
        configs = self.picked(tracked)
        self.assertEqual(sorted(configs), [f"{f}/config.xml" for f in FOLDERS])
        for files, status, shown in [
            ([f"{FOLDERS[1]}/config.xml"], 0, ""),
            (configs, 1, "examples/common-mistakes/config.xml:13:5: warning: "),
        ]:
            with self.subTest(files=files):
                result = self.run_hook(files)
                self.assertEqual(result.returncode, status, result.stdout + result.stderr)
                self.assertIn(shown, result.stdout)


if __name__ == "__main__":
    BIN = pathlib.Path(sys.argv.pop(1)).resolve()
    unittest.main()
