#!/usr/bin/python3
"""Checks that the build lists every source and every public header by name.

The CMake files name their sources one by one rather than globbing a folder, so a file
nobody lists would silently stay out of the build: every .cpp file must be named, by its
path from that folder, in the CMakeLists.txt of the nearest folder above it that has one,
and every header under Include/ in tests/interface/CMakeLists.txt, which compiles each one
on its own. Build trees (folders with a CMakeCache.txt) and hidden folders are skipped.

Usage: checkListed.py ROOT. Prints each file left out and exits with 1 when there is one.
"""

import os
import re
import sys

PUBLIC_HEADERS = "Include"
HEADER_LIST = os.path.join("tests", "interface", "CMakeLists.txt")


def files_under(folder, suffix):
    for current, subfolders, files in os.walk(folder):
        if "CMakeCache.txt" in files:
            subfolders[:] = []
            continue
        subfolders[:] = sorted(s for s in subfolders if not s.startswith("."))
        for name in sorted(files):
            if name.endswith(suffix):
                yield os.path.join(current, name)


def names(list_file, cache={}):
    """The words of a CMake file outside its comments."""
    if list_file not in cache:
        with open(list_file, encoding="utf-8") as f:
            text = re.sub(r"#[^\n]*", "", f.read())
        cache[list_file] = set(re.findall(r"[^\s()\"]+", text))
    return cache[list_file]


def nearest_list(root, path):
    folder = os.path.dirname(path)
    while True:
        candidate = os.path.join(folder, "CMakeLists.txt")
        if os.path.exists(candidate):
            return folder, candidate
        if os.path.samefile(folder, root):
            return None, None
        folder = os.path.dirname(folder)


def check(root):
    problems = []
    for path in files_under(root, ".cpp"):
        folder, list_file = nearest_list(root, path)
        listed = os.path.relpath(path, folder) if folder else None
        if not list_file or listed not in names(list_file):
            where = os.path.relpath(list_file, root) if list_file else "no CMakeLists.txt"
            problems.append(f"{os.path.relpath(path, root)}: not named in {where}")
    header_list = os.path.join(root, HEADER_LIST)
    for path in files_under(os.path.join(root, PUBLIC_HEADERS), ".h"):
        if os.path.relpath(path, os.path.join(root, PUBLIC_HEADERS)) not in names(header_list):
            problems.append(f"{os.path.relpath(path, root)}: not named in {HEADER_LIST}")
    for problem in problems:
        print(problem)
    if problems:
        print(f"{len(problems)} files not listed")
        return 1
    print("every source and every public header is listed")
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("Usage: checkListed.py ROOT")
    sys.exit(check(sys.argv[1]))
