"""Tests of script/third-party's own logic, on small made-up inputs: what a
link map says was linked, which paragraph of a machine-readable copyright
file governs a path, the SPDX names of Debian's licence names, and how the
notices say where a part is.
Run: python3 -m unittest tests/release/third_party_test.py"""

import importlib.machinery
import importlib.util
import os
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
_loader = importlib.machinery.SourceFileLoader("third_party", os.path.join(ROOT, "script", "third-party"))
tp = importlib.util.module_from_spec(importlib.util.spec_from_loader("third_party", _loader))
_loader.exec_module(tp)

MAP = """Archive member included to satisfy reference by file (symbol)

/usr/lib/gcc/x/12-posix/libstdc++.a(eh_alloc.o)
                              src/libpkgcore.a(driver.cpp.obj) (__cxa_allocate_exception)
/usr/x/lib/libmingwex.a(lib64_libmingwex_a-gdtoa.o)
                              /usr/x/lib/libmingwex.a(lib64_libmingwex_a-mingw_pformat.o) (__gdtoa)
src/libpkgcore.a(driver.cpp.obj)
                              src/CMakeFiles/pkgcustomize.dir/app/main_win32.cpp.obj (runCustomization())

Discarded input sections

 .text          0x0000000000000000        0x0 /usr/x/lib/crt2u.o
 .text          0x0000000000000000        0x0 /usr/x/lib/libmoldname.a(x.o)

Memory Configuration

Linker script and memory map

LOAD /usr/x/lib/crt2u.o
LOAD src/CMakeFiles/pkgcustomize.dir/app/main_win32.cpp.obj
LOAD src/libpkgcore.a
LOAD /usr/lib/gcc/x/12-posix/libstdc++.a
LOAD /usr/x/lib/libmoldname.a
LOAD dll stuff
"""

COPYRIGHT = """Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: example

Files: *
Copyright: 2009 the project
License: ZPL-2.1
 The general terms.
 .
 Second paragraph.

Files: crt/*
       misc/a?.c
Copyright: public-domain
License: public-domain

Files: gdtoa/*
       crt/special.c
Copyright: 1997 Lucent Technologies
License: Lucent

Files: misc/getopt.c
Copyright: 2000 The NetBSD Foundation, Inc.
License: BSD-2-clause-NetBSD and ISC

License: public-domain
 This file has no copyright assigned.

License: Lucent
 Permission to use, copy, modify.
"""


class LinkMap(unittest.TestCase):
    def test_members_and_whole_objects_but_not_searched_archives(self):
        self.assertEqual(tp.parse_map(MAP), {
            ("/usr/lib/gcc/x/12-posix/libstdc++.a", "eh_alloc.o"),
            ("/usr/x/lib/libmingwex.a", "lib64_libmingwex_a-gdtoa.o"),
            ("src/libpkgcore.a", "driver.cpp.obj"),
            ("/usr/x/lib/crt2u.o", None),
            ("src/CMakeFiles/pkgcustomize.dir/app/main_win32.cpp.obj", None),
        })


class CopyrightFile(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with tempfile.NamedTemporaryFile("w", suffix="copyright", delete=False) as f:
            f.write(COPYRIGHT)
        cls.copyright = tp.parse_copyright(f.name)
        os.unlink(f.name)

    def test_the_last_matching_paragraph_governs_a_path(self):
        rows = [
            ("crt/crtexe.c", "public-domain"),
            ("crt/special.c", "Lucent"),  # named again after crt/*
            ("gdtoa/gdtoa.c", "Lucent"),
            ("misc/ab.c", "public-domain"),  # ? is one character
            ("misc/abc.c", "ZPL-2.1"),
            ("misc/getopt.c", "BSD-2-clause-NetBSD and ISC"),
            ("stdio/crt/x.c", "ZPL-2.1"),  # patterns start at the top
        ]
        for path, licence in rows:
            with self.subTest(path=path):
                self.assertEqual(tp.paragraph_for(self.copyright, path).licence, licence)

    def test_texts_inline_and_stand_alone(self):
        general = tp.paragraph_for(self.copyright, "x.c")
        self.assertEqual(general.text, "The general terms.\n\nSecond paragraph.")
        self.assertEqual(general.copyright, "2009 the project")
        self.assertEqual(self.copyright.licences["Lucent"], "Permission to use, copy, modify.")
        self.assertEqual(tp.paragraph_for(self.copyright, "crt/a.c").text, "")

    def test_a_file_that_is_not_machine_readable(self):
        with tempfile.NamedTemporaryFile("w", delete=False) as f:
            f.write("This is the Debian prepackaged version of something.\n")
        try:
            self.assertFalse(tp.parse_copyright(f.name).dep5)
        finally:
            os.unlink(f.name)


class Spdx(unittest.TestCase):
    def test_debian_names(self):
        rows = [
            ("ZPL-2.1", "ZPL-2.1"),
            ("expat", "MIT"),
            ("Expat", "MIT"),
            ("BSD-3-clause", "BSD-3-Clause"),
            ("LGPL-2.1+", "LGPL-2.1-or-later"),
            ("GPL-2+", "GPL-2.0-or-later"),
            ("public-domain", "LicenseRef-public-domain"),
            ("Lucent", "LicenseRef-Lucent"),
            ("BSD-2-clause-NetBSD and ISC", "(LicenseRef-BSD-2-clause-NetBSD AND ISC)"),
            ("GPL-2+ or Artistic", "(GPL-2.0-or-later OR LicenseRef-Artistic)"),
        ]
        for debian, spdx in rows:
            with self.subTest(debian=debian):
                self.assertEqual(tp.spdx(debian), spdx)


    def test_a_header_with_gccs_exception(self):
        granted = ("As a special exception, if you include this header file into source\n"
                   " files compiled by GCC, this header file does not by itself cause\n"
                   " the resulting executable to be covered by the GNU General Public\n License.")
        rows = [
            ("GPL-2+", granted, "GPL-2.0-or-later WITH GCC-exception-2.0"),
            ("GPL-2+", "This file is part of GCC.", "GPL-2.0-or-later"),
            ("LGPL-2.1+", granted, "LGPL-2.1-or-later"),
            ("public-domain", "", "LicenseRef-public-domain"),
        ]
        for licence, notice, terms in rows:
            with self.subTest(licence=licence, notice=notice[:20]):
                self.assertEqual(tp.header_licence(licence, notice), terms)


class Where(unittest.TestCase):
    def test_the_programs_and_builds_a_part_is_in(self):
        both = [tp.Build("", "x86", "", {}), tp.Build("", "x64", "", {})]
        rows = [
            ({("pkgcustomize", "x86"), ("pkgcustomize", "x64"),
              ("pkgcustomize-check", "x86"), ("pkgcustomize-check", "x64")}, both,
             "both programs, x86 and x64"),
            ({("pkgcustomize-check", "x86"), ("pkgcustomize-check", "x64")}, both,
             "pkgcustomize-check.exe, x86 and x64"),
            ({("pkgcustomize", "x64"), ("pkgcustomize-check", "x64")}, both, "both programs, x64 only"),
            ({("pkgcustomize", "x86"), ("pkgcustomize", "x64"), ("pkgcustomize-check", "x64")}, both,
             "pkgcustomize.exe, x86 and x64; pkgcustomize-check.exe, x64 only"),
            ({("pkgcustomize", "x64"), ("pkgcustomize-check", "x64")}, both[1:], "both programs (x64)"),
        ]
        for where, builds, text in rows:
            with self.subTest(text=text):
                self.assertEqual(tp.where_text(where, builds), text)


if __name__ == "__main__":
    unittest.main()
