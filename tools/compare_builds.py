#!/usr/bin/env python3
"""Runs two builds of the program on the same random run descriptions and
reports every run whose exit status, standard error or output.dat differ.

    python3 tools/compare_builds.py BEFORE_EXE AFTER_EXE [--runs 3000] [--seed 1] [--base DIR]
                                    [--expect TEXT]...

Each executable runs from a scratch directory of its own with Base/ (the
shipped one, or --base) beside it, in a working directory of its own, so
that nothing but the build differs. The run descriptions mix what users
write (structures and mixes of Base/, Cu and Mo lines, low and high
reflections, given and derived lattices and angles) with what they should
not (zero, negative and huge numbers, unknown structures, malformed
formulas), so that stops are compared as well as results.
"""

import argparse
import os
import random
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent


def structures(base):
    return sorted(p.stem for p in Path(base).glob("*.stf"))


def formula(rng, names):
    kind = rng.random()
    if kind < 0.4:
        return rng.choice(names)
    if kind < 0.7:  # cation mix with partner
        binaries = [n for n in names if sum(c.isupper() for c in n) == 2]
        partner = rng.choice(["As", "P", "Sb", "N", "Te", "Se", "S"])
        cations = [n[: -len(partner)] for n in binaries if n.endswith(partner) and len(n) > len(partner)]
        if len(cations) >= 1:
            parts = rng.sample(cations, min(len(cations), rng.randint(1, 4)))
            return "".join(f"{c}{rng.randint(0, 99)}" for c in parts) + partner
    if kind < 0.9:  # plain mix of structures named by one element
        singles = [n for n in names if sum(c.isupper() for c in n) == 1]
        parts = rng.sample(singles, min(len(singles), rng.randint(1, 10)))
        return "".join(f"{c}{rng.randint(1, 9)}" for c in parts)
    return rng.choice(["GaAss", "gaas", "Ga0.7In0.3As", "7Ga", "Ga7In3As ", "", "Ga7xIn3As", "A1B1C1D1E1F1G1H1I1J1K1"])


def number(rng, usual):
    r = rng.random()
    if r < 0.85:
        return usual()
    return rng.choice(["0", "-1", "1e300", "1e-300", "nan", "inf", "-0", "0x1p2", "1e400"])


def input_text(rng, names):
    lattice = "0 0 0" if rng.random() < 0.7 else " ".join(
        number(rng, lambda: f"{rng.uniform(3, 7):.5f}") for _ in range(3))
    wavelength = number(rng, lambda: rng.choice(["1.5405929", "0.70931715", "1.0", f"{rng.uniform(0.2, 3):.6f}"]))
    hkl = " ".join(number(rng, lambda: str(rng.randint(-6, 8))) for _ in range(3))
    theta = "0" if rng.random() < 0.7 else number(rng, lambda: f"{rng.uniform(1, 89):.4f}")
    scale = number(rng, lambda: rng.choice(["1", "2", "0.5"]))
    return f"{lattice}\n0 0 0\n{wavelength}\n{hkl}\n{theta}\n{formula(rng, names)}\n{scale}\n"


def install(executable, root, base):
    (root / "bin").mkdir(parents=True)
    (root / "work").mkdir()
    shutil.copy2(executable, root / "bin" / "xrdcalc")
    os.symlink(Path(base).resolve(), root / "bin" / "Base")
    return root / "bin" / "xrdcalc", root / "work"


def run(executable, work, text):
    """Exit status, standard error (the scratch directory's path written as
    <root>) and the bytes of output.dat (None where there is none)."""
    (work / "input.dat").write_text(text)
    output = work / "output.dat"
    if output.exists():
        output.unlink()
    done = subprocess.run([str(executable)], cwd=work, capture_output=True, timeout=30)
    root = str(work.parent).encode()
    return done.returncode, done.stderr.replace(root, b"<root>"), output.read_bytes() if output.exists() else None


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("before")
    parser.add_argument("after")
    parser.add_argument("--runs", type=int, default=3000)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--base", default=str(REPO / "Base"))
    parser.add_argument("--show", type=int, default=10, help="differences shown in full")
    parser.add_argument("--expect", action="append", default=[], metavar="TEXT",
                        help="a difference where the after build's standard error holds TEXT is expected "
                             "(a mended fault); counted apart (repeatable)")
    args = parser.parse_args()
    rng = random.Random(args.seed)
    names = structures(args.base)
    differing = 0
    expected = 0
    with tempfile.TemporaryDirectory(prefix="xrdcalc-compare-") as scratch:
        before = install(args.before, Path(scratch) / "before", args.base)
        after = install(args.after, Path(scratch) / "after", args.base)
        for i in range(args.runs):
            text = input_text(rng, names)
            a, b = run(*before, text), run(*after, text)
            if a != b and any(t.encode() in b[1] for t in args.expect):
                expected += 1
            elif a != b:
                differing += 1
                if differing <= args.show:
                    print(f"run {i}: input {text!r}\n  before: {a[0]} {a[1][:300]!r} {a[2]!r}\n"
                          f"  after:  {b[0]} {b[1][:300]!r} {b[2]!r}")
    print(f"{args.runs} runs, {differing} differ" + (f", {expected} more as expected" if args.expect else ""))
    return 0 if differing == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
