"""Fails when a source folder includes a header of a folder above it.

The folders, lowest first: the foundation and front end (Include/, EqnKitShared/src), the
expression engine, the model builder, the solvers, the model library and the Python module.
A file may include what its own folder, Include/ or a folder below its own holds; an include
that only a folder above it can satisfy is reported as "file:line: includes name of folder".

Usage: checkIncludes.py <source root> [--partial]
--partial passes over folders the root does not have (a probe tree holds only a few).
"""

import os
import re
import sys

# Lowest first; a folder may include from its own level and the levels below it.
LAYERS = [
    ("foundation", ["Include", "EqnKitShared/src"]),
    ("engine", ["EqnKitStatic/src/engine"]),
    ("builder", ["EqnKitStatic/src/builder"]),
    ("solvers", ["EqnKitStatic/src/solvers"]),
    ("model library", ["simHost/src"]),
    ("Python module", ["pymodule"]),
]

SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".cc", ".c", ".inl")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def folders(root):
    """(level, layer name, absolute folder) of every folder, lowest level first."""
    out = []
    for level, (name, paths) in enumerate(LAYERS):
        for path in paths:
            out.append((level, name, os.path.normpath(os.path.join(root, path))))
    return out


def level_of(path, layer_folders):
    """The level and layer of the folder that holds path; None outside every folder."""
    for level, name, folder in layer_folders:
        if path == folder or path.startswith(folder + os.sep):
            return level, name
    return None


def sources(folder):
    for directory, _, names in os.walk(folder):
        for name in sorted(names):
            if name.endswith(SOURCE_SUFFIXES):
                yield os.path.join(directory, name)


def check_include(path, own_level, quoted, header, layer_folders):
    """The folder above own_level that the include reaches, or None when it is allowed."""
    above = None
    candidates = []
    if quoted:
        candidates.append(os.path.normpath(os.path.join(os.path.dirname(path), header)))
    candidates += [os.path.normpath(os.path.join(folder, header)) for _, _, folder in layer_folders]
    for candidate in candidates:
        if not os.path.isfile(candidate):
            continue
        found = level_of(candidate, layer_folders)
        if found is None:
            continue
        level, name = found
        if level <= own_level:
            # The compiler finds it here first: the folders above are not on the path.
            return None
        if above is None:
            above = name
    return above


def main(argv):
    if len(argv) < 2:
        print(__doc__)
        return 2
    root = os.path.abspath(argv[1])
    partial = "--partial" in argv[2:]
    layer_folders = folders(root)
    violations = []
    n_files = n_includes = 0
    for level, name, folder in layer_folders:
        if not os.path.isdir(folder):
            if partial:
                continue
            violations.append(f"{os.path.relpath(folder, root)}: folder missing")
            continue
        for path in sources(folder):
            n_files += 1
            with open(path, encoding="utf-8", errors="replace") as source:
                for number, line in enumerate(source, 1):
                    match = INCLUDE.match(line)
                    if not match:
                        continue
                    n_includes += 1
                    quoted, header = match.group(1) == '"', match.group(2)
                    above = check_include(path, level, quoted, header, layer_folders)
                    if above:
                        violations.append(
                            f"{os.path.relpath(path, root)}:{number}: {name} includes {header} of {above}")
    for violation in violations:
        print(violation)
    print(f"{n_files} files, {n_includes} includes; {len(violations)} problems")
    if n_files == 0:
        print("no source files found")
        return 1
    return 1 if violations else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
