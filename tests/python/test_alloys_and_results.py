"""Mixes with real fractions and quaternaries (against xrayutilities' alloys
of the same binaries), formulas from composition fractions, and what a
fitting program leans on: energy or wavelength, the reflection's geometry,
whole Miller indices, pickling. What is refused is in test_calculator.py."""

import math
import pathlib
import pickle
import re
import shutil

import numpy as np
import pytest

import xrdcalc

CU_KA1 = 1.5405929
HKL = (0, 0, 4)


def test_whole_weights_fractions_and_mappings_agree(calc):
    whole = calc.compute("Ga7In3As", CU_KA1, HKL).values()
    assert calc.compute({"GaAs": 7, "InAs": 3}, CU_KA1, HKL).values() == whole
    for mix in ("Ga0.7In0.3As", {"GaAs": 0.7, "InAs": 0.3}, {"GaAs": np.float32(7.0), "InAs": 3}):
        assert calc.compute(mix, CU_KA1, HKL).values() == pytest.approx(whole, rel=1e-12, abs=0)
    assert xrdcalc.real_fraction_mix("Si0.7Ge.3") == {"Si": 0.7, "Ge": 0.3}  # no partner
    scan = calc.scan_composition("In", "Ga", "As", [1.0, 0.53], HKL, CU_KA1)  # the ends: the pure crystals
    assert scan.values()[0] == pytest.approx(calc.compute("InAs", CU_KA1, HKL).values(), rel=1e-13)
    assert scan.values()[1] == pytest.approx(calc.compute("In53Ga47As", CU_KA1, HKL).values(), rel=1e-13)


@pytest.mark.parametrize("fractions, partner, resolution, formula", [
    ({"In": 0.47, "Ga": 0.53}, "As", 100, "In47Ga53As"),
    ([("Ga", 0.53), ("In", 0.47)], "As", 100, "Ga53In47As"),
    ({"Al": 1 / 3, "Ga": 1 / 3, "In": 1 / 3}, "As", 100, "Al34Ga33In33As"),
    ({"Al": 0.126, "Ga": 0.126, "In": 0.748}, "P", 100, "Al13Ga12In75P"),
    ({"In": 0.474, "Ga": 0.53}, "As", 100, "In47Ga53As"),   # adds up to 1.004
    ({"In": 0.47502, "Ga": 0.52}, "As", 100, "In48Ga52As"),  # 0.99502: the part left goes to In
    ({"Si": 0.5, "Ge": 0.5}, "", 10, "Si5Ge5"),
])
def test_formulas_from_composition_fractions(fractions, partner, resolution, formula):
    assert xrdcalc.composition_formula(fractions, partner, resolution) == formula


@pytest.mark.parametrize("fractions, partner, resolution, message", [
    ({"In": 0.004, "Ga": 0.996}, "As", 100, "In would have weight 0"),
    ({"In": -0.1, "Ga": 1.1}, "As", 100, "at least 0"),
    ({"In": float("nan"), "Ga": 1.0}, "As", 100, "finite"),
    ({"In": 0.47, "Ga": 0.52}, "As", 100, "add up to 0.99"),      # 1/200 is the tolerance
    ({"In": 0.47, "Ga": 0.531}, "As", 1000, "add up to 1.001"),
    ([("Ga", 0.5), ("Ga", 0.5)], "As", 100, "twice"),
    ({"CaF": 1.0}, "", 100, "capital letter"),
    ({"Ga": 1.0}, "As2", 100, "partner"),
    ({"Ga": 1.0}, "As", 0, "resolution"),
    ({}, "As", 100, "no components"),
])
def test_fractions_that_make_no_formula(fractions, partner, resolution, message):
    with pytest.raises(ValueError, match=message):
        xrdcalc.composition_formula(fractions, partner, resolution)


def test_wurtzite_alloys_and_hexagonal_indices(calc):
    whole = calc.compute("Al3Ga7Nw", CU_KA1, (1, 0, 5))
    mix = calc.compute("Al0.3Ga0.7Nw", CU_KA1, (1, 0, -1, 5))
    assert mix.values() == pytest.approx(whole.values(), rel=1e-12)
    assert whole.cell[:3] == pytest.approx((0.3 * 3.112 + 0.7 * 3.189,) * 2 + (0.3 * 4.982 + 0.7 * 5.185,))
    assert whole.cell[3:] == (90.0, 90.0, 120.0)  # shared angles stay exact
    with pytest.raises(xrdcalc.Error, match=r"the cells of GaNw \(hexagonal\) and AlN \(orthogonal\)"):
        calc.compute({"GaNw": 0.5, "AlN": 0.5}, CU_KA1, (0, 0, 2))


def test_composition_is_continuous_in_x(calc):
    xs = np.linspace(0.0, 1.0, 1001)
    scan = calc.scan_composition("Al", "Ga", "As", xs, HKL, CU_KA1)
    assert scan.chi0_real[0] < scan.chi0_real[5] < scan.chi0_real[10]  # x = 0.005 between 0 and 0.01
    for y in (scan.chi0_real, np.abs(scan.chi_plus), scan.a):
        # Vegard's law bends these curves only through 1/V: over one step the
        # slope changes by far less than 1 % (whole hundredths changed it by 100 %).
        assert np.abs(np.diff(y, 2)).max() < 1e-3 * np.abs(np.diff(y)).max()


@pytest.mark.parametrize("mix, cations, anions", [
    ("In0.53Ga0.47As", [("In", 0.53), ("Ga", 0.47)], [("As", 1.0)]),
    (xrdcalc.quaternary("In", "Ga", "As", "P", 0.2, 0.44), [("In", 0.8), ("Ga", 0.2)],
     [("As", 0.44), ("P", 0.56)]),
])
def test_alloys_agree_with_xrayutilities(calc, zincblende, mix, cations, anions):
    r = calc.compute(mix, CU_KA1, HKL)
    crystal = zincblende(cations, anions, r.a)  # the same (Vegard) lattice, no Debye-Waller factor
    chi0 = crystal.chi0(xrdcalc.HC / CU_KA1)
    chih = complex(*crystal.chih(crystal.Q(*HKL), en=xrdcalc.HC / CU_KA1, polarization="S"))
    assert abs(r.chi0 - chi0) / abs(chi0) < 0.005
    assert abs(r.chi_plus) / abs(chih) == pytest.approx(1, abs=0.005)


def test_quaternary_weights_follow_vegards_law():
    q = xrdcalc.quaternary("In", "Ga", "As", "P", 0.2, 0.44)
    assert q == pytest.approx({"InAs": 0.8 * 0.44, "InP": 0.8 * 0.56, "GaAs": 0.2 * 0.44, "GaP": 0.2 * 0.56})
    assert list(q) == ["InAs", "InP", "GaAs", "GaP"]
    assert xrdcalc.three_cations("Al", "Ga", "In", "As", 0.2, 0.3) == pytest.approx(
        {"AlAs": 0.2, "GaAs": 0.3, "InAs": 0.5})
    assert xrdcalc.three_anions("Ga", "As", "Sb", "P", 0.7, 0.3) == pytest.approx(
        {"GaAs": 0.7, "GaSb": 0.3, "GaP": 0.0}, abs=1e-16)


def test_result_geometry_energy_and_pickle(calc, tmp_path):
    r = calc.compute("Si", CU_KA1, HKL)
    assert r.d_spacing == r.a / 4 and r.hkl == (0, 0, 4) and r.wavelength == CU_KA1
    two_theta = 2 * r.bragg_angle_deg
    assert two_theta == pytest.approx(2 * math.degrees(math.asin(CU_KA1 / (2 * r.a / 4))), rel=1e-14)
    assert r.polarisation_factor == pytest.approx(abs(math.cos(math.radians(two_theta))), rel=1e-14)
    assert r.chi0 == complex(r.chi0_real, r.chi0_imag) and r.cell == (r.a, r.a, r.a, 90.0, 90.0, 90.0)
    values = lambda *args, **kwargs: calc.compute("Si", *args, **kwargs).values()
    assert values(CU_KA1, (2, 2, -4, 0)) == values(CU_KA1, (2, 2, 0))
    assert values(hkl=HKL, energy=8047.8) == values(xrdcalc.HC / 8047.8, HKL)
    assert values(np.float64(CU_KA1), np.array(HKL)) == r.values()
    with pytest.warns(xrdcalc.DataWarning) as caught:
        warned = calc.compute("GaAs", xrdcalc.HC / 500000.0, HKL, theta=10.0, scale=2.0)
    assert caught[0].filename == __file__  # points at the caller
    with pytest.warns(xrdcalc.DataWarning, match="element In: energy 500000"):  # a mix warns alike
        calc.compute({"GaAs": 0.5, "InAs": 0.5}, xrdcalc.HC / 500000.0, HKL, theta=10.0)
    state = lambda r: (r.values(), r.warnings, r.math_errors, r.bragg_angle_deg, r.d_spacing, r.hkl, r.cell)
    triclinic = shutil.copytree(pathlib.Path(__file__).resolve().parents[1] / "data" / "Base", tmp_path / "Base")
    (triclinic / "Gat.stf").write_text("test triclinic Ga\n1,1\n4.0,0.1,5.0,6.0,80,95,110\nGa\n1\n0, 0, 0\n")
    gat = xrdcalc.Calculator(triclinic).compute("Gat", CU_KA1, (1, -2, 3))
    assert gat.cell[3:] == (80.0, 95.0, 110.0)
    for result in (r, warned, calc.compute("GaObeta", CU_KA1, (-2, 0, 1)), gat):
        assert state(pickle.loads(pickle.dumps(result))) == state(result)
    scan = calc.scan_composition("In", "Ga", "As", [0.0, 0.5], HKL, energy=8047.8)
    back = pickle.loads(pickle.dumps(scan))
    assert np.array_equal(back.values(), scan.values()) and np.array_equal(back.x, scan.x)
    version = re.search(r"project\(xrdcalc VERSION (\S+)",
                        (pathlib.Path(__file__).resolve().parents[2] / "CMakeLists.txt").read_text()).group(1)
    assert xrdcalc.__version__ == version
