#!/usr/bin/env python3
"""Lists the routines of the given C++ folders longer than a screen and fails on any that has no
reason written beside it.

A routine is a definition whose body opens at brace depth 0 (a function, or a class's member
defined out of line); its length is counted from the line of its name to its closing brace. A
reason is a comment just above the routine that begins with "Long:". Lambdas and class bodies
count as part of what holds them. Strings, characters and comments are skipped when braces are
counted.
"""
import os
import re
import sys

LIMIT = 60
REASON = re.compile(r"^\s*//\s*Long:")
# What may stand before a body's "{" at depth 0 when it is a routine's: the closing ")" of its
# parameters, then qualifiers, a trailing return type or a member initialiser list.
NOT_ROUTINE = re.compile(r"^\s*(namespace|class|struct|enum|union|extern)\b")


def strip_code(text):
    """The text with strings, characters and comments blanked, lines kept."""
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            out.append(" " * (j - i))
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            out.append(re.sub(r"[^\n]", " ", text[i:j]))
            i = j
        elif c == 'R' and text.startswith('R"', i):
            k = text.find("(", i)
            delim = ")" + text[i + 2:k] + '"'
            j = text.find(delim, k)
            j = n if j < 0 else j + len(delim)
            out.append(re.sub(r"[^\n]", " ", text[i:j]))
            i = j
        elif c in "\"'":
            j = i + 1
            while j < n and text[j] != c:
                j += 2 if text[j] == "\\" else 1
            out.append(" " * (min(j + 1, n) - i))
            i = j + 1
        else:
            out.append(c)
            i += 1
    return "".join(out)


def routines(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        raw = f.read()
    lines = raw.split("\n")
    code = strip_code(raw)
    depth = 0
    start = None  # (offset of "{", line of the head)
    head_begin = 0  # where the text before the current depth-0 "{" starts
    for i, c in enumerate(code):
        if c == "{":
            if depth == 0:
                head = code[head_begin:i]
                stripped = head.strip()
                is_routine = ")" in stripped and not NOT_ROUTINE.match(stripped.split("\n")[-1]) \
                    and not NOT_ROUTINE.match(stripped)
                if is_routine:
                    # The head's first non-blank line is where the routine's name stands.
                    first = head_begin + (len(head) - len(head.lstrip()))
                    start = code.count("\n", 0, first)
                else:
                    start = None
                    head_begin = i + 1
                    continue  # a namespace or class body: its members are looked at one by one
            depth += 1
        elif c == "}":
            if depth == 0:
                head_begin = i + 1
                continue
            depth -= 1
            if depth == 0:
                if start is not None:
                    end = code.count("\n", 0, i)
                    yield start, end, lines
                start = None
                head_begin = i + 1
        elif c == ";" and depth == 0:
            head_begin = i + 1
        elif c == "#" and depth == 0 and (i == 0 or code[i - 1] == "\n"):
            head_begin = code.find("\n", i) + 1 or len(code)


def main(folders):
    failures = 0
    for folder in folders:
        for root, _, files in sorted(os.walk(folder)):
            for name in sorted(files):
                if not name.endswith(".cpp"):
                    continue
                path = os.path.join(root, name)
                for start, end, lines in routines(path):
                    length = end - start + 1
                    if length <= LIMIT:
                        continue
                    above = start - 1
                    while above >= 0 and lines[above].strip().startswith("//") \
                            and not REASON.match(lines[above]):
                        above -= 1
                    reasoned = above >= 0 and REASON.match(lines[above])
                    mark = "ok  " if reasoned else "LONG"
                    print(f"{mark} {length:4d} {path}:{start + 1}: {lines[start].strip()}")
                    failures += 0 if reasoned else 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:] or ["Vellicor/source/gui"]))
