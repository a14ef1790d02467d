#!/usr/bin/env python3
"""Checks the shipped installer executable: a 32-bit (PE32, i386) Windows GUI
program whose import table names only DLLs that every Windows system has, so
it runs as one file with nothing beside it, and which asks for elevation."""
import argparse
import re
import subprocess
import sys

# Windows' own DLLs. Anything else (libcurl-4.dll, libssl-3.dll, zlib1.dll,
# libstdc++-6.dll, libwinpthread-1.dll, ...) would have to ship beside the program.
SYSTEM_DLLS = {
    "advapi32.dll", "bcrypt.dll", "comctl32.dll", "comdlg32.dll", "crypt32.dll",
    "gdi32.dll", "gdiplus.dll", "imm32.dll", "kernel32.dll", "msimg32.dll",
    "msvcrt.dll", "ole32.dll", "oleaut32.dll", "shell32.dll", "shlwapi.dll",
    "user32.dll", "uxtheme.dll", "version.dll", "winmm.dll", "ws2_32.dll",
}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--objdump", required=True)
    parser.add_argument("exe")
    args = parser.parse_args()
    try:
        dump = subprocess.run([args.objdump, "-p", args.exe], check=True, capture_output=True,
                              text=True).stdout
    except (OSError, subprocess.CalledProcessError) as error:
        print("cannot read %s: %s (build it with scripts/test or scripts/build-release)" % (args.exe, error))
        return 1
    problems = []
    if not re.search(r"file format pei-i386", dump):
        problems.append("not a 32-bit PE (pei-i386)")
    if not re.search(r"^Magic\s+010b", dump, re.M):
        problems.append("optional header is not PE32")
    if not re.search(r"^Subsystem\s+00000002", dump, re.M):
        problems.append("subsystem is not Windows GUI")
    dlls = sorted({name.lower() for name in re.findall(r"DLL Name: (\S+)", dump)})
    if not dlls:
        problems.append("no import table found")
    for dll in dlls:
        if dll not in SYSTEM_DLLS:
            problems.append("imports a DLL that is not part of Windows: " + dll)
    with open(args.exe, "rb") as f:
        image = f.read()
    if b'level="requireAdministrator"' not in image:
        problems.append("manifest does not request administrator rights")
    print("imports:", ", ".join(dlls))
    for problem in problems:
        print("FAIL:", problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
