#!/usr/bin/python3
"""Timing of the Python package: one compute() of Ga7In3As 004 at Cu Ka1, a
1,000-point scan_energy() of GaAs 004, and, as the yardstick in the same run,
xraylib's Python binding on GaAs (F(000), F(004), F(00-4) at 8.04778 keV).

    PYTHONPATH=build/python /usr/bin/python3 bench/python_bench.py [--base Base] [--repeat 7]

Prints the best of --repeat timings of each case (Debian: python3-numpy,
python3-xraylib).
"""

import argparse
import timeit

import numpy as np

import xrdcalc


def best(statement, number, repeat):
    """Best time of one execution of `statement` in seconds."""
    return min(timeit.repeat(statement, number=number, repeat=repeat)) / number


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--base", help="data directory (default: the package's)")
    parser.add_argument("--repeat", type=int, default=7)
    args = parser.parse_args()

    calc = xrdcalc.Calculator(args.base)
    calc.compute("Ga7In3As", 1.5405929, (0, 0, 4))  # reads the data files
    t = best(lambda: calc.compute("Ga7In3As", 1.5405929, (0, 0, 4)), 20000, args.repeat)
    print(f"xrdcalc compute Ga7In3As 004, Cu Ka1:     {t * 1e6:8.2f} us per evaluation (target <= 10)")
    t = best(lambda: calc.compute("GaAs", 1.5405929, (0, 0, 4)), 20000, args.repeat)
    print(f"xrdcalc compute GaAs 004, Cu Ka1:         {t * 1e6:8.2f} us per evaluation")

    energies = np.linspace(10200.0, 10550.0, 1000)
    t = best(lambda: calc.scan_energy("GaAs", energies, (0, 0, 4)), 20, args.repeat)
    print(f"xrdcalc scan_energy GaAs 004, 1000 points: {t * 1e3:7.3f} ms per scan (target <= 5), "
          f"{t * 1e3:.2f} us per point")

    try:
        import xraylib
    except ImportError:
        print("xraylib: not installed (Debian: python3-xraylib)")
        return
    crystal = xraylib.Crystal_GetCrystal("GaAs")
    energy = 8.04778

    def xraylib_job():
        for l in (0, 4, -4):
            xraylib.Crystal_F_H_StructureFactor(crystal, energy, 0, 0, l, 1.0, 1.0)

    t = best(xraylib_job, 5000, args.repeat) / 3
    print(f"xraylib Crystal_F_H_StructureFactor GaAs:  {t * 1e6:8.2f} us per evaluation "
          "(mean of F(000), F(004), F(00-4))")


if __name__ == "__main__":
    main()
