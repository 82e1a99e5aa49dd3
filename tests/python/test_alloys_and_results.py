"""Mixes with real fractions and quaternaries (against xrayutilities' alloys
of the same binaries), and what a fitting program leans on: energy or
wavelength, the reflection's geometry, whole Miller indices, pickling."""

import math
import pathlib
import pickle
import re

import numpy as np
import pytest

import xrdcalc

CU_KA1 = 1.5405929
HKL = (0, 0, 4)


@pytest.fixture(scope="module")
def calc():
    return xrdcalc.Calculator()


def test_whole_weights_fractions_and_mappings_agree(calc):
    whole = calc.compute("Ga7In3As", CU_KA1, HKL).values()
    assert calc.compute({"GaAs": 7, "InAs": 3}, CU_KA1, HKL).values() == whole
    for mix in ("Ga0.7In0.3As", {"GaAs": 0.7, "InAs": 0.3}, {"GaAs": np.float32(7.0), "InAs": 3}):
        assert calc.compute(mix, CU_KA1, HKL).values() == pytest.approx(whole, rel=1e-12, abs=0)
    assert xrdcalc.real_fraction_mix("Si0.7Ge.3") == {"Si": 0.7, "Ge": 0.3}  # no partner


def test_wurtzite_alloys_and_hexagonal_indices(calc):
    whole = calc.compute("Al3Ga7Nw", CU_KA1, (1, 0, 5))
    assert calc.compute("Al0.3Ga0.7Nw", CU_KA1, (1, 0, -1, 5)).values() == pytest.approx(whole.values(), rel=1e-12)
    assert whole.cell == pytest.approx((0.3 * 3.112 + 0.7 * 3.189,) * 2 + (0.3 * 4.982 + 0.7 * 5.185, 90, 90, 120))
    assert whole.cell[3:] == (90.0, 90.0, 120.0)  # shared angles stay exact
    with pytest.raises(xrdcalc.Error, match=r"the cells of GaNw \(hexagonal\) and AlN \(orthogonal\)"):
        calc.compute({"GaNw": 0.5, "AlN": 0.5}, CU_KA1, (0, 0, 2))


def test_scans_of_mixes_hold_each_points_result(calc):
    energies = [8000.0, 9000.0, 10400.0]
    for formula in ("Ga0.7In0.3As", {"GaAs": 0.7, "InAs": 0.3}):
        scan = calc.scan_energy(formula, energies, HKL)
        assert [tuple(v) for v in scan.values()] == [calc.compute(formula, hkl=HKL, energy=e).values() for e in energies]
    with pytest.raises(ValueError, match="as many mixes as wavelengths"):
        calc._mix_scan(["GaAs", "InAs"], np.ones((3, 2)), [1.5, 1.4], HKL, (0, 0, 0), 0.0, 1.0, None)


def test_composition_is_continuous_in_x(calc):
    xs = np.linspace(0.0, 1.0, 1001)
    scan = calc.scan_composition("Al", "Ga", "As", xs, HKL, CU_KA1)
    assert scan.chi0_real[0] < scan.chi0_real[5] < scan.chi0_real[10]  # x = 0.005 between 0 and 0.01
    for y in (scan.chi0_real, np.abs(scan.chi_plus), scan.a):
        # Vegard's law bends these curves only through 1/V: over one step the
        # slope changes by far less than 1 % (whole hundredths changed it by 100 %).
        assert np.abs(np.diff(y, 2)).max() < 1e-3 * np.abs(np.diff(y)).max()


def xrayutilities_zincblende(cations, anions, a):
    """A zincblende crystal of xrayutilities with mixed occupation of the
    cation (4a) and anion (4c) sites, no Debye-Waller factor."""
    xu = pytest.importorskip("xrayutilities")
    sites = [(el, "4a", f) for el, f in cations] + [(el, "4c", f) for el, f in anions]
    lattice = xu.materials.SGLattice(216, a, atoms=[getattr(xu.materials.elements, el) for el, _, _ in sites],
                                     pos=[p for _, p, _ in sites], occ=[f for _, _, f in sites])
    return xu.materials.Crystal("alloy", lattice)


@pytest.mark.parametrize("mix, cations, anions", [
    ("In0.53Ga0.47As", [("In", 0.53), ("Ga", 0.47)], [("As", 1.0)]),
    (xrdcalc.quaternary("In", "Ga", "As", "P", 0.2, 0.44), [("In", 0.8), ("Ga", 0.2)], [("As", 0.44), ("P", 0.56)]),
])
def test_alloys_agree_with_xrayutilities(calc, mix, cations, anions):
    r = calc.compute(mix, CU_KA1, HKL)
    crystal = xrayutilities_zincblende(cations, anions, r.a)  # the same (Vegard) lattice
    energy = xrdcalc.HC / CU_KA1
    chi0 = crystal.chi0(energy)
    chih = complex(*crystal.chih(crystal.Q(*HKL), en=energy, polarization="S"))
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


@pytest.mark.parametrize("make, message", [
    (lambda: xrdcalc.quaternary("In", "Ga", "As", "P", 1.2, 0.5), "x is 1.2"),
    (lambda: xrdcalc.quaternary("In", "Ga", "As", "P", 0.2, math.nan), "y is nan"),
    (lambda: xrdcalc.quaternary("In", "Ga", "as", "P", 0.2, 0.5), "'as' is not an element symbol"),
    (lambda: xrdcalc.three_cations("Al", "Ga", "In", "As", 0.6, 0.5), "x \\+ y is 1.1"),
    (lambda: xrdcalc.real_fraction_mix("Al0.3Ga0.6As"), "add up to 0.9, not 1"),
    (lambda: xrdcalc.real_fraction_mix("Al0.3GaAs"), "component 'Ga' has no fraction"),
    (lambda: xrdcalc.real_fraction_mix("Al0.3-Ga0.7As"), "'-Ga0.7As' is not a component"),
    (lambda: xrdcalc.real_fraction_mix("As"), "no component with a fraction"),
])
def test_alloys_that_cannot_be(make, message):
    with pytest.raises(ValueError, match=message):
        make()


def test_result_geometry_energy_and_pickle(calc):
    r = calc.compute("Si", CU_KA1, HKL)
    assert r.d_spacing == r.a / 4 and r.hkl == (0, 0, 4) and r.wavelength == CU_KA1
    assert r.bragg_angle_deg == pytest.approx(math.degrees(math.asin(CU_KA1 / (2 * r.a / 4))), rel=1e-14)
    assert r.polarisation_factor == pytest.approx(abs(math.cos(math.radians(2 * r.bragg_angle_deg))), rel=1e-14)
    assert r.chi0 == complex(r.chi0_real, r.chi0_imag) and r.cell == (r.a, r.a, r.a, 90.0, 90.0, 90.0)
    assert calc.compute("Si", CU_KA1, (2, 2, -4, 0)).values() == calc.compute("Si", CU_KA1, (2, 2, 0)).values()
    assert calc.compute("Si", hkl=HKL, energy=8047.8).values() == calc.compute("Si", xrdcalc.HC / 8047.8, HKL).values()
    assert calc.compute("Si", np.float64(CU_KA1), np.array(HKL)).values() == r.values()
    with pytest.warns(xrdcalc.DataWarning) as caught:
        warned = calc.compute("GaAs", xrdcalc.HC / 500000.0, HKL, theta=10.0, scale=2.0)
    assert caught[0].filename == __file__  # points at the caller
    monoclinic = calc.compute("GaObeta", CU_KA1, (-2, 0, 1))
    for result in (r, warned, monoclinic):
        back = pickle.loads(pickle.dumps(result))
        assert (back.values(), back.warnings, back.math_errors) == (result.values(), result.warnings,
                                                                     result.math_errors)
        assert (back.bragg_angle_deg, back.d_spacing, back.hkl, back.cell) == (
            result.bragg_angle_deg, result.d_spacing, result.hkl, result.cell)
    scan = calc.scan_composition("In", "Ga", "As", [0.0, 0.5], HKL, energy=8047.8)
    back = pickle.loads(pickle.dumps(scan))
    assert np.array_equal(back.values(), scan.values()) and np.array_equal(back.x, scan.x)
    version = re.search(r"project\(xrdcalc VERSION (\S+)",
                        (pathlib.Path(__file__).resolve().parents[2] / "CMakeLists.txt").read_text()).group(1)
    assert xrdcalc.__version__ == version


@pytest.mark.parametrize("call, error, message", [
    (dict(hkl=(0, 0, 4.5)), ValueError, "whole numbers"),
    (dict(hkl=(0, 0, math.inf)), ValueError, "whole numbers"),
    (dict(hkl=("0", 0, 4)), TypeError, "'0' is not a number"),
    (dict(hkl=(True, 0, 4)), TypeError, "True is not a number"),
    (dict(hkl=(0, 4)), ValueError, "not 2 numbers"),
    (dict(hkl=(1, 1, 1, 0)), ValueError, "i must be -(h + k) = -2"),
    (dict(hkl=4), TypeError, "three whole numbers"),
    (dict(hkl=None), TypeError, "hkl is required"),
    (dict(hkl=HKL, energy=8000.0), TypeError, "one of them"),
    (dict(hkl=HKL, wavelength=None), TypeError, "one of them"),
    (dict(hkl=HKL, wavelength=None, energy=0.0), ValueError, "energy is 0.0 eV"),
    (dict(hkl=HKL, formula={"GaAs": "0.5"}), TypeError, "the weight of 'GaAs' is '0.5'"),
    (dict(hkl=HKL, formula={3: 1.0}), TypeError, "3 is not a name"),
    (dict(hkl=HKL, formula=b"GaAs"), TypeError, "not bytes"),
    (dict(hkl=HKL, formula={}), xrdcalc.Error, "the mix has no components"),
    (dict(hkl=HKL, formula={"GaAs": 1, "InAs": -0.1}), xrdcalc.Error, "weights are finite numbers from 0 on"),
    (dict(hkl=HKL, wavelength=10.0), xrdcalc.Error,
     "the reflection 0 0 4 of GaAs is out of reach at a wavelength of 10 angstrom: its spacing d is 1.41331 "
     "angstrom, and the wavelength must be at most 2d = 2.82662 angstrom"),
])
def test_calls_that_are_refused(calc, call, error, message):
    arguments = dict(formula="GaAs", wavelength=CU_KA1) | call
    with pytest.raises(error, match=re.escape(message)):
        calc.compute(**arguments)
