"""Formulas from composition fractions, and the command line: CSV and figures."""

import csv
import io
import pathlib
import re
import subprocess
import sys

import numpy as np
import pytest

import xrdcalc
from xrdcalc import composition_formula


@pytest.mark.parametrize("fractions, partner, resolution, formula", [
    ({"In": 0.47, "Ga": 0.53}, "As", 100, "In47Ga53As"),
    ([("Ga", 0.53), ("In", 0.47)], "As", 100, "Ga53In47As"),
    ({"Al": 1 / 3, "Ga": 1 / 3, "In": 1 / 3}, "As", 100, "Al34Ga33In33As"),
    ({"Al": 0.126, "Ga": 0.126, "In": 0.748}, "P", 100, "Al13Ga12In75P"),
    ({"In": 0.474, "Ga": 0.53}, "As", 100, "In47Ga53As"),   # adds up to 1.004
    ({"In": 0.47502, "Ga": 0.52}, "As", 100, "In48Ga52As"),  # 0.99502: the part left goes to In
    ({"Si": 0.5, "Ge": 0.5}, "", 10, "Si5Ge5"),
])
def test_valid_fractions(fractions, partner, resolution, formula):
    assert composition_formula(fractions, partner, resolution) == formula


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
def test_invalid_fractions(fractions, partner, resolution, message):
    with pytest.raises(ValueError, match=message):
        composition_formula(fractions, partner, resolution)


def cli(*args, status=0, command="scan"):
    done = subprocess.run([sys.executable, "-m", "xrdcalc", command, *args], capture_output=True, text=True,
                          timeout=120)
    assert done.returncode == status, done.stderr
    return done


def test_cli_computes_one_point_as_a_table():
    lines = cli("In0.53Ga0.47As", "--hkl", "0", "0", "4", "--energy", "8047.8", command="compute").stdout.splitlines()
    table = dict(line.split(None, 1) for line in lines)
    r = xrdcalc.Calculator().compute({"InAs": 0.53, "GaAs": 0.47}, hkl=(0, 0, 4), energy=8047.8)
    assert list(table)[:7] == ["formula", "hkl", "wavelength_a", "energy_ev", "d_spacing_a", "bragg_angle_deg",
                               "polarisation_factor"]
    assert (table["hkl"], float(table["bragg_angle_deg"]), float(table["chi_plus_im"])) == (
        "0 0 4", r.bragg_angle_deg, r.chi_plus.imag)
    assert float(table["abs_chi_h"]) == abs(r.chi_plus) and len(table) == 7 + 16 + 1


@pytest.mark.parametrize("command, args, message", [
    ("compute", ["GaAs", "--energy", "8000"], "compute needs --hkl H K L"),
    ("compute", ["GaAs", "--hkl", "0", "0", "4.5", "--energy", "8000"], "a Miller index is a whole number, not '4.5'"),
    ("compute", ["GaAs", "--hkl", "0", "0", "4", "--energy", "-1"], "'-1' is not a positive number"),
    ("compute", ["GaAs", "--hkl", "0", "0", "4", "--energy", "8000", "--wavelength", "1"], "not allowed with"),
    ("compute", ["GaAs", "--hkl", "0", "0", "4", "--wavelength", "10"], "out of reach"),
    ("scan", ["--formula", "GaAs", "--energy", "8000"], "--formula needs --hkl H K L"),
    ("scan", ["--composition", "In", "Ga", "--x", "0:1:0.5", "--energy", "8000"], "--composition needs --hkl"),
])
def test_cli_mistakes_are_told(command, args, message):
    done = subprocess.run([sys.executable, "-m", "xrdcalc", command, *args], capture_output=True, text=True,
                          timeout=120)
    assert done.returncode != 0 and message in done.stderr and "Traceback" not in done.stderr


def test_cli_ends_quietly_when_its_reader_goes():
    scan = subprocess.Popen([sys.executable, "-m", "xrdcalc", "scan", "--formula", "GaAs", "--hkl", "0", "0", "4",
                             "--energy", "8000:30000:0.5"], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    scan.stdout.readline()
    scan.stdout.close()  # as head does after its lines
    assert scan.wait(timeout=120) == 1
    assert scan.stderr.read() == b""


def test_cli_scans_write_csv_and_figures(tmp_path):
    cli("--formula", "GaAs", "--hkl", "0", "0", "4", "--energy", "10300:10400:50",
        "--out", str(tmp_path / "scan.csv"), "--plot", str(tmp_path / "scan.png"))
    rows = list(csv.DictReader(open(tmp_path / "scan.csv")))
    scan = xrdcalc.Calculator().scan_energy("GaAs", [10300.0, 10350.0, 10400.0], (0, 0, 4))
    assert [float(r["energy_ev"]) for r in rows] == list(scan.energy)
    assert [float(r["abs_chi_h"]) for r in rows] == list(np.abs(scan.chi_plus))
    assert (tmp_path / "scan.png").read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
    rows = list(csv.DictReader(io.StringIO(cli("--formula", "GaAs", "--hkl", "0", "0", "4", "--wavelength",
                                               "1.2:1.25:0.05").stdout)))
    scan = xrdcalc.Calculator().scan_wavelength("GaAs", [1.2, 1.25], (0, 0, 4))
    assert [float(r["chi_plus_re"]) for r in rows] == list(scan.chi_plus.real)
    rows = list(csv.DictReader(io.StringIO(cli("--element", "Ga", "--energy", "10360:10370:10",
                                               "--plot", str(tmp_path / "ga.png")).stdout)))
    assert (tmp_path / "ga.png").read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
    ga = xrdcalc.Calculator().anomalous_factors("Ga", [10360.0, 10370.0])
    assert [(float(r["f_prime"]), float(r["f_double_prime"])) for r in rows] == list(zip(ga.f1 - ga.f0, ga.f2))
    assert ga.f2[1] > 5 * ga.f2[0]  # the Ga K edge at 10367 eV
    assert ga.f0 == pytest.approx(31, abs=0.05)  # f0 at s = 0: nearly Z
    out = cli("--composition", "In", "Ga", "--partner", "As", "--x", "0:1:0.5", "--hkl", "0", "0", "4",
              "--wavelength", "1.5405929").stdout
    scan = xrdcalc.Calculator().scan_composition("In", "Ga", "As", [0.0, 0.5, 1.0], (0, 0, 4), 1.5405929)
    assert [(float(r["x"]), float(r["chi0_real"])) for r in csv.DictReader(io.StringIO(out))] == list(
        zip(scan.x, scan.chi0_real))


def test_cli_reports_errors_and_warnings():
    done = cli("--formula", "Ga0.7As", "--hkl", "0", "0", "4", "--energy", "8000", status=1)
    assert done.stderr == "xrdcalc: formula 'Ga0.7As': the fractions add up to 0.7, not 1\n" and done.stdout == ""
    assert re.match(r"warning: .*extrapolated", cli("--element", "Ga", "--energy", "500000").stderr)
    with pytest.warns(xrdcalc.DataWarning):
        assert "extrapolated" in xrdcalc.Calculator().anomalous_factors("Ga", [500000.0]).warnings[0]


def test_readme_python_examples_run(capsys):
    readme = (pathlib.Path(__file__).resolve().parents[2] / "README.md").read_text(encoding="utf-8")
    examples = [block.split("```", 1)[0] for block in readme.split("```python\n")[1:]]
    assert len(examples) == 3  # the calculator's, the temperature's and the rocking curves'
    for example in examples:
        exec(compile(example, "README.md", "exec"), {})
    out = capsys.readouterr().out
    assert "In47Ga53As" in out and "[-107." in out  # the AlGaAs layer's strained peak
