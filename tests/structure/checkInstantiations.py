#!/usr/bin/python3
"""Checks the explicit instantiations of class templates in a source tree.

Each specialization is explicitly instantiated once in the whole tree, in a .cpp file (an
instantiation definition may appear once in a program), and a header declares it with
`extern template`, so that no other file instantiates it on its own. Every `extern
template` of a header has its definition. Comments, string literals and preprocessor lines
are not read; build trees (folders with a CMakeCache.txt) and hidden folders are skipped.

Usage: checkInstantiations.py ROOT. Prints each violation as `file:line: message` and exits
with 1 when there is one.
"""

import os
import re
import sys

# Classes allowed to be instantiated in several files of their own, for a class whose
# sources are being split up; each entry goes when its class has one definition file. Only
# the repeat is allowed: the other rules hold for them too.
REPEATS_ALLOWED: set[str] = set()

SOURCE_EXTENSIONS = (".cpp", ".cc", ".cxx")
HEADER_EXTENSIONS = (".h", ".hpp")
READ_EXTENSIONS = SOURCE_EXTENSIONS + HEADER_EXTENSIONS + (".inl", ".ipp")

TOKENS = re.compile(
    r"(?P<instantiation>\b(?P<extern>extern\s+)?template\s+(?:class|struct|union)\s+(?P<name>(?:::)?\w+(?:\s*::\s*\w+)*)\s*<)"
    r"|(?P<namespace>\b(?:inline\s+)?namespace\b(?:\s+(?P<nsname>\w+(?:\s*::\s*\w+)*))?\s*\{)"
    r"|(?P<open>\{)|(?P<close>\})"
)

RAW_OPENING = re.compile(r'"([^()\\\s]{0,16})\(')


def blank(text, start, end):
    """The text from start to end with every character but newlines made a space."""
    return re.sub(r"[^\n]", " ", text[start:end])


def code_only(text):
    """The text with comments, literals and preprocessor lines blanked, lines kept."""
    out = []
    i = 0
    n = len(text)
    line_start = True
    while i < n:
        c = text[i]
        if line_start and c == "#":
            end = i
            while end < n and text[end] != "\n":
                end = end + 2 if text[end] == "\\" and end + 1 < n else end + 1
            out.append(blank(text, i, end))
            i = end
            continue
        if c in " \t":
            out.append(c)
            i += 1
            continue
        line_start = c == "\n"
        if text.startswith("//", i):
            end = text.find("\n", i)
            end = n if end < 0 else end
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
        elif c == '"' and literal_prefix(text, i) in ("R", "u8R", "uR", "UR", "LR"):
            match = RAW_OPENING.match(text, i)
            if not match:
                end = i + 1
            else:
                close = text.find(")" + match.group(1) + '"', match.end())
                end = n if close < 0 else close + len(match.group(1)) + 2
        elif c == '"' or (c == "'" and not in_number(text, i)):
            end = i + 1
            while end < n and text[end] != c and text[end] != "\n":
                end += 2 if text[end] == "\\" else 1
            end = min(end + 1, n)
        else:
            out.append(c)
            i += 1
            continue
        out.append(blank(text, i, end))
        i = end
    return "".join(out)


def literal_prefix(text, i):
    """The word just before the quote at i (R of a raw string, u8, L...)."""
    start = i
    while start > 0 and (text[start - 1].isalnum() or text[start - 1] == "_"):
        start -= 1
    return text[start:i]


def in_number(text, i):
    """Whether the quote at i separates the digits of a number (1'000, 0xFF'FF)."""
    start = i
    while start > 0 and (text[start - 1].isalnum() or text[start - 1] in "_."):
        start -= 1
    return start < i and text[start].isdigit()


def template_arguments(code, start):
    """The text between the '<' before start and its '>', and the index after the '>'."""
    depth = 1
    i = start
    while i < len(code) and depth > 0:
        if code[i] == "<":
            depth += 1
        elif code[i] == ">":
            depth -= 1
        elif code[i] in ";{}":
            return None, i
        i += 1
    return code[start : i - 1], i


def squeeze(text):
    return re.sub(r"\s+", "", text)


def instantiations(path, text):
    """(is extern, full name with arguments, line) of each explicit class instantiation."""
    code = code_only(text)
    scopes = []
    found = []
    for m in TOKENS.finditer(code):
        if m.group("namespace"):
            scopes.append(squeeze(m.group("nsname") or ""))
        elif m.group("open"):
            scopes.append("")
        elif m.group("close"):
            if scopes:
                scopes.pop()
        else:
            args, after = template_arguments(code, m.end())
            if args is None or not re.match(r"\s*;", code[after:]):
                continue
            name = squeeze(m.group("name"))
            if name.startswith("::"):
                qualified = name[2:]
            else:
                qualified = "::".join([s for s in scopes if s] + [name])
            line = code.count("\n", 0, m.start()) + 1
            found.append((bool(m.group("extern")), f"{qualified}<{squeeze(args)}>", line))
    return found


def source_files(root):
    for folder, subfolders, files in os.walk(root):
        if "CMakeCache.txt" in files:
            subfolders[:] = []
            continue
        subfolders[:] = sorted(s for s in subfolders if not s.startswith("."))
        for name in sorted(files):
            if name.endswith(READ_EXTENSIONS):
                yield os.path.join(folder, name)


def check(root):
    definitions = {}
    declarations = {}
    for path in source_files(root):
        with open(path, encoding="utf-8", errors="replace") as f:
            text = f.read()
        where = os.path.relpath(path, root)
        for is_extern, name, line in instantiations(path, text):
            (declarations if is_extern else definitions).setdefault(name, []).append((where, line))

    problems = []
    for name, places in sorted(definitions.items()):
        first = f"{places[0][0]}:{places[0][1]}"
        class_name = name.split("<", 1)[0]
        if len(places) > 1 and class_name not in REPEATS_ALLOWED:
            listed = ", ".join(f"{p}:{l}" for p, l in places)
            problems.append(f"{first}: {name} is instantiated {len(places)} times: {listed}")
        for path, line in places:
            if not path.endswith(SOURCE_EXTENSIONS):
                problems.append(f"{path}:{line}: {name} is instantiated outside a source file")
        if not any(p.endswith(HEADER_EXTENSIONS) for p, _ in declarations.get(name, [])):
            problems.append(f"{first}: {name} has no extern template declaration in a header")
    for name, places in sorted(declarations.items()):
        if name not in definitions:
            path, line = places[0]
            problems.append(f"{path}:{line}: {name} is declared extern but instantiated nowhere")

    made = {n.split("<", 1)[0] for n in definitions}
    repeated = {n.split("<", 1)[0] for n, places in definitions.items() if len(places) > 1}
    for name in sorted((REPEATS_ALLOWED & made) - repeated):
        print(f"note: {name} is instantiated once now; its entry in REPEATS_ALLOWED can go")
    for problem in problems:
        print(problem)
    if problems:
        print(f"{len(problems)} instantiation problems")
        return 1
    print(f"{len(definitions)} class instantiations, each once with its extern template")
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("Usage: checkInstantiations.py ROOT")
    sys.exit(check(sys.argv[1]))
