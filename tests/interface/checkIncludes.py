"""Fails when a source folder includes a header of a level that is not below its own.

The levels, lowest first. The foundation splits by folder: td (types and strings) below mu
(the utility library's interface) below mem (pools) below cnt (containers), with sc (the
front end) and xml (the DOM parser) beside each other on cnt. The matrices (dense, sparse
and matrix: the matrix library's interface and small fixed matrices) stand on td alone,
since the matrix library links nothing of the utility library. Above them all: the
expression engine, the model builder, the solvers, the model library and the Python module.

A file may include what its own level or a level below it holds; an include that only a
folder of another level can satisfy is reported as "file:line: level includes name of
level". A file under Include/ outside every level's folder is reported too, so that a new
folder is given its level.

Usage: checkIncludes.py <source root> [--partial]
--partial passes over folders the root does not have (a probe tree holds only a few).
"""

import os
import re
import sys

# Each level with its folders and the levels directly below it; a folder inside another
# level's folder belongs to the level of the innermost one.
LEVELS = [
    ("td", ["Include/td", "EqnKitShared/src/foundation"], []),
    ("mu", ["Include/mu", "coreLib/src"], ["td"]),
    ("mem", ["Include/mem"], ["mu"]),
    ("cnt", ["Include/cnt"], ["mem"]),
    ("sc", ["Include/sc", "EqnKitShared/src"], ["cnt"]),
    ("xml", ["Include/xml", "EqnKitShared/src/foundation/xml"], ["cnt"]),
    ("matrices", ["Include/dense", "Include/sparse", "Include/matrix", "Matrix/src"], ["td"]),
    ("engine", ["EqnKitStatic/src/engine"], ["sc", "xml", "matrices"]),
    ("builder", ["EqnKitStatic/src/builder"], ["engine"]),
    ("solvers", ["EqnKitStatic/src/solvers"], ["builder"]),
    ("model library", ["simHost/src"], ["solvers"]),
    ("Python module", ["pymodule"], ["model library"]),
]

# Every header of the public folder stands in one of the levels.
PUBLIC = "Include"

SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".cc", ".c", ".inl")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def reachable():
    """Level name -> the names of the levels it may include from, its own among them."""
    below = {name: set(lower) for name, _, lower in LEVELS}
    out = {}
    for name in below:
        seen, todo = {name}, [name]
        while todo:
            for lower in below[todo.pop()]:
                if lower not in seen:
                    seen.add(lower)
                    todo.append(lower)
        out[name] = seen
    return out


def folders(root):
    """(level name, absolute folder) of every folder, the innermost first."""
    out = [(name, os.path.normpath(os.path.join(root, path))) for name, paths, _ in LEVELS for path in paths]
    return sorted(out, key=lambda entry: len(entry[1]), reverse=True)


def search_roots(root):
    """The folders an include by name is looked up in: Include/ and the private folders."""
    public = os.path.normpath(os.path.join(root, PUBLIC))
    out = [public]
    for _, paths, _ in LEVELS:
        for path in paths:
            folder = os.path.normpath(os.path.join(root, path))
            if not folder.startswith(public + os.sep) and folder not in out:
                out.append(folder)
    return out


def level_of(path, level_folders):
    """The level of the innermost folder that holds path; None outside every folder."""
    for name, folder in level_folders:
        if path == folder or path.startswith(folder + os.sep):
            return name
    return None


def sources(folder):
    for directory, subfolders, names in os.walk(folder):
        subfolders.sort()
        for name in sorted(names):
            if name.endswith(SOURCE_SUFFIXES):
                yield os.path.join(directory, name)


def check_include(path, allowed, quoted, header, level_folders, roots):
    """The level not below the file's that the include reaches, or None when it is allowed."""
    other = None
    candidates = []
    if quoted:
        candidates.append(os.path.normpath(os.path.join(os.path.dirname(path), header)))
    candidates += [os.path.normpath(os.path.join(folder, header)) for folder in roots]
    for candidate in candidates:
        if not os.path.isfile(candidate):
            continue
        level = level_of(candidate, level_folders)
        if level is None:
            continue
        if level in allowed:
            # The compiler finds it here: the folders of other levels are not on its path.
            return None
        if other is None:
            other = level
    return other


def collect(root, partial, level_folders):
    """(files by path with their level, problems of missing folders and unplaced headers)."""
    problems = []
    files = {}
    for name, folder in level_folders:
        if not os.path.isdir(folder):
            if not partial:
                problems.append(f"{os.path.relpath(folder, root)}: folder missing")
            continue
        for path in sources(folder):
            files.setdefault(path, level_of(path, level_folders))
    public = os.path.join(root, PUBLIC)
    if os.path.isdir(public):
        for path in sources(public):
            if level_of(path, level_folders) is None:
                problems.append(f"{os.path.relpath(path, root)}: in no level")
    return files, problems


def main(argv):
    if len(argv) < 2:
        print(__doc__)
        return 2
    root = os.path.abspath(argv[1])
    partial = "--partial" in argv[2:]
    level_folders = folders(root)
    roots = search_roots(root)
    allowed = reachable()
    files, violations = collect(root, partial, level_folders)
    n_includes = 0
    for path in sorted(files, key=lambda p: os.path.relpath(p, root)):
        level = files[path]
        with open(path, encoding="utf-8", errors="replace") as source:
            for number, line in enumerate(source, 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                n_includes += 1
                quoted, header = match.group(1) == '"', match.group(2)
                other = check_include(path, allowed[level], quoted, header, level_folders, roots)
                if other:
                    violations.append(f"{os.path.relpath(path, root)}:{number}: {level} includes {header} of {other}")
    for violation in violations:
        print(violation)
    print(f"{len(files)} files, {n_includes} includes; {len(violations)} problems")
    if not files:
        print("no source files found")
        return 1
    return 1 if violations else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
