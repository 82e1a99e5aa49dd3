"""Thermal vibration from Python: the shipped B(T) table against its physics
(zero-point motion, monotone, the classical limit) and Si's measured B,
structure factors against xrayutilities given the same B, and the
temperature damping F in order (test_calculator.py has it reach every scan)."""

import math
import re
import subprocess
import sys
from pathlib import Path

import numpy as np
import pytest

import xrdcalc

CU_KA1 = 1.5405929
ROOT = Path(__file__).resolve().parents[2]
TABLE = ROOT / "Base" / "debye_waller.dat"
_LINES = [line.split() for line in TABLE.read_text().splitlines() if line.strip() and line[0] != "#"]
TEMPERATURES = np.array([float(t) for t in _LINES[0][1:]])
# (structure, element, B at each temperature)
ROWS = [(row[0], row[1], np.array([float(b) for b in row[4:]])) for row in _LINES[1:]]


@pytest.mark.parametrize("structure, element, b", ROWS, ids=lambda v: v if isinstance(v, str) else "")
def test_every_row_has_zero_point_motion_rises_and_tends_to_the_classical_limit(structure, element, b):
    t = TEMPERATURES[: len(b)]
    assert b[0] > 0.05  # the zero-point motion of a light atom in a stiff crystal is still a few hundredths
    assert np.all(np.diff(b) > 0)
    # Classically B grows as T: the slope approaches B/T from below, closer as T rises.
    slope = np.gradient(b, t)
    ratio = slope[1:] * t[1:] / b[1:]
    assert 0.7 < ratio[-1] < 1.0
    assert ratio[-1] > ratio[len(ratio) // 2]


@pytest.mark.parametrize("hkl", [(1, 1, 1), (2, 2, 0), (0, 0, 4)])
def test_silicon_at_295_k_has_its_measured_b(calc, hkl):
    # Flensburg & Stewart, Phys. Rev. B 60, 284 (1999): 0.4632(4) A^2.
    cold = calc.compute("Si", CU_KA1, hkl)
    warm = calc.compute("Si", CU_KA1, hkl, temperature=295)
    s = math.sin(math.radians(cold.bragg_angle_deg)) / CU_KA1
    assert -math.log(abs(warm.f_plus) / abs(cold.f_plus)) / s ** 2 == pytest.approx(0.4632, rel=0.01)
    assert warm.chi0 == cold.chi0 and warm.sum_f2 == cold.sum_f2


def test_f_falls_as_the_temperature_rises_and_given_b_needs_no_table(calc):
    f = np.abs(calc.scan_temperature("GaNw", [0.0, 10.0, 300.0, 650.0], (0, 0, 2), CU_KA1).f_plus)
    assert np.all(np.diff(f) < 0)
    b_factors = {"Ga": 0.66, "As": 0.56}  # GaAs has no row in the table
    given = calc.compute("GaAs", CU_KA1, (0, 0, 4), temperature=300, b_factors=b_factors)
    assert given.values() == calc.compute("GaAs", CU_KA1, (0, 0, 4), b_factors=b_factors).values()


# Room-temperature B (A^2) published for the table's crystals, and how close
# the table must come to the nearer one. SS91: Sears & Shelley, Acta Cryst.
# A47, 441 (1991), measured and calculated at 295 K (as GenL's DB_prefactor.m
# transcribes them); S09: Schowalter et al., Acta Cryst. A65, 227 (2009),
# lattice dynamics at room temperature (two digits, quoted second-hand); GP99:
# Gao & Peng, Acta Cryst. A55, 926 (1999), at 300 K (as the rmsd_parameterization
# README prints them).
PUBLISHED = [
    ("Ge", "Ge", 295, [0.57, 0.61], 0.05), ("Cu", "Cu", 295, [0.57, 0.56], 0.05),  # SS91
    ("Au", "Au", 295, [0.57, 0.62], 0.05), ("Fe", "Fe", 295, [0.35, 0.34], 0.05),  # SS91
    ("Mo", "Mo", 295, [0.25, 0.22], 0.05), ("Al", "Al", 295, [0.86, 0.81], 0.05),  # SS91
    # SS91; the density of states gives 10 % more
    ("Ni", "Ni", 295, [0.37, 0.34], 0.12), ("Ag", "Ag", 295, [0.79, 0.73], 0.12),
    ("ZnS", "Zn", 300, [0.8674], 0.10), ("ZnS", "S", 300, [0.7463], 0.10),  # GP99
    ("GaNw", "Ga", 295, [0.27], 0.15), ("GaNw", "N", 295, [0.29], 0.15),  # S09
    ("AlNw", "Al", 295, [0.25], 0.15), ("AlNw", "N", 295, [0.28], 0.15),  # S09
]


@pytest.mark.parametrize("formula, element, temperature, published, tolerance", PUBLISHED)
def test_room_temperature_b_agrees_with_published_values(formula, element, temperature, published, tolerance):
    b = next(b for structure, el, b in ROWS if structure == formula and el == element)
    ours = np.interp(temperature, TEMPERATURES[: len(b)], b)
    assert min(abs(ours / value - 1) for value in published) < tolerance


@pytest.mark.parametrize("formula", ["Si", "Ge", "C", "GaAs", "InP", "InAs", "AlAs", "GaP", "GaSb", "InSb"])
@pytest.mark.parametrize("hkl", [(1, 1, 1), (0, 0, 4), (2, 2, 0)])
def test_structure_factors_with_given_b_agree_with_xrayutilities(calc, zincblende, formula, hkl):
    cation, anion = (re.findall("[A-Z][a-z]*", formula) * 2)[:2]  # diamond: Si on both sites
    b_factors, still = {cation: 0.45, anion: 0.65 if anion != cation else 0.45}, {cation: 0.0, anion: 0.0}
    r = calc.compute(formula, CU_KA1, hkl, b_factors=b_factors)
    r_still = calc.compute(formula, CU_KA1, hkl, b_factors=still)

    def theirs(b):  # xrayutilities sums exp(-i q.r): our F(-h-k-l)
        crystal = zincblende([(cation, 1)], [(anion, 1)], r.a, b)
        return abs(crystal.StructureFactor(crystal.Q(*hkl), en=xrdcalc.HC / CU_KA1))
    # The damping agrees closely; the values as the tables do (InSb's f1
    # near the In and Sb L edges differs by 0.5 % with or without B).
    damping = abs(r.f_minus) / abs(r_still.f_minus)
    assert damping == pytest.approx(theirs(b_factors) / theirs(still), rel=1e-3)
    assert abs(r.f_minus) == pytest.approx(theirs(b_factors), rel=0.006)


def test_the_table_is_what_its_generator_writes(tmp_path):
    subprocess.run([sys.executable, ROOT / "tools" / "make_debye_waller.py", tmp_path / "dw.dat"], check=True)
    assert (tmp_path / "dw.dat").read_bytes() == TABLE.read_bytes()
