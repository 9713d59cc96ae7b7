#!/usr/bin/env python3
"""A package of about 300 MB for the benchmarks: a real presentation with one
large stored part added (random bytes, so nothing compresses them).

usage: big_package.py SOURCE.pptx OUTPUT.pptx
"""
import os
import shutil
import sys
import zipfile

MEBIBYTES = 290


def main():
    source, output = sys.argv[1:3]
    shutil.copy(source, output)
    with zipfile.ZipFile(output, "a", compression=zipfile.ZIP_STORED) as package:
        with package.open("ppt/media/video1.bin", "w", force_zip64=False) as part:
            block = os.urandom(1 << 20)
            for _ in range(MEBIBYTES):
                part.write(block)


if __name__ == "__main__":
    main()
