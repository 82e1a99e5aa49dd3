#!/usr/bin/python3
"""Timing of the Python package: one compute() of Ga7In3As 004 at Cu Ka1, a
1,000-point scan_energy() of GaAs 004, a 2001-point rocking curve of a
20-layer AlAs/GaAs stack and a fit of two parameters to 2001 points, and,
as the yardsticks in the same run, xraylib's Python binding on GaAs (F(000),
F(004), F(00-4) at 8.04778 keV) and xrayutilities' DynamicalModel on the
same 20-layer stack.

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

    omega = np.linspace(-3000.0, 1000.0, 2001)
    stack = xrdcalc.Stack("GaAs", xrdcalc.repeat([xrdcalc.Layer("AlAs", 5), xrdcalc.Layer("GaAs", 10)], 10))
    t = best(lambda: calc.rocking_curve(stack, (0, 0, 4), omega, wavelength=1.5405929), 20, args.repeat)
    print(f"xrdcalc rocking_curve, 20 layers, 2001 points: {t * 1e3:7.2f} ms (target <= 5)")
    single = xrdcalc.Stack("GaAs", [xrdcalc.Layer({"AlAs": 0.3, "GaAs": 0.7}, 500)])
    measured = np.random.default_rng(1).poisson(
        1e6 * calc.rocking_curve(single, (0, 0, 4), omega, wavelength=1.5405929).reflectivity + 2.0)
    start = xrdcalc.Stack("GaAs", [xrdcalc.Layer({"AlAs": 0.33, "GaAs": 0.67}, 550)])
    t = best(lambda: xrdcalc.fit_rocking_curve(omega, measured, start, (0, 0, 4),
                                               {"thickness_nm[0]": 550, "x[0]": 0.33}, wavelength=1.5405929,
                                               calculator=calc), 1, 3)
    print(f"xrdcalc fit of 2 parameters to 2001 points:   {t:7.2f} s (target <= 2)")
    try:
        import xrayutilities as xu
        layers = [xu.simpack.Layer(xu.materials.GaAs, float("inf"))]
        for _ in range(10):
            layers += [xu.simpack.Layer(xu.materials.AlAs, 50.0, relaxation=0.0),
                       xu.simpack.Layer(xu.materials.GaAs, 100.0, relaxation=0.0)]
        model = xu.simpack.DynamicalModel(xu.simpack.PseudomorphicStack001("s", *layers),
                                          energy=xu.utilities.lam2en(1.5405929), resolution_width=0)
        angles = 33.0267 + omega / 3600
        t = best(lambda: model.simulate(angles, hkl=(0, 0, 4)), 1, 3)
        print(f"xrayutilities DynamicalModel, same stack:    {t * 1e3:7.2f} ms")
    except ImportError:
        print("xrayutilities: not installed (Debian: python3-xrayutilities)")

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
