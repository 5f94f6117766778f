#!/usr/bin/env python3
"""Makes a package folder whose config.xml holds COUNT valid entries, every
one with package_type "O", quil_bar_pc and market_type, beside the prepared
.cif and .cmd files of examples/sample-package, so that both kinds of
launcher of every entry make a complete run with no finding. For timing the
check tool on a large file:

    bench/config_entries.py 5000 /tmp/entries-5k
    bench/config_entries.py 50000 /tmp/entries-50k
    /usr/bin/time -f '%e s %M KiB' xmllint --noout /tmp/entries-5k/config.xml
    /usr/bin/time -f '%e s %M KiB' build/native/bin/pkgcustomize-check \\
        --launcher TRKVpack_v1_TR02500_x.exe /tmp/entries-5k     # one package
    /usr/bin/time -f '%e s %M KiB' build/native/bin/pkgcustomize-check \\
        --all /tmp/entries-5k                                   # every entry
    /usr/bin/time -f '%e s %M KiB' build/native/bin/pkgcustomize-check \\
        --all /tmp/entries-50k

Repeat each a few times and quote the median. The package codes are
TR00000, TR00001, ...; the launcher above names the middle entry of 5,000.
"""
import os
import shutil
import sys

SAMPLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples",
                      "sample-package")
PREPARED = ["kvsetup.cif", "kvsetup_o.cif", "kvsetup_e.cif", "kv-setup_o.cmd", "kv-setup_e.cmd"]
MARKETS = ["de-de", "fr-fr", "it-it", "es-es", "en-us"]


def entry(number):
    return ('  <binary code="TR%05d">\n'
            "    <package_type>O</package_type>\n"
            "    <quil_bar_pc>%04X</quil_bar_pc>\n"
            "    <market_type>%s</market_type>\n"
            "  </binary>\n") % (number, number % 0x10000, MARKETS[number % len(MARKETS)])


def main():
    if len(sys.argv) != 3 or not sys.argv[1].isdigit():
        sys.exit(__doc__)
    count, folder = int(sys.argv[1]), sys.argv[2]
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "config.xml"), "w", encoding="utf-8", newline="\n") as out:
        out.write('<?xml version="1.0" encoding="UTF-8"?>\n<config>\n')
        out.writelines(entry(number) for number in range(count))
        out.write("</config>\n")
    for name in PREPARED:
        shutil.copy(os.path.join(SAMPLE, name), os.path.join(folder, name))


main()
