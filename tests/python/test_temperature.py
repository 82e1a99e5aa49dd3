"""Thermal vibration from Python: the shipped B(T) table against its physics
(zero-point motion, monotone, the classical limit) and Si's measured B,
structure factors against xrayutilities given the same B, and the
temperature reaching every scan in order."""

import math
import os
import subprocess
from pathlib import Path

import numpy as np
import pytest

import xrdcalc

CU_KA1 = 1.5405929
TABLE = Path(__file__).resolve().parents[2] / "Base" / "debye_waller.dat"


@pytest.fixture(scope="module")
def calc():
    return xrdcalc.Calculator()


def table_rows():
    lines = [line.split() for line in TABLE.read_text().splitlines() if line.strip() and not line.startswith("#")]
    temperatures = np.array([float(t) for t in lines[0][1:]])
    return temperatures, [(row[0], row[1], np.array([float(b) for b in row[4:]])) for row in lines[1:]]


@pytest.mark.parametrize("structure, element, b", table_rows()[1], ids=lambda v: v if isinstance(v, str) else "")
def test_every_row_has_zero_point_motion_rises_and_tends_to_the_classical_limit(structure, element, b):
    temperatures, _ = table_rows()
    t = temperatures[: len(b)]
    assert b[0] > 0.05  # the zero-point motion of a light atom in a stiff crystal is still a few hundredths
    assert np.all(np.diff(b) > 0)
    # Classically B grows as T: the slope approaches B/T from below, closer as T rises.
    slope = np.gradient(b, t)
    ratio = slope[1:] * t[1:] / b[1:]
    assert 0.7 < ratio[-1] < 1.0
    assert ratio[-1] > ratio[len(ratio) // 2]


def effective_b(calc, formula, hkl, temperature):
    cold = calc.compute(formula, CU_KA1, hkl)
    warm = calc.compute(formula, CU_KA1, hkl, temperature=temperature)
    s = math.sin(math.radians(cold.bragg_angle_deg)) / CU_KA1
    return -math.log(abs(warm.f_plus) / abs(cold.f_plus)) / s ** 2, cold, warm


def test_silicon_at_295_k_has_its_measured_b(calc):
    # Flensburg & Stewart, Phys. Rev. B 60, 284 (1999): 0.4632(4) A^2.
    for hkl in [(1, 1, 1), (2, 2, 0), (0, 0, 4)]:
        b, cold, warm = effective_b(calc, "Si", hkl, 295)
        assert b == pytest.approx(0.4632, rel=0.01)
        assert warm.chi0 == cold.chi0 and warm.sum_f2 == cold.sum_f2


# Room-temperature B (A^2) published for the table's crystals, and how close
# the table must come to the nearer one. SS91: Sears & Shelley, Acta Cryst.
# A47, 441 (1991), measured and calculated at 295 K (as GenL's DB_prefactor.m
# transcribes them); S09: Schowalter et al., Acta Cryst. A65, 227 (2009),
# lattice dynamics at room temperature (two digits, quoted second-hand); GP99:
# Gao & Peng, Acta Cryst. A55, 926 (1999), at 300 K (as the rmsd_parameterization
# README prints them).
PUBLISHED = [
    ("Ge", "Ge", 295, [0.57, 0.61], 0.05),  # SS91
    ("Cu", "Cu", 295, [0.57, 0.56], 0.05),  # SS91
    ("Au", "Au", 295, [0.57, 0.62], 0.05),  # SS91
    ("Fe", "Fe", 295, [0.35, 0.34], 0.05),  # SS91
    ("Mo", "Mo", 295, [0.25, 0.22], 0.05),  # SS91
    ("Al", "Al", 295, [0.86, 0.81], 0.05),  # SS91
    ("Ni", "Ni", 295, [0.37, 0.34], 0.12),  # SS91; the density of states gives 10 % more
    ("Ag", "Ag", 295, [0.79, 0.73], 0.12),  # SS91; the density of states gives 10 % more
    ("ZnS", "Zn", 300, [0.8674], 0.10), ("ZnS", "S", 300, [0.7463], 0.10),  # GP99
    ("GaNw", "Ga", 295, [0.27], 0.15), ("GaNw", "N", 295, [0.29], 0.15),  # S09
    ("AlNw", "Al", 295, [0.25], 0.15), ("AlNw", "N", 295, [0.28], 0.15),  # S09
]


@pytest.mark.parametrize("formula, element, temperature, published, tolerance", PUBLISHED)
def test_room_temperature_b_agrees_with_published_values(formula, element, temperature, published, tolerance):
    temperatures, rows = table_rows()
    b = next(b for structure, el, b in rows if structure == formula and el == element)
    ours = np.interp(temperature, temperatures[: len(b)], b)
    assert min(abs(ours / value - 1) for value in published) < tolerance


ZINCBLENDE = ["GaAs", "InP", "InAs", "AlAs", "GaP", "GaSb", "InSb"]
DIAMOND = ["Si", "Ge", "C"]


def xrayutilities_crystal(xu, formula, a, b_factors):
    elements = xu.materials.elements
    if formula in DIAMOND:
        lattice = xu.materials.SGLattice(227, a, atoms=[getattr(elements, formula)], pos=["8a"],
                                         b=[b_factors[formula]])
    else:
        cation, anion = (formula[:2], formula[2:]) if formula[1].islower() else (formula[:1], formula[1:])
        lattice = xu.materials.SGLattice(216, a, atoms=[getattr(elements, cation), getattr(elements, anion)],
                                         pos=["4a", "4c"], b=[b_factors[cation], b_factors[anion]])
    return xu.materials.Crystal(formula, lattice)


@pytest.mark.parametrize("formula", DIAMOND + ZINCBLENDE)
def test_structure_factors_with_given_b_agree_with_xrayutilities(calc, formula):
    xu = pytest.importorskip("xrayutilities")
    elements = [formula] if formula in DIAMOND else (
        [formula[:2], formula[2:]] if formula[1].islower() else [formula[:1], formula[1:]])
    b_factors = {element: 0.45 + 0.2 * i for i, element in enumerate(elements)}
    still = {element: 0.0 for element in elements}
    for hkl in [(1, 1, 1), (0, 0, 4), (2, 2, 0)]:
        r = calc.compute(formula, CU_KA1, hkl, b_factors=b_factors)
        r_still = calc.compute(formula, CU_KA1, hkl, b_factors=still)
        # xrayutilities sums exp(-i q.r): our F(-h-k-l).
        q = xrayutilities_crystal(xu, formula, r.a, b_factors).Q(*hkl)
        f = xrayutilities_crystal(xu, formula, r.a, b_factors).StructureFactor(q, en=xrdcalc.HC / CU_KA1)
        f_still = xrayutilities_crystal(xu, formula, r.a, still).StructureFactor(q, en=xrdcalc.HC / CU_KA1)
        # The damping agrees closely; the values as the tables do (InSb's f1
        # near the In and Sb L edges differs by 0.5 % with or without B).
        assert abs(r.f_minus) / abs(r_still.f_minus) == pytest.approx(abs(f) / abs(f_still), rel=1e-3), hkl
        assert abs(r.f_minus) == pytest.approx(abs(f), rel=0.006), hkl


def test_scans_carry_the_temperature_point_by_point(calc):
    temperatures = [300.0, 10.0, 650.0, 0.0]
    scan = calc.scan_temperature("GaNw", temperatures, (0, 0, 2), CU_KA1)
    assert scan.values().shape == (4, 16) and list(scan.temperature) == temperatures
    for t, row in zip(temperatures, scan.values()):
        assert tuple(row) == calc.compute("GaNw", CU_KA1, (0, 0, 2), temperature=t).values()
    assert abs(scan.f_plus[2]) < abs(scan.f_plus[0]) < abs(scan.f_plus[1]) < abs(scan.f_plus[3])
    wavelengths = [1.2, 1.5405929]
    by_wavelength = calc.scan_wavelength("Si", wavelengths, (0, 0, 4), temperature=500)
    for w, row in zip(wavelengths, by_wavelength.values()):
        assert tuple(row) == calc.compute("Si", w, (0, 0, 4), temperature=500).values()
    mixed = calc.scan_composition("Al", "Ga", "Nw", [0.0, 0.5], (0, 0, 2), CU_KA1, temperature=300)
    assert tuple(mixed.values()[1]) == calc.compute({"AlNw": 0.5, "GaNw": 0.5}, CU_KA1, (0, 0, 2),
                                                    temperature=300).values()


def test_a_temperature_without_data_or_of_the_wrong_type_is_refused(calc):
    with pytest.raises(xrdcalc.Error, match="has no B for Ga in GaAs"):
        calc.compute("GaAs", CU_KA1, (0, 0, 4), temperature=300)
    given = calc.compute("GaAs", CU_KA1, (0, 0, 4), temperature=300, b_factors={"Ga": 0.66, "As": 0.56})
    assert given.values() == calc.compute("GaAs", CU_KA1, (0, 0, 4), b_factors={"Ga": 0.66, "As": 0.56}).values()
    with pytest.raises(xrdcalc.Error, match="the temperature is -1"):
        calc.compute("Si", CU_KA1, (0, 0, 4), temperature=-1)
    for kwargs, message in [({"temperature": "300"}, "not a number of kelvin"), ({"temperature": True}, "kelvin"),
                            ({"b_factors": [("Si", 0.5)]}, "maps element symbols"),
                            ({"b_factors": {"Si": "0.5"}}, "not a number"), ({"b_factors": {14: 0.5}}, "not a symbol")]:
        with pytest.raises(TypeError, match=message):
            calc.compute("Si", CU_KA1, (0, 0, 4), **kwargs)


def test_the_table_is_what_its_generator_writes_and_the_command_line_applies_it(tmp_path, calc):
    root = Path(__file__).resolve().parents[2]
    subprocess.run(["/usr/bin/python3", str(root / "tools" / "make_debye_waller.py"), str(tmp_path / "dw.dat")],
                   check=True)
    assert (tmp_path / "dw.dat").read_bytes() == TABLE.read_bytes()
    printed = subprocess.run(["/usr/bin/python3", "-m", "xrdcalc", "compute", "Si", "--hkl", "0", "0", "4",
                              "--wavelength", str(CU_KA1), "--temperature", "295"],
                             capture_output=True, text=True, check=True, env=dict(os.environ)).stdout
    f_plus = calc.compute("Si", CU_KA1, (0, 0, 4), temperature=295).f_plus
    assert f"{f_plus.real!r}" in printed
