#!/usr/bin/env python3
"""Packs the demo product into the package the demo server serves:
Crushwell.exe and uninst.exe at the top, with a read-me and a small data file
in sub-folders, deflated like a vendor's package."""
import sys
import zipfile


def main():
    if len(sys.argv) != 4:
        sys.exit("usage: make_demo_package.py OUT.zip CRUSHWELL.exe UNINST.exe")
    out, crushwell, uninst = sys.argv[1:]
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as package:
        package.write(crushwell, "Crushwell.exe")
        package.write(uninst, "uninst.exe")
        package.writestr("docs/readme.txt", "鲁墨文件压缩 (demo)\r\n演示用产品包。\r\n".encode("utf-8"))
        package.writestr("data/presets.ini", "[default]\r\nquality=80\r\n")


if __name__ == "__main__":
    main()
