#!/usr/bin/env python3
"""The skin archive is reproducible and the pack tool refuses what the
installer could not read.

Packs the skin twice from two copies of the tree that differ in file dates,
permissions and the order the files are named in, and expects identical bytes,
identical to the archive the build produced; checks the entries' fixed
metadata; then feeds the tool broken inputs (an XML file with a byte-order
mark or invalid UTF-8, a name outside themes/, a file named twice) and expects
a refusal that leaves no archive behind.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import zipfile

problems = []


def check(condition, message):
    if not condition:
        problems.append(message)
    return condition


def copy_tree(base, files, target, mode, stamp):
    for name in files:
        source = os.path.join(base, *name.split("/"))
        destination = os.path.join(target, *name.split("/"))
        os.makedirs(os.path.dirname(destination), exist_ok=True)
        shutil.copyfile(source, destination)
        os.chmod(destination, mode)
        os.utime(destination, (stamp, stamp))


def pack(tool, base, files, output):
    return subprocess.run([sys.executable, tool, "--base", base, "--output", output] + list(files),
                          capture_output=True, text=True, timeout=60)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--pack", required=True)
    parser.add_argument("--base", required=True)
    parser.add_argument("--built", required=True)
    parser.add_argument("files", nargs="+")
    args = parser.parse_args()

    with tempfile.TemporaryDirectory() as work:
        first, second = os.path.join(work, "first"), os.path.join(work, "second")
        copy_tree(args.base, args.files, first, 0o644, 1_000_000_000)
        copy_tree(args.base, args.files, second, 0o755, 1_700_000_123)
        a, b = os.path.join(work, "a.zip"), os.path.join(work, "b.zip")
        for tree, files, out in ((first, args.files, a), (second, list(reversed(args.files)), b)):
            result = pack(args.pack, tree, files, out)
            check(result.returncode == 0, "packing %s failed: %s" % (tree, result.stderr.strip()))
        if not problems:
            with open(a, "rb") as f:
                bytes_a = f.read()
            with open(b, "rb") as f:
                bytes_b = f.read()
            check(bytes_a == bytes_b, "two packs of the same files differ (dates, permissions or order leak in)")
            try:
                with open(args.built, "rb") as f:
                    check(f.read() == bytes_a, "the build's %s differs from a fresh pack" % args.built)
            except OSError as error:
                check(False, "cannot read the build's archive: %s" % error)
            with zipfile.ZipFile(a) as archive:
                infos = archive.infolist()
                names = [i.filename for i in infos]
                check(names == sorted(args.files), "entries are not exactly the listed files in sorted order")
                for info in infos:
                    check(info.date_time == (1980, 1, 1, 0, 0, 0), "%s: time stamp %s" % (info.filename, info.date_time))
                    check(info.create_system == 0 and info.external_attr == 0x20,
                          "%s: host attributes recorded" % info.filename)
                    check(info.compress_type == zipfile.ZIP_DEFLATED, "%s: not deflated" % info.filename)
                    check(not info.filename.endswith("/"), "folder entry %s" % info.filename)
                    check(archive.read(info) == open(os.path.join(args.base, *info.filename.split("/")), "rb").read(),
                          "%s: content differs from the source" % info.filename)

        # Refusals: each leaves no archive behind.
        broken = os.path.join(work, "broken")
        os.makedirs(os.path.join(broken, "themes", "default"))
        samples = {
            "bom.xml": b"\xef\xbb\xbf<Window/>",
            "latin1.xml": b"<Window><Label text=\"\xe9\"/></Window>",
            "good.xml": b"<Window/>",
        }
        for name, data in samples.items():
            with open(os.path.join(broken, "themes", "default", name), "wb") as f:
                f.write(data)
        with open(os.path.join(broken, "outside.xml"), "wb") as f:
            f.write(b"<Window/>")
        cases = [
            ("an XML file with a byte-order mark", ["themes/default/bom.xml"]),
            ("an XML file that is not UTF-8", ["themes/default/latin1.xml"]),
            ("a file outside themes/", ["outside.xml"]),
            ("a path climbing out of themes/", ["themes/default/../../outside.xml"]),
            ("a file named twice", ["themes/default/good.xml", "themes/default/good.xml"]),
            ("a missing file", ["themes/default/missing.png"]),
        ]
        for what, files in cases:
            out = os.path.join(work, "refused.zip")
            result = pack(args.pack, broken, files, out)
            check(result.returncode != 0, "accepted %s" % what)
            check(not os.path.exists(out), "left an archive behind after refusing %s" % what)
            leftovers = [n for n in os.listdir(work) if n.startswith(".skin-")]
            check(not leftovers, "left temporary files after refusing %s: %s" % (what, leftovers))
        check(pack(args.pack, broken, ["themes/default/good.xml"], os.path.join(work, "good.zip")).returncode == 0,
              "refused a well-formed file")

    for problem in problems:
        print("FAIL:", problem)
    if not problems:
        print("skin archive: %d entries, reproducible" % len(args.files))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
