#!/usr/bin/env python3
"""Writes a fixed, seeded sample of one-line faults in one folder's product code.

    mutant_sample.py FOLDER COUNT SEED OUTDIR [MUTATE]

Every candidate fault changes one line of one product file of FOLDER (its
.cpp and .h files that are not tests or test helpers, in its sub-folders too),
or of the files MUTANTS_FILES names (space-separated) when it is set. With MUTATE (universalmutator's
`mutate` command) the candidates are the ones it writes; without it they come
from the rules below, which follow universalmutator's C++ rules (operators,
constants, conditions, dropped statements) on text outside strings and
comments. The candidates are sorted and COUNT of them drawn with a generator
seeded by SEED and the folder, so a run on the same product code draws the
same faults whatever the tests are.

For each drawn fault OUTDIR gets NNN.src (the whole mutated file) and NNN.info
(its path, line number and the mutated line, tab-separated).
"""
import difflib
import os
import random
import re
import subprocess
import sys
import tempfile

# (pattern, replacement) on one line's code; each match gives one candidate.
RULES = [
    (r" == ", " != "), (r" != ", " == "),
    (r" < ", " <= "), (r" <= ", " < "), (r" > ", " >= "), (r" >= ", " > "),
    (r" < ", " > "), (r" > ", " < "),
    (r" \+ ", " - "), (r" - ", " + "), (r" \* ", " / "), (r" / ", " * "),
    (r" \+= ", " -= "), (r" -= ", " += "), (r"\+\+", "--"), (r"--", "++"),
    (r" && ", " || "), (r" \|\| ", " && "),
    (r"\btrue\b", "false"), (r"\bfalse\b", "true"),
    (r"\bbreak;", "continue;"),
    (r"(?<![\w.])0(?![\w.x])", "1"), (r"(?<![\w.])1(?![\w.])", "0"),
    (r"(?<![\w.])([2-9]|[1-9]\d+)(?![\w.])", lambda m: str(int(m.group(0)) + 1)),
    (r"(?<![\w.])([2-9]|[1-9]\d+)(?![\w.])", lambda m: str(int(m.group(0)) - 1)),
    (r"\bif \(", "if (!"),
    (r"\bwhile \(", "while (!"),
]
STATEMENT = re.compile(r"^\s*[\w:.>\-\[\]()]+(\(.*\)|\s*[-+*/]?=\s*.*);\s*$")


def masked(line):
    """The line with string and character literals and comments blanked out."""
    out, i, n = [], 0, len(line)
    while i < n:
        c = line[i]
        if line.startswith("//", i):
            out.append(" " * (n - i))
            break
        if c in "\"'":
            j = i + 1
            while j < n and line[j] != c:
                j += 2 if line[j] == "\\" else 1
            out.append(c + "_" * (min(j, n) - i - 1) + (c if j < n else ""))
            i = j + 1
            continue
        out.append(c)
        i += 1
    return "".join(out)[:n]


def rule_candidates(path):
    lines = open(path, encoding="utf-8").read().split("\n")
    found, in_block, previous = [], False, ";"
    for number, line in enumerate(lines, 1):
        starts_statement = previous.endswith((";", "{", "}", ":")) or not previous
        previous = masked(line).strip() or previous
        code = masked(line)
        stripped = code.strip()
        if in_block or stripped.startswith("/*"):
            in_block = "*/" not in code
            continue
        if not stripped or stripped.startswith(("#", "//", "*")):
            continue
        for pattern, replacement in RULES:
            for m in re.finditer(pattern, code):
                new = m.expand(replacement) if isinstance(replacement, str) else replacement(m)
                mutated = line[:m.start()] + new + line[m.end():]
                if mutated != line:
                    found.append((number, mutated))
        if starts_statement and STATEMENT.match(code) and not stripped.startswith("return"):
            found.append((number, re.match(r"\s*", line).group(0) + "// " + line.strip()))
    return lines, found


def tool_candidates(path, mutate):
    """The one-line faults universalmutator writes for PATH."""
    lines = open(path, encoding="utf-8").read().split("\n")
    found = []
    with tempfile.TemporaryDirectory() as out:
        subprocess.run([mutate, path, "cpp", "--noCheck", "--mutantDir", out],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
        for name in sorted(os.listdir(out)):
            mutant = open(os.path.join(out, name), encoding="utf-8").read().split("\n")
            if len(mutant) != len(lines):
                continue  # only faults that change one line in place
            changed = [i for i, (a, b) in enumerate(zip(lines, mutant)) if a != b]
            if len(changed) == 1:
                found.append((changed[0] + 1, mutant[changed[0]]))
    return lines, found


# Test helpers by name, as scripts/test_ratio.sh counts them.
TEST_HELPERS = ("test_support.h", "test_helpers.h", "test_folder.h")


def product_files(folder):
    """The folder's product sources, its stage folders below it included."""
    paths = []
    for root, dirs, names in os.walk(folder):
        dirs[:] = sorted(d for d in dirs if d not in ("testdata", "corpus", "crashes"))
        paths += [os.path.join(root, n) for n in sorted(names)
                  if n.endswith((".cpp", ".h")) and "_test" not in n and "test_util" not in n
                  and n not in TEST_HELPERS]
    return paths


def main():
    folder, count, seed, outdir = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
    mutate = sys.argv[5] if len(sys.argv) > 5 else ""
    candidates, sources = [], {}
    for path in os.environ.get("MUTANTS_FILES", "").split() or product_files(folder):
        lines, found = tool_candidates(path, mutate) if mutate else rule_candidates(path)
        sources[path] = lines
        candidates += sorted({(path, n, text) for n, text in found})
    drawn = random.Random(f"{seed}:{folder}").sample(candidates, min(count, len(candidates)))
    drawn.sort()
    os.makedirs(outdir, exist_ok=True)
    for index, (path, number, text) in enumerate(drawn):
        lines = list(sources[path])
        lines[number - 1] = text
        with open(os.path.join(outdir, f"{index:03d}.src"), "w", encoding="utf-8") as f:
            f.write("\n".join(lines))
        with open(os.path.join(outdir, f"{index:03d}.info"), "w", encoding="utf-8") as f:
            f.write(f"{path}\t{number}\t{text.strip()}\n")
    print(f"{folder}: {len(drawn)} of {len(candidates)} candidate faults drawn", file=sys.stderr)


if __name__ == "__main__":
    main()
