#!/usr/bin/env python3
"""Makes a package folder whose prepared .cif setup file has SIZE bytes (CR LF
lines, the three texts to replace near its start), with the launcher stub
under a launcher's name, for timing whole runs against a durable copy of the
same file:

    bench/package.py build/native/bin 64M /tmp/package
    cd /tmp/package
    ./TRKVpack_v2_TR0107_x.exe "$OLDPWD/build/native/bin/pkgcustomize"    # a run
    sh -c 'cp kvsetup_o.cif copy.cif && sync copy.cif'                   # cp + sync

Each run replaces kvsetup.cif from kvsetup_o.cif, so runs can be repeated.
SIZE takes a K, M or G suffix.
"""
import os
import shutil
import sys

HEAD = b"[Setup]\r\nInf=INSTALL.INF\r\nBar=B8DF\r\nMarket=en-us\r\n"
LINE = b"Key=some value of a setup line, 1234567890\r\n"
CONFIG = (b'<config><binary code="TR0107"><package_type>O</package_type>'
          b"<quil_bar_pc>1A2B</quil_bar_pc><market_type>de-de</market_type>"
          b"</binary></config>\r\n")


def size_of(text):
    units = {"K": 1 << 10, "M": 1 << 20, "G": 1 << 30}
    return int(text[:-1]) * units[text[-1].upper()] if text[-1].upper() in units else int(text)


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    bin_dir, size, folder = sys.argv[1], size_of(sys.argv[2]), sys.argv[3]
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "config.xml"), "wb") as out:
        out.write(CONFIG)
    block = LINE * (1 << 14)
    with open(os.path.join(folder, "kvsetup_o.cif"), "wb") as out:
        out.write(HEAD)
        written = len(HEAD)
        while written < size:
            piece = block[:size - written]
            out.write(piece)
            written += len(piece)
    with open(os.path.join(folder, "kvsetup.cif"), "wb") as out:
        out.write(b"old live file\r\n")
    shutil.copy(os.path.join(bin_dir, "launcher_stub"),
                os.path.join(folder, "TRKVpack_v2_TR0107_x.exe"))


main()
