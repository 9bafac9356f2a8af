#!/usr/bin/env python3
"""Mechanical faults drawn from the lines of src/ and tools/, for scripts/mutants.sh --sample.

  mutant-sample.py ROOT --seed S --native CC.json --win CC.json [--equivalent FILE] [--count]

Reads every .cpp and .h file under ROOT/src and ROOT/tools, finds each place where one
of these one-line faults applies, then prints one fault per line that has any, the lines in an order shuffled by the seed:

  rel      a comparison swapped: < <=, > >=, == !=
  logic    && and || swapped
  arith    + and -, += and -= swapped
  const    an integer constant off by one (up, and down when it is not 0)
  bool     true and false swapped
  negate   the condition of an if or while negated
  remove   a call or an assignment that is a whole statement removed
  swap     the first two arguments of a call swapped

Comments, string and character literals and preprocessor lines are never changed.
Operators are found by the spaces the formatter puts around binary operators, so
template brackets, pointers and shifts are left alone.

Each output line is tab-separated: tier, file:line, kind, the original line, the
faulty line, and "equivalent" or "-". The tier names the trees that compile the file
(from each tree's compile_commands.json; a header takes the trees of the files that
include it): native, win or both. A fault listed in the equivalents file (see
scripts/mutants-equivalent.txt) is marked so mutants.sh counts it without running it.
"""
import argparse
import json
import os
import random
import re
import sys

KEYWORDS = {"return", "if", "while", "for", "switch", "case", "else", "do", "delete", "throw", "goto",
            "break", "continue", "sizeof", "new", "static_assert", "default"}


def mask_file(lines):
    """Each line with comments and literal contents blanked out (same length), so that
    what matches in the mask is code; block comments may span lines."""
    masked = []
    in_block = False
    for line in lines:
        out = []
        i = 0
        while i < len(line):
            c = line[i]
            if in_block:
                if line.startswith("*/", i):
                    in_block = False
                    out.append("  ")
                    i += 2
                else:
                    out.append(" ")
                    i += 1
            elif line.startswith("//", i):
                out.append(" " * (len(line) - i))
                break
            elif line.startswith("/*", i):
                in_block = True
                out.append("  ")
                i += 2
            elif c in "\"'":
                # A digit separator (1'000) is no quote; the code base has none, but stay safe.
                j = i + 1
                while j < len(line) and line[j] != c:
                    j += 2 if line[j] == "\\" else 1
                out.append(c + " " * (min(j, len(line)) - i - 1) + (c if j < len(line) else ""))
                i = j + 1
            else:
                out.append(c)
                i += 1
        masked.append("".join(out)[: len(line)])
    return masked


def closing_paren(text, open_at):
    depth = 0
    for i in range(open_at, len(text)):
        if text[i] == "(":
            depth += 1
        elif text[i] == ")":
            depth -= 1
            if depth == 0:
                return i
    return -1


def top_level_commas(text, start, end):
    commas, depth = [], 0
    for i in range(start, end):
        if text[i] in "([{":
            depth += 1
        elif text[i] in ")]}":
            depth -= 1
        elif text[i] == "," and depth == 0:
            commas.append(i)
    return commas


def bump(literal, step):
    m = re.fullmatch(r"(0[xX][0-9A-Fa-f]+|\d+)([uUlL]*)", literal)
    digits, suffix = m.group(1), m.group(2)
    if digits.lower().startswith("0x"):
        value = int(digits, 16) + step
        if value < 0:
            return None
        body = format(value, "X" if any(ch.isupper() for ch in digits[2:]) else "x")
        return digits[:2] + body.rjust(len(digits) - 2, "0") + suffix
    if len(digits) > 1 and digits.startswith("0"):
        return None  # octal: none in the code base
    value = int(digits) + step
    return None if value < 0 else str(value) + suffix


def faults_of_line(line, code):
    """(kind, faulty line) for each fault that applies to one line; code is its mask."""
    found = []

    def at(start, end, replacement, kind):
        found.append((kind, line[:start] + replacement + line[end:]))

    stripped = code.strip()
    if not stripped or stripped.startswith("#"):
        return found
    swaps = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "=="}
    for m in re.finditer(r"(?<= )(<=|>=|==|!=|<|>)(?= )", code):
        at(m.start(), m.end(), swaps[m.group(1)], "rel")
    for m in re.finditer(r"(?<= )(&&|\|\|)(?= )", code):
        at(m.start(), m.end(), "||" if m.group(1) == "&&" else "&&", "logic")
    for m in re.finditer(r"(?<= )(\+=|-=|\+|-)(?= )", code):
        at(m.start(), m.end(), {"+": "-", "-": "+", "+=": "-=", "-=": "+="}[m.group(1)], "arith")
    for m in re.finditer(r"(?<![\w.])(0[xX][0-9A-Fa-f]+|\d+)([uUlL]*)(?![\w.'])", code):
        # The size of a buffer being declared: one more is room to spare, not a fault.
        if re.search(r"\w[\w*&>]* \**\w+\[$", code[: m.start()]) and code[m.end():].startswith("]"):
            continue
        for step in (1, -1):
            bumped = bump(m.group(0), step)
            if bumped is not None:
                at(m.start(), m.end(), bumped, "const")
    for m in re.finditer(r"\b(true|false)\b", code):
        at(m.start(), m.end(), "false" if m.group(1) == "true" else "true", "bool")
    for m in re.finditer(r"\b(if|while) \(", code):
        open_at = m.end() - 1
        close = closing_paren(code, open_at)
        if close > 0:
            at(open_at + 1, close, "!(" + line[open_at + 1:close] + ")", "negate")
    # A whole statement on one line: a call, or an assignment to something that is no declaration.
    first = stripped.split("(")[0].split(" ")[0]
    if stripped.endswith(";") and first not in KEYWORDS and stripped.count("(") == stripped.count(")"):
        call = re.fullmatch(r"[\w:.\->\[\]]+\(.*\);", stripped)
        assign = re.fullmatch(r"\*?[\w.\->\[\]]+ (=|\+=|-=|\|=|&=) [^=].*;", stripped)
        if call or assign:
            indent = line[: len(line) - len(line.lstrip())]
            found.append(("remove", indent + ";"))
    # Two arguments of a call; parameter lists of declarations (a type, then a name) are left alone.
    for m in re.finditer(r"\b([A-Za-z_]\w*)\(", code):
        if m.group(1) in KEYWORDS or m.group(1) in ("static_cast", "reinterpret_cast", "const_cast"):
            continue
        open_at = m.end() - 1
        close = closing_paren(code, open_at)
        commas = top_level_commas(code, open_at + 1, close) if close > 0 else []
        if len(commas) < 1:
            continue
        end2 = commas[1] if len(commas) > 1 else close
        a, b = line[open_at + 1:commas[0]], line[commas[0] + 1:end2]
        declares = r"\s*(const )?[\w:]+[*&]* [*&]?\w+(\[\w*\])?\s*"
        if a.strip() == b.strip() or re.fullmatch(declares, a) or re.fullmatch(declares, b):
            continue
        swapped = b.strip() + ", " + a.strip()
        lead = a[: len(a) - len(a.lstrip())]
        at(open_at + 1, end2, lead + swapped, "swap")
    return found


def read_equivalents(path):
    """{(file, line number or 0, original stripped, faulty stripped)} from blocks of: the file (with ":N" when the
    same text stands on other lines too, where the same fault would not be equivalent), "- line", "+ line", "why:"."""
    known = set()
    if not path or not os.path.exists(path):
        return known
    file = original = None
    number = 0
    with open(path, encoding="utf-8") as f:
        for raw in f:
            line = raw.rstrip("\n")
            if line.startswith("#") or not line.strip() or line.startswith("why:"):
                continue
            if line.startswith("- "):
                original = line[2:].strip()
            elif line.startswith("+ "):
                known.add((file, number, original, line[2:].strip()))
            elif not line.startswith(" "):
                file, _, at = line.strip().partition(":")
                number = int(at) if at.isdigit() else 0
    return known


def compiled_files(path, root):
    with open(path, encoding="utf-8") as f:
        return {os.path.relpath(os.path.realpath(e["file"]), os.path.realpath(root)) for e in json.load(f)}


def tiers_of(files, root, native, win):
    """file -> set of trees compiling it; headers through the files that include them."""
    includes = {}
    for f in files:
        found = set()
        with open(os.path.join(root, f), encoding="utf-8", errors="replace") as text:
            for m in re.finditer(r'^#include "([^"]+)"', text.read(), re.M):
                for base in ("src", os.path.dirname(f)):
                    candidate = os.path.normpath(os.path.join(base, m.group(1)))
                    if candidate in files:
                        found.add(candidate)
        includes[f] = found
    tiers = {f: ({"native"} if f in native else set()) | ({"win"} if f in win else set()) for f in files}
    changed = True
    while changed:
        changed = False
        for f, headers in includes.items():
            for h in headers:
                if not tiers[f] <= tiers[h]:
                    tiers[h] |= tiers[f]
                    changed = True
    return tiers


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("root")
    parser.add_argument("--seed", type=int, required=True)
    parser.add_argument("--native", required=True, help="compile_commands.json of the native tree")
    parser.add_argument("--win", required=True, help="compile_commands.json of the Win32 tree")
    parser.add_argument("--equivalent", help="the reviewed list of equivalent faults")
    parser.add_argument("--count", action="store_true", help="print the number of faults per kind and tier")
    args = parser.parse_args()

    root = args.root
    files = []
    for top in ("src", "tools"):
        for folder, _, names in os.walk(os.path.join(root, top)):
            files += [os.path.relpath(os.path.join(folder, n), root) for n in names if n.endswith((".cpp", ".h"))]
    files.sort()
    tiers = tiers_of(set(files), root, compiled_files(args.native, root), compiled_files(args.win, root))
    equivalents = read_equivalents(args.equivalent)

    faults = []
    for f in files:
        tier = {frozenset(["native"]): "native", frozenset(["win"]): "win",
                frozenset(["native", "win"]): "both"}.get(frozenset(tiers[f]))
        if tier is None:
            continue  # compiled by no tree
        with open(os.path.join(root, f), encoding="utf-8") as text:
            lines = text.read().split("\n")
        for number, (line, code) in enumerate(zip(lines, mask_file(lines)), 1):
            for kind, faulty in faults_of_line(line, code):
                equivalent = any((f, at, line.strip(), faulty.strip()) in equivalents for at in (0, number))
                faults.append((tier, f"{f}:{number}", kind, line, faulty, "equivalent" if equivalent else "-"))

    if args.count:
        counts = {}
        for fault in faults:
            counts[(fault[0], fault[2])] = counts.get((fault[0], fault[2]), 0) + 1
        for key in sorted(counts):
            print(*key, counts[key])
        print("all", len(faults))
        return 0
    # Lines first, then one fault of each: a line full of constants weighs as much as any other.
    rng = random.Random(args.seed)
    by_line = {}
    for fault in faults:
        by_line.setdefault(fault[1], []).append(fault)
    lines = sorted(by_line)
    rng.shuffle(lines)
    for where in lines:
        print("\t".join(rng.choice(by_line[where])))
    return 0


if __name__ == "__main__":
    sys.exit(main())
