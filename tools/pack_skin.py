#!/usr/bin/env python3
"""Packs the skin files into the zip archive that the installer carries as its
resource "ZIP" 135.

    tools/pack_skin.py --base resources --output skin.zip themes/default/global.xml ...

A build-time tool, not part of the installer. The files are named explicitly
(the build lists them) and stored under their paths relative to --base, which
are exactly the paths the skin reader asks for ("themes/default/..."). The
archive is reproducible: entries are sorted by name, carry a fixed time stamp,
fixed attributes and no extra fields, and are deflated at a fixed level, so
the same inputs give the same bytes whatever the files' dates, permissions or
the order they were named in. There are no folder entries; the reader looks
items up by their full names.

The tool refuses what the installer could not read: an XML file that is not
UTF-8 or starts with a byte-order mark (the reader does not skip it when it
reads from the archive), a name outside "themes/", a file named twice.
"""
import argparse
import os
import sys
import tempfile
import zipfile

FIXED_TIME = (1980, 1, 1, 0, 0, 0)  # the earliest time a zip entry can carry
COMPRESS_LEVEL = 9
# MS-DOS attributes: "archive". Not 0, because zipfile silently replaces 0
# with Unix permissions of its own.
FIXED_ATTRIBUTES = 0x20


def archive_name(path):
    name = path.replace("\\", "/")
    parts = name.split("/")
    if name.startswith("/") or ".." in parts or "" in parts or "." in parts or parts[0] != "themes":
        raise ValueError("not a path below themes/: %s" % path)
    return name


def check_xml(name, data):
    if data.startswith(b"\xef\xbb\xbf"):
        raise ValueError("%s starts with a UTF-8 byte-order mark, which the skin reader cannot parse" % name)
    try:
        data.decode("utf-8", errors="strict")
    except UnicodeDecodeError as error:
        raise ValueError("%s is not valid UTF-8: %s" % (name, error))
    if not data.lstrip().startswith(b"<"):
        raise ValueError("%s does not start with markup" % name)


def pack(base, files, output):
    entries = {}
    for path in files:
        name = archive_name(path)
        if name in entries:
            raise ValueError("named twice: %s" % name)
        with open(os.path.join(base, *name.split("/")), "rb") as f:
            data = f.read()
        if name.endswith(".xml"):
            check_xml(name, data)
        entries[name] = data

    folder = os.path.dirname(os.path.abspath(output))
    os.makedirs(folder, exist_ok=True)
    # Written beside the target and renamed, so that an interrupted run never
    # leaves a half-written archive that looks up to date.
    handle, temporary = tempfile.mkstemp(dir=folder, prefix=".skin-", suffix=".zip")
    try:
        with os.fdopen(handle, "wb") as raw:
            with zipfile.ZipFile(raw, "w") as archive:
                for name in sorted(entries):
                    info = zipfile.ZipInfo(name, date_time=FIXED_TIME)
                    info.compress_type = zipfile.ZIP_DEFLATED
                    info.create_system = 0  # MS-DOS: no Unix permission bits
                    info.external_attr = FIXED_ATTRIBUTES
                    archive.writestr(info, entries[name], compresslevel=COMPRESS_LEVEL)
        os.replace(temporary, output)
    except BaseException:
        os.unlink(temporary)
        raise


def main():
    parser = argparse.ArgumentParser(description="Pack the installer skin into a reproducible zip.")
    parser.add_argument("--base", required=True, help="folder that holds themes/")
    parser.add_argument("--output", required=True, help="zip file to write")
    parser.add_argument("files", nargs="+", help="files relative to --base, e.g. themes/default/global.xml")
    args = parser.parse_args()
    try:
        pack(args.base, args.files, args.output)
    except (OSError, ValueError) as error:
        print("pack_skin: %s" % error, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
