#!/usr/bin/env python3
"""Non-blank lines of C++ and Python in the repository: the test suite
(everything under tests/) against the rest (code), and their ratio.

    python3 tools/count_lines.py [--by-folder] [ROOT]

Counts *.cpp, *.hpp, *.h and *.py files; skips .git, build directories
(build*), the fuzz corpora (tests/fuzz/corpus, tests/fuzz/crashes) and the
test tooling (tools/mutate.py and this script), which is neither the code
nor its tests.
Python standard library only.
"""

import argparse
import os
import sys

SUFFIXES = (".cpp", ".hpp", ".h", ".py")
SKIPPED_PATHS = {os.path.join("tests", "fuzz", "corpus"), os.path.join("tests", "fuzz", "crashes")}
TEST_TOOLING = {os.path.join("tools", "mutate.py"), os.path.join("tools", "count_lines.py")}


def count(root):
    """{relative path: non-blank lines} of the counted files under root."""
    counts = {}
    for dirpath, dirnames, filenames in os.walk(root):
        rel_dir = os.path.relpath(dirpath, root)
        dirnames[:] = sorted(
            d for d in dirnames
            if d != ".git" and not d.startswith("build") and d != "__pycache__"
            and os.path.normpath(os.path.join(rel_dir, d)) not in SKIPPED_PATHS)
        for name in sorted(filenames):
            if not name.endswith(SUFFIXES) or os.path.normpath(os.path.join(rel_dir, name)) in TEST_TOOLING:
                continue
            path = os.path.join(dirpath, name)
            with open(path, encoding="utf-8", errors="replace") as f:
                counts[os.path.normpath(os.path.join(rel_dir, name))] = sum(1 for line in f if line.strip())
    return counts


def main():
    default_root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("root", nargs="?", default=default_root, help="repository root (default: this one)")
    parser.add_argument("--by-folder", action="store_true", help="also print the count of each top folder")
    args = parser.parse_args()

    counts = count(args.root)
    is_test = lambda rel: rel.split(os.sep)[0] == "tests"
    tests = sum(n for rel, n in counts.items() if is_test(rel))
    code = sum(n for rel, n in counts.items() if not is_test(rel))
    if args.by_folder:
        folders = {}
        for rel, n in counts.items():
            top = rel.split(os.sep)[0] if os.sep in rel else "."
            if top == "tests" and rel.count(os.sep) > 1:
                top = os.path.join("tests", rel.split(os.sep)[1])
            folders[top] = folders.get(top, 0) + n
        for folder in sorted(folders):
            print(f"  {folder:20s} {folders[folder]:7d}")
    print(f"tests  {tests:7d} non-blank lines")
    print(f"code   {code:7d} non-blank lines")
    print(f"ratio  {tests / code:.2f} (tests / code)" if code else "ratio  - (no code)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
