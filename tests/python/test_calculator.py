"""The Python package against the built program and against itself: the same
output.dat text and messages as the program, scans equal to single
computations, errors and warnings as Python exceptions and warnings."""

import os
import shutil
import subprocess
import warnings

import numpy as np
import pytest

import xrdcalc

CU_KA1 = 1.5405929
HKL = (0, 0, 4)


@pytest.fixture(scope="module")
def calc():
    return xrdcalc.Calculator()


@pytest.fixture
def program(tmp_path, calc):
    """A scratch directory with the built program and the data beside it."""
    if not os.environ.get("XRDCALC_EXE"):
        pytest.skip("XRDCALC_EXE (the built program) is not set")
    shutil.copy(os.environ["XRDCALC_EXE"], tmp_path / "xrdcalc")
    (tmp_path / "Base").symlink_to(calc.data_directory)
    return tmp_path


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
        r = xrdcalc.Calculator(program / "Base").compute(formula, wavelength, hkl, lattice=lattice, theta=theta,
                                                          scale=scale)
    status, output, stderr = run_program(program, formula, wavelength, hkl, lattice, theta, scale)
    assert status == 0, stderr
    v = r.values()
    lines = ["%g" % x for x in v[:12]] + ["", "%g" % v[12], "%g" % v[13], "%f" % v[14], "", "%f" % v[15]]
    assert output == "".join(line + "\r\n" for line in lines)
    assert stderr.splitlines() == ["warning: " + w for w in r.warnings]
    assert [str(w.message) for w in caught] == r.warnings
    assert all(w.category is xrdcalc.DataWarning for w in caught)
    assert (r.sum_f1, r.sum_f2, r.f_minus, r.f_plus) == (v[0], v[1], complex(v[2], v[3]), complex(v[4], v[5]))
    assert (r.chi0_real, r.chi0_imag, r.chi_minus, r.chi_plus) == (v[6], v[7], complex(v[8], v[9]),
                                                                   complex(v[10], v[11]))
    assert (r.a, r.b, r.c, r.structure_scalar) == v[12:]


@pytest.mark.parametrize("formula, wavelength, message", [
    ("Ga7xIn3As", CU_KA1, None),
    ("Xy", CU_KA1, "no structure file"),
    ("GaAs", -1.0, "the wavelength \\(value 7\\) is -1; it must be a positive"),
])
def test_orderly_stops_raise_the_programs_message(program, calc, formula, wavelength, message):
    with pytest.raises(xrdcalc.Error, match=message) as raised:
        calc.compute(formula, wavelength, HKL)
    if message is None:
        status, output, stderr = run_program(program, formula, wavelength, HKL)
        assert (status, output, stderr) == (1, None, "xrdcalc: " + str(raised.value) + "\n")
    assert not issubclass(xrdcalc.Error, ValueError)
    with pytest.raises(xrdcalc.Error, match="GaAs.stf: the name holds a NUL byte"):
        xrdcalc.Calculator(calc.data_directory + "\0").compute("GaAs", CU_KA1, HKL)


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


FIELDS = ["sum_f1", "sum_f2", "f_minus", "f_plus", "chi0_real", "chi0_imag", "chi_minus", "chi_plus", "a", "b", "c",
          "structure_scalar"]


def expect_points(scan, singles):
    """Each field of the scan is an array with one element per point, in the points' order, equal to the field
    of that point's single computation."""
    for field in FIELDS:
        column = getattr(scan, field)
        assert column.shape == (len(singles),), field
        assert list(column) == [getattr(single, field) for single in singles], field
    assert [tuple(v) for v in scan.values()] == [single.values() for single in singles]


def test_scans_hold_each_points_results_in_order(calc):
    energies = np.array([10550.0, 10200.0, 10368.0, 10366.0])  # unsorted: the order is kept
    kwargs = dict(lattice=(5.7, 5.8, 5.9), scale=0.5)
    singles = [calc.compute("Ga7In3As", xrdcalc.HC / e, HKL, **kwargs) for e in energies]
    expect_points(calc.scan_energy("Ga7In3As", energies, HKL, **kwargs), singles)
    expect_points(calc.scan_wavelength("Ga7In3As", xrdcalc.HC / energies, HKL, **kwargs), singles)
    with pytest.raises(ValueError):
        calc.scan_energy("GaAs", [8000.0, 0.0], HKL)
    with pytest.raises(xrdcalc.Error, match="reflection 0 0 4 of GaAs is out of reach"):  # 0.5 eV: sin θ > 1
        calc.scan_energy("GaAs", [8000.0, 0.5], HKL)


def test_composition_scan(calc):
    xs = [1.0, 0.0, 0.53, 0.005]
    scan = calc.scan_composition("In", "Ga", "As", xs, HKL, CU_KA1)
    assert list(scan.x) == xs
    expect_points(scan, [calc.compute({"InAs": x, "GaAs": 1 - x}, CU_KA1, HKL) for x in xs])
    assert scan.values()[0] == pytest.approx(calc.compute("InAs", CU_KA1, HKL).values(), rel=1e-13)
    assert scan.values()[2] == pytest.approx(calc.compute("In53Ga47As", CU_KA1, HKL).values(), rel=1e-13)
    assert "GaAs" in calc.structures() and "f1f2" not in calc.structures()
    with pytest.raises(ValueError, match="must lie in"):
        calc.scan_composition("In", "Ga", "As", [1.2], HKL, CU_KA1)


def test_objects_tell_what_they_are(calc):
    assert repr(calc) == f"xrdcalc.Calculator({calc.data_directory!r})"
    r = calc.compute("GaAs", CU_KA1, HKL)
    assert repr(r) == f"<xrdcalc.Result F(hkl)={r.f_plus!r} chi0={r.chi0_real!r}+{r.chi0_imag!r}j>"
    assert repr(calc.scan_energy("GaAs", [9000.0, 9100.0], HKL)) == "<xrdcalc.Scan of 2 points>"
    assert repr(calc.anomalous_factors("Ga", [9000.0])) == "<xrdcalc.AnomalousFactors of Ga at 1 energies>"


def test_element_names_are_exact_symbols(calc):
    assert calc.anomalous_factors("Ga", [10000.0]).f1.shape == (1,)
    for name in ["GaAs", "Gallium", "Ga1", "ga", ""]:
        with pytest.raises(xrdcalc.Error, match="is not an element symbol"):
            calc.anomalous_factors(name, [10000.0])
        with pytest.raises(xrdcalc.Error, match="is not an element symbol"):
            calc.form_factor(name, 0.0)


def replace(path, text):
    """Replaces a data file as tables are meant to be replaced: written beside, renamed into place."""
    (path.parent / "new").write_text(text)
    (path.parent / "new").rename(path)


def test_reload_reads_replaced_tables(calc, tmp_path):
    base = tmp_path / "Base"
    shutil.copytree(calc.data_directory, base)
    mine = xrdcalc.Calculator(base)
    before = mine.compute("Si", CU_KA1, HKL)
    replace(base / "Si.stf", (base / "Si.stf").read_text().replace("5.43102,", "5.5,"))
    assert mine.compute("Si", CU_KA1, HKL).a == before.a == 5.43102  # kept until reload()
    mine.reload()
    assert mine.compute("Si", CU_KA1, HKL).a == 5.5


def test_numbers_read_alike_under_a_decimal_comma_locale(calc, tmp_path):
    """A caller that sets a German locale (decimal comma) gets the same numbers."""
    import locale
    base = tmp_path / "Base"
    shutil.copytree(calc.data_directory, base)
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
