"""The Python package against the built program and against itself: same
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


@pytest.fixture(scope="module")
def calc():
    return xrdcalc.Calculator()


@pytest.fixture
def program(tmp_path, calc):
    """A scratch directory with the built program and the data beside it."""
    exe = os.environ.get("XRDCALC_EXE")
    if not exe:
        pytest.skip("XRDCALC_EXE (the built program) is not set")
    shutil.copy(exe, tmp_path / "xrdcalc")
    (tmp_path / "Base").symlink_to(calc.data_directory)
    return tmp_path


def run_program(directory, formula, wavelength, hkl, lattice=(0, 0, 0), theta=0.0, scale=1.0):
    """Runs the program on one input.dat: (exit status, output.dat text or None, stderr)."""
    (directory / "input.dat").write_text(
        "{!r} {!r} {!r}\n0 0 0\n{!r}\n{!r} {!r} {!r}\n{!r}\n{}\n{!r}\n".format(
            *map(float, lattice), float(wavelength), *map(float, hkl), float(theta), formula, float(scale)))
    done = subprocess.run(["./xrdcalc"], cwd=directory, capture_output=True, text=True, timeout=30)
    output = directory / "output.dat"
    return done.returncode, output.read_bytes().decode() if output.exists() else None, done.stderr


def output_text(values):
    """output.dat as the program writes it: %g and %f, CR LF."""
    lines = ["%g" % v for v in values[:12]] + ["", "%g" % values[12], "%g" % values[13], "%f" % values[14],
                                               "", "%f" % values[15]]
    return "".join(line + "\r\n" for line in lines)


@pytest.mark.parametrize("formula, wavelength, hkl, lattice, theta, scale", [
    ("Ga7In3As", CU_KA1, (0, 0, 4), (0, 0, 0), 0.0, 1.0),
    ("Si", CU_KA1, (2, 2, 4), (0, 0, 0), 0.0, 1.0),
    ("InP", 1.2, (1, 1, 3), (5.87, 5.87, 5.9), 0.0, 2.5),
    ("GaAs", CU_KA1, (0, 0, 4), (0, 0, 0), 33.0, 1.0),
    ("GaAs", xrdcalc.HC / 500000.0, (0, 0, 4), (0, 0, 0), 0.0, 1.0),  # beyond the f1f2 table
])
def test_same_output_and_warnings_as_the_program(program, formula, wavelength, hkl, lattice, theta, scale):
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        # Opened where the program finds its data, so that messages name the same files.
        result = xrdcalc.Calculator(program / "Base").compute(formula, wavelength, hkl, lattice=lattice,
                                                               theta=theta, scale=scale)
    status, output, stderr = run_program(program, formula, wavelength, hkl, lattice, theta, scale)
    assert status == 0, stderr
    assert output == output_text(result.values())
    assert stderr.splitlines() == ["warning: " + w for w in result.warnings]
    assert [str(w.message) for w in caught] == result.warnings
    assert all(w.category is xrdcalc.DataWarning for w in caught)


def test_result_fields(calc):
    r = calc.compute("GaAs", CU_KA1, [0, 0, 4], scale=2.0)
    v = r.values()
    assert len(v) == 16
    assert (r.sum_f1, r.sum_f2) == v[:2]
    assert (r.f_minus, r.f_plus) == (complex(v[2], v[3]), complex(v[4], v[5]))
    assert (r.chi0_real, r.chi0_imag) == v[6:8]
    assert (r.chi_minus, r.chi_plus) == (complex(v[8], v[9]), complex(v[10], v[11]))
    assert (r.a, r.b, r.c, r.structure_scalar) == v[12:]
    assert r.warnings == [] and r.math_errors == []
    # The optical constants scale, the structure factors do not.
    r1 = calc.compute("GaAs", CU_KA1, (0, 0, 4))
    assert r.f_plus == r1.f_plus and r.chi_plus == pytest.approx(2 * r1.chi_plus, rel=1e-15)
    assert "GaAs" in calc.structures() and "f1f2" not in calc.structures()


def test_errors_carry_the_programs_message(program, calc):
    with pytest.raises(xrdcalc.Error) as raised:
        calc.compute("Ga0.7In0.3As", CU_KA1, (0, 0, 4))
    status, output, stderr = run_program(program, "Ga0.7In0.3As", CU_KA1, (0, 0, 4))
    assert status == 1 and output is None
    assert stderr == "xrdcalc: " + str(raised.value) + "\n"
    assert not issubclass(xrdcalc.Error, ValueError) and issubclass(xrdcalc.Error, Exception)


@pytest.mark.parametrize("formula, wavelength, message", [
    ("Xy", CU_KA1, 'no structure file'),
    ("GaAs", -1.0, "the wavelength is -1; it must be a positive"),
    ("Ga\nAs", CU_KA1, "line feed"),
])
def test_orderly_stops_raise_error(calc, formula, wavelength, message):
    with pytest.raises(xrdcalc.Error, match=message):
        calc.compute(formula, wavelength, (0, 0, 4))


def test_warnings_once_per_call_and_filters_apply(calc):
    energies = [500000.0, 500000.0, 10000.0, 500000.0]
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        scan = calc.scan_energy("GaAs", energies, (0, 0, 4))
    assert len(scan.warnings) == 2 and len(caught) == 2  # Ga and As, once each
    assert all("extrapolated" in w and "500000" in w for w in scan.warnings)
    assert [str(w.message) for w in caught] == scan.warnings
    assert caught[0].filename == __file__  # points at the caller
    with warnings.catch_warnings():
        warnings.simplefilter("error", xrdcalc.DataWarning)
        with pytest.raises(xrdcalc.DataWarning, match="extrapolated"):
            calc.compute("GaAs", xrdcalc.HC / 500000.0, (0, 0, 4))
    assert calc.compute("Si", CU_KA1, (0, 0, 40)).math_errors[0] == "asin: DOMAIN error"


def test_scans_equal_single_computations(calc):
    energies = np.array([10200.0, 10366.0, 10368.0, 10550.0])
    scan = calc.scan_energy("Ga7In3As", energies, (0, 0, 4), lattice=(5.7, 5.7, 5.8), scale=0.5)
    by_wavelength = calc.scan_wavelength("Ga7In3As", scan.wavelength, (0, 0, 4), lattice=(5.7, 5.7, 5.8), scale=0.5)
    assert scan.values().shape == (4, 16)
    for i, e in enumerate(energies):
        single = calc.compute("Ga7In3As", xrdcalc.HC / e, (0, 0, 4), lattice=(5.7, 5.7, 5.8), scale=0.5)
        assert tuple(scan.values()[i]) == single.values()
        assert tuple(by_wavelength.values()[i]) == single.values()
        assert (scan.f_plus[i], scan.chi_minus[i], scan.chi0_imag[i]) == (
            single.f_plus, single.chi_minus, single.chi0_imag)
    np.testing.assert_array_equal(scan.energy, energies)


def test_composition_scan(calc):
    scan = calc.scan_composition("In", "Ga", "As", [0.0, 0.3, 0.53, 1.0], (0, 0, 4), CU_KA1)
    assert scan.formulas == ["Ga100As", "In30Ga70As", "In53Ga47As", "In100As"]
    for formula, values in zip(scan.formulas, scan.values()):
        assert tuple(values) == calc.compute(formula, CU_KA1, (0, 0, 4)).values()
    # Pure ends are the pure structures.
    assert scan.values()[0] == pytest.approx(calc.compute("GaAs", CU_KA1, (0, 0, 4)).values(), rel=1e-13)
    assert scan.values()[3] == pytest.approx(calc.compute("InAs", CU_KA1, (0, 0, 4)).values(), rel=1e-13)
    with pytest.raises(ValueError):
        calc.scan_composition("In", "Ga", "As", [1.2], (0, 0, 4), CU_KA1)


def test_anomalous_factors_across_the_ga_k_edge(calc):
    energies = np.array([10300.0, 10360.0, 10370.0, 10450.0])
    ga = calc.anomalous_factors("Ga", energies)
    as_ = calc.anomalous_factors("As", energies)
    assert ga.f0 == pytest.approx(31, abs=0.1)
    np.testing.assert_array_equal(ga.f_prime, ga.f1 - ga.f0)
    # f'' jumps at the edge (10367 eV), f' is deepest next to it.
    assert ga.f_double_prime[2] > 5 * ga.f_double_prime[1]
    assert np.argmin(ga.f_prime) in (1, 2) and ga.f_prime.min() < -6
    # The cell of GaAs holds four of each.
    scan = calc.scan_energy("GaAs", energies, (0, 0, 0))
    np.testing.assert_allclose(scan.sum_f1, 4 * (ga.f1 + as_.f1), rtol=1e-12)
    np.testing.assert_allclose(scan.sum_f2, 4 * (ga.f2 + as_.f2), rtol=1e-12)


def test_energies_must_be_positive(calc):
    with pytest.raises(ValueError):
        calc.scan_energy("GaAs", [8000.0, 0.0], (0, 0, 4))
