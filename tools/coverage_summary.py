#!/usr/bin/env python3
"""Summarises gcovr's JSON report of src/ (tools/coverage.sh writes it).

    coverage_summary.py COVERAGE_JSON OUTPUT_DIR

Writes OUTPUT_DIR/summary.txt, the lines and functions run per folder (a
folder's figures include its subfolders) and for src/ as a whole, and
OUTPUT_DIR/unrun.txt, the functions no test runs, largest first, with the
number of their lines that did not run. A function is counted once where
it is written: a template or an inline function whose instances gcov
lists one by one has run when any of them has.
"""
import collections
import json
import os
import sys


def code_lines(entry):
    return [l for l in entry["lines"] if not l.get("gcovr/noncode") and not l.get("gcovr/excluded")]


def folders(path):
    """src/platform/output/x.cpp -> src, src/platform, src/platform/output."""
    parts = os.path.dirname(path).split("/")
    return ["/".join(parts[:k]) for k in range(1, len(parts) + 1)]


def short_name(name):
    """The function's name without its parameter list."""
    name = name.replace("(anonymous namespace)", "{anonymous}").replace("std::__cxx11::", "std::")
    depth = 0
    for k, ch in enumerate(name):
        if ch == "(" and depth == 0 and not name[:k].endswith("operator"):
            return name[:k]
        depth += ch in "<{"
        depth -= ch in ">}"
    return name


def definitions(entry):
    """{line: (ran, name)} of the functions written in the file."""
    out = {}
    for f in entry["functions"]:
        ran = out.get(f["lineno"], (False, f["name"]))[0] or f["execution_count"] > 0
        out[f["lineno"]] = (ran, f["name"])
    return out


def unrun_functions(entry, defs):
    """(unrun lines, file:line, name) of each function of the file that did not run."""
    starts = sorted(defs)
    counts = {l["line_number"]: l["count"] for l in code_lines(entry)}
    out = []
    for k, start in enumerate(starts):
        ran, name = defs[start]
        if ran:
            continue
        end = starts[k + 1] if k + 1 < len(starts) else max(counts, default=start) + 1
        size = sum(1 for n, c in counts.items() if start <= n < end and c == 0)
        out.append((size, f'{entry["file"]}:{start}', short_name(name)))
    return out


def percent(done, total):
    return f"{100.0 * done / total:5.1f}% ({done}/{total})" if total else "    -"


def main():
    report, out_dir = sys.argv[1], sys.argv[2]
    with open(report) as f:
        files = json.load(f)["files"]
    sums = collections.defaultdict(lambda: [0, 0, 0, 0])  # lines run, lines, functions run, functions
    unrun = []
    for entry in files:
        lines = code_lines(entry)
        defs = definitions(entry)
        counts = [sum(1 for l in lines if l["count"] > 0), len(lines),
                  sum(1 for ran, _ in defs.values() if ran), len(defs)]
        for folder in folders(entry["file"]):
            for k in range(4):
                sums[folder][k] += counts[k]
        unrun.extend(unrun_functions(entry, defs))
    width = max(len(k) for k in sums) + 2
    with open(os.path.join(out_dir, "summary.txt"), "w") as f:
        f.write(f'{"folder":<{width}}{"lines run":<24}functions run\n')
        for folder in sorted(sums):
            s = sums[folder]
            f.write(f"{folder:<{width}}{percent(s[0], s[1]):<24}{percent(s[2], s[3])}\n")
    unrun.sort(key=lambda u: (-u[0], u[1]))
    with open(os.path.join(out_dir, "unrun.txt"), "w") as f:
        f.write("unrun lines  where  function\n")
        for size, where, name in unrun:
            f.write(f"{size:>11}  {where}  {name}\n")


if __name__ == "__main__":
    main()
