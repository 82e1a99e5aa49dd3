"""The Python package against the built program and against itself: the same
output.dat text and messages as the program, scans equal to single
computations, errors and warnings as Python exceptions and warnings."""

import locale
import math
import os
import pathlib
import re
import shutil
import subprocess
import warnings

import numpy as np
import pytest

import xrdcalc

CU_KA1 = 1.5405929
HKL = (0, 0, 4)


@pytest.fixture
def program(tmp_path, calc):
    """A scratch directory with the built program and the data beside it."""
    if not os.environ.get("XRDCALC_EXE"):
        pytest.skip("XRDCALC_EXE (the built program) is not set")
    shutil.copy(os.environ["XRDCALC_EXE"], tmp_path / "xrdcalc")
    (tmp_path / "Base").symlink_to(calc.data_directory)
    return tmp_path


# The fields of a result in output.dat's order; each complex one stands for two numbers.
FIELDS = ["sum_f1", "sum_f2", "f_minus", "f_plus", "chi0_real", "chi0_imag", "chi_minus", "chi_plus", "a",
          "b", "c", "structure_scalar"]


def run_program(directory, formula, wavelength, hkl, lattice=(0, 0, 0), theta=0.0, scale=1.0):
    """(exit status, output.dat text or None, stderr) of one run."""
    numbers = " ".join(repr(float(v)) for v in (*lattice, 0, 0, 0, wavelength, *hkl, theta))
    (directory / "input.dat").write_text(f"{numbers}\n{formula}\n{float(scale)!r}\n")
    done = subprocess.run(["./xrdcalc"], cwd=directory, capture_output=True, text=True, timeout=30)
    output = directory / "output.dat"
    return done.returncode, output.read_bytes().decode() if output.exists() else None, done.stderr


@pytest.mark.parametrize("formula, wavelength, hkl, lattice, theta, scale", [
    ("InP", 1.2, (1, 2, 3), (5.87, 5.87, 5.9), 0.0, 2.5),
    ("Ga7In3As", xrdcalc.HC / 500000.0, HKL, (0, 0, 0), 33.0, 1.0),  # beyond the f1f2 table: warnings
    ("Al3Ga7Nw", CU_KA1, (1, 0, 5), (0, 0, 0), 0.0, 1.0),  # hexagonal cells
])
def test_same_output_and_warnings_as_the_program(program, formula, wavelength, hkl, lattice, theta, scale):
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        # Opened where the program finds its data, so that messages name the same files.
        r = xrdcalc.Calculator(program / "Base").compute(formula, wavelength, hkl, lattice, theta, scale)
    status, output, stderr = run_program(program, formula, wavelength, hkl, lattice, theta, scale)
    assert status == 0, stderr
    v = r.values()
    lines = ["%g" % x for x in v[:12]] + ["", "%g" % v[12], "%g" % v[13], "%f" % v[14], "", "%f" % v[15]]
    assert output == "".join(line + "\r\n" for line in lines)
    assert stderr.splitlines() == ["warning: " + w for w in r.warnings]
    assert [str(w.message) for w in caught] == r.warnings
    assert all(w.category is xrdcalc.DataWarning for w in caught)
    assert [getattr(r, field) for field in FIELDS] == [*v[:2], complex(*v[2:4]), complex(*v[4:6]), *v[6:8],
                                                       complex(*v[8:10]), complex(*v[10:12]), *v[12:]]


def test_an_orderly_stop_raises_the_programs_message(program, calc):
    with pytest.raises(xrdcalc.Error) as raised:
        calc.compute("Ga7xIn3As", CU_KA1, HKL)
    assert run_program(program, "Ga7xIn3As", CU_KA1, HKL) == (1, None, "xrdcalc: " + str(raised.value) + "\n")
    assert not issubclass(xrdcalc.Error, ValueError)


def compute(**call):
    """compute() of GaAs, 0 0 4 at Cu K-alpha 1 with the arguments in `call` instead."""
    return lambda c: c.compute(**(dict(formula="GaAs", wavelength=CU_KA1, hkl=HKL) | call))


NOT_SYMBOLS = ["GaAs", "Gallium", "Ga1", "ga", ""]
OMEGA, GAAS = np.arange(-10.0, 10.0, 0.5), xrdcalc.Stack("GaAs", [xrdcalc.Layer("AlAs", 5)])


@pytest.mark.parametrize("call, error, message", [
    *[(compute(hkl=hkl), ValueError, "whole numbers") for hkl in [(0, 0, 4.5), (0, 0, math.inf)]],
    (compute(hkl=("0", 0, 4)), TypeError, "'0' is not a number"),
    (compute(hkl=(True, 0, 4)), TypeError, "True is not a number"),
    (compute(hkl=(0, 4)), ValueError, "not 2 numbers"),
    (compute(hkl=(1, 1, 1, 0)), ValueError, "i must be -(h + k) = -2"),
    (compute(hkl=4), TypeError, "three whole numbers"),
    (compute(hkl=None), TypeError, "hkl is required"),
    *[(compute(**call), TypeError, "one of them") for call in [dict(energy=8000.0), dict(wavelength=None)]],
    (compute(wavelength=None, energy=0.0), ValueError, "energy is 0.0 eV"),
    (compute(wavelength=-1.0), xrdcalc.Error, "the wavelength (value 7) is -1; it must be a positive"),
    (compute(formula="Xy"), xrdcalc.Error, "no structure file"),
    (compute(formula={"GaAs": "0.5"}), TypeError, "the weight of 'GaAs' is '0.5'"),
    (compute(formula={3: 1.0}), TypeError, "3 is not a name"),
    (compute(formula=b"GaAs"), TypeError, "not bytes"),
    (compute(formula={}), xrdcalc.Error, "the mix has no components"),
    (compute(formula={"GaAs": 1, "InAs": -0.1}), xrdcalc.Error, "weights are finite numbers from 0 on"),
    (compute(wavelength=10.0), xrdcalc.Error,
     "the reflection 0 0 4 of GaAs is out of reach at a wavelength of 10 angstrom: its spacing d is 1.41331 "
     "angstrom, and the wavelength must be at most 2d = 2.82662 angstrom"),
    (lambda c: xrdcalc.Calculator(c.data_directory + "\0").compute("GaAs", CU_KA1, HKL), xrdcalc.Error,
     "GaAs.stf: the name holds a NUL byte"),
    # Thermal vibration: a table without the crystal, a temperature or B of the wrong value or type.
    (compute(temperature=300), xrdcalc.Error, "has no B for Ga in GaAs"),
    (compute(formula="Si", temperature=-1), xrdcalc.Error, "the temperature is -1"),
    (compute(formula="Si", temperature="300"), TypeError, "not a number of kelvin"),
    (compute(formula="Si", temperature=True), TypeError, "kelvin"),
    (compute(formula="Si", b_factors=[("Si", 0.5)]), TypeError, "maps element symbols"),
    (compute(formula="Si", b_factors={"Si": "0.5"}), TypeError, "not a number"),
    (compute(formula="Si", b_factors={14: 0.5}), TypeError, "not a symbol"),
    # Scans and element tables.
    (lambda c: c.scan_energy("GaAs", [8000.0, 0.0], HKL), ValueError, "the energies must be positive"),
    (lambda c: c.scan_energy("GaAs", [8000.0, 0.5], HKL), xrdcalc.Error,  # 0.5 eV: sin θ > 1
     "reflection 0 0 4 of GaAs is out of reach"),
    (lambda c: c.scan_composition("In", "Ga", "As", [1.2], HKL, CU_KA1), ValueError, "must lie in"),
    (lambda c: c._mix_scan(["GaAs", "InAs"], np.ones((3, 2)), [1.5, 1.4], HKL, (0, 0, 0), 0.0, 1.0, None),
     ValueError, "as many mixes as wavelengths"),
    *[(lambda c, n=n: c.anomalous_factors(n, [10000.0]), xrdcalc.Error, "is not an element symbol")
      for n in NOT_SYMBOLS],
    *[(lambda c, n=n: c.form_factor(n, 0.0), xrdcalc.Error, "is not an element symbol") for n in NOT_SYMBOLS],
    # Mixes of real fractions and quaternaries.
    (lambda c: xrdcalc.quaternary("In", "Ga", "As", "P", 1.2, 0.5), ValueError, "x is 1.2"),
    (lambda c: xrdcalc.quaternary("In", "Ga", "As", "P", 0.2, math.nan), ValueError, "y is nan"),
    (lambda c: xrdcalc.quaternary("In", "Ga", "as", "P", 0.2, 0.5), ValueError,
     "'as' is not an element symbol"),
    (lambda c: xrdcalc.three_cations("Al", "Ga", "In", "As", 0.6, 0.5), ValueError, "x + y is 1.1"),
    (lambda c: xrdcalc.real_fraction_mix("Al0.3Ga0.6As"), ValueError, "add up to 0.9, not 1"),
    (lambda c: xrdcalc.real_fraction_mix("Al0.3Ga0.6999As"), ValueError, "add up to 0.9999, not 1"),
    (lambda c: xrdcalc.real_fraction_mix("Al0.3GaAs"), ValueError, "component 'Ga' has no fraction"),
    (lambda c: xrdcalc.real_fraction_mix("Al0.3-Ga0.7As"), ValueError, "'-Ga0.7As' is not a component"),
    (lambda c: xrdcalc.real_fraction_mix("As"), ValueError, "no component with a fraction"),
    # Rocking curves and fits.
    (lambda c: c.rocking_curve(GAAS, HKL, [0.0, 1.0, 3.0], wavelength=CU_KA1, resolution_arcsec=5),
     ValueError, "equally spaced"),
    (lambda c: c.rocking_curve(GAAS, HKL, OMEGA, wavelength=CU_KA1, polarization="circular"), ValueError,
     "polarization"),
    (lambda c: c.rocking_curve(xrdcalc.Stack("Si", [xrdcalc.Layer("Ge", 10)], surface=(1, 1, 1)), (1, 1, 1),
                               [0.0], wavelength=CU_KA1), xrdcalc.Error, "relaxation 1"),
    (lambda c: xrdcalc.Layer("AlAs", 5, relaxation=1.5), ValueError, "relaxation"),
    (lambda c: xrdcalc.fit_rocking_curve(OMEGA, OMEGA ** 2, GAAS, HKL, {"width[0]": 1}, wavelength=CU_KA1),
     ValueError, "no free parameter"),
])
def test_calls_that_are_refused(calc, call, error, message):
    with pytest.raises(error, match=re.escape(message)):
        call(calc)


def test_warnings_once_per_call_and_filters_apply(calc):
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        scan = calc.scan_energy("GaAs", [500000.0, 500000.0, 10000.0, 500000.0], HKL)
        calc.scan_wavelength("GaAs", [xrdcalc.HC / 500000.0], HKL)
    assert len(scan.warnings) == 2 and all("extrapolated" in w and "500000" in w for w in scan.warnings)
    assert [str(w.message) for w in caught] == scan.warnings * 2  # Ga and As, once each per call
    assert caught[0].filename == __file__  # points at the caller
    with warnings.catch_warnings():
        warnings.simplefilter("error", xrdcalc.DataWarning)
        with pytest.raises(xrdcalc.DataWarning, match="extrapolated"):
            calc.compute("GaAs", xrdcalc.HC / 500000.0, HKL)


ENERGIES = [10550.0, 10200.0, 10368.0, 10366.0]  # unsorted: the order is kept
CELL, AT_300_K = dict(lattice=(5.7, 5.8, 5.9), scale=0.5), dict(temperature=300)
MAPPING, GA_AS_B = {"GaAs": 0.7, "InAs": 0.3}, {"Ga": 0.66, "As": 0.56}


@pytest.mark.parametrize("axis, points, scan, single", [
    ("energy", ENERGIES, lambda c, p: c.scan_energy("Ga7In3As", p, HKL, **CELL),
     lambda c, e: c.compute("Ga7In3As", xrdcalc.HC / e, HKL, **CELL)),
    ("wavelength", [xrdcalc.HC / e for e in ENERGIES],
     lambda c, p: c.scan_wavelength("Ga7In3As", p, HKL, **CELL),
     lambda c, w: c.compute("Ga7In3As", w, HKL, **CELL)),
    ("x", [1.0, 0.0, 0.53, 0.005], lambda c, p: c.scan_composition("In", "Ga", "As", p, HKL, CU_KA1),
     lambda c, x: c.compute({"InAs": x, "GaAs": 1 - x}, CU_KA1, HKL)),
    *[("energy", [8000.0, 9000.0, 10400.0], lambda c, p, m=mix: c.scan_energy(m, p, HKL),
       lambda c, e, m=mix: c.compute(m, hkl=HKL, energy=e)) for mix in ("Ga0.7In0.3As", MAPPING)],
    # The temperature reaches every point.
    ("temperature", [300.0, 10.0, 650.0, 0.0], lambda c, p: c.scan_temperature("GaNw", p, (0, 0, 2), energy=8000),
     lambda c, t: c.compute("GaNw", hkl=(0, 0, 2), energy=8000, temperature=t)),
    ("wavelength", [1.2, CU_KA1], lambda c, p: c.scan_wavelength("Si", p, HKL, temperature=500),
     lambda c, w: c.compute("Si", w, HKL, temperature=500)),
    ("temperature", [0.0, 300.0], lambda c, p: c.scan_temperature("GaAs", p, HKL, CU_KA1, b_factors=GA_AS_B),
     lambda c, t: c.compute("GaAs", CU_KA1, HKL, temperature=t, b_factors=GA_AS_B)),  # GaAs: not in the table
    ("x", [0.0, 0.5], lambda c, p: c.scan_composition("Al", "Ga", "Nw", p, (0, 0, 2), CU_KA1, **AT_300_K),
     lambda c, x: c.compute({"AlNw": x, "GaNw": 1 - x}, CU_KA1, (0, 0, 2), **AT_300_K)),
])
def test_scans_hold_each_points_result_in_order(calc, axis, points, scan, single):
    """Each field is an array of one element per point, in the points' order, equal to that point's field."""
    scanned, singles = scan(calc, points), [single(calc, p) for p in points]
    assert list(getattr(scanned, axis)) == points
    for field in FIELDS:
        column = getattr(scanned, field)
        assert column.shape == (len(points),) and list(column) == [getattr(s, field) for s in singles], field
    assert [tuple(v) for v in scanned.values()] == [s.values() for s in singles]
    assert scanned.math_errors == [e for s in singles for e in s.math_errors]


def test_objects_tell_what_they_are(calc):
    assert repr(calc) == f"xrdcalc.Calculator({calc.data_directory!r})"
    assert "GaAs" in calc.structures() and "f1f2" not in calc.structures()
    r = calc.compute("GaAs", CU_KA1, HKL)
    assert repr(r) == f"<xrdcalc.Result F(hkl)={r.f_plus!r} chi0={r.chi0_real!r}+{r.chi0_imag!r}j>"
    assert repr(calc.scan_energy("GaAs", [9000.0, 9100.0], HKL)) == "<xrdcalc.Scan of 2 points>"
    assert repr(calc.anomalous_factors("Ga", [9000.0])) == "<xrdcalc.AnomalousFactors of Ga at 1 energies>"


def test_anomalous_factors_are_the_tables_rows_interpolated():
    """Halfway between the test table's Ga rows at 10367 and 15000 eV (f1 26 and 30, f2 3.8 and 2.0)."""
    ga = xrdcalc.Calculator(pathlib.Path(__file__).resolve().parents[1] / "data" / "Base").anomalous_factors(
        "Ga", [12683.5])
    assert (ga.f0, *ga.f1, *ga.f2, *ga.f_prime) == pytest.approx((31.0, 28.0, 2.9, -3.0), abs=1e-12)


@pytest.fixture
def base(calc, tmp_path):
    """A copy of the data directory."""
    shutil.copytree(calc.data_directory, tmp_path / "Base")
    return tmp_path / "Base"


def test_reload_reads_replaced_tables(base):
    mine = xrdcalc.Calculator(base)
    before = mine.compute("Si", CU_KA1, HKL)
    # Replaced as tables are meant to be replaced: written beside, renamed into place.
    (base / "new").write_text((base / "Si.stf").read_text().replace("5.43102,", "5.5,"))
    (base / "new").rename(base / "Si.stf")
    assert mine.compute("Si", CU_KA1, HKL).a == before.a == 5.43102  # kept until reload()
    mine.reload()
    assert mine.compute("Si", CU_KA1, HKL).a == 5.5


def test_numbers_read_alike_under_a_decimal_comma_locale(base, tmp_path):
    """A caller that sets a German locale (decimal comma) gets the same numbers."""
    # A lattice constant in hexadecimal: read by the C library's conversion.
    (base / "SiHex.stf").write_text((base / "Si.stf").read_text().replace("5.43102,", "0x1.5b9cp+2,"))
    in_c = xrdcalc.Calculator(base).compute("SiHex", CU_KA1, HKL).values()
    subprocess.run(["localedef", "-i", "de_DE", "-f", "UTF-8", str(tmp_path / "de_DE.UTF-8")], check=True)
    os.environ["LOCPATH"] = str(tmp_path)
    try:
        locale.setlocale(locale.LC_ALL, "de_DE.UTF-8")
        assert locale.localeconv()["decimal_point"] == ","
        assert xrdcalc.Calculator(base).compute("SiHex", CU_KA1, HKL).values() == in_c
        assert in_c[12] == float.fromhex("0x1.5b9cp+2")
    finally:
        locale.setlocale(locale.LC_ALL, "C")
        del os.environ["LOCPATH"]
