"""The command line (python3 -m xrdcalc): tables, CSV and figures equal to
the package's own results, its mistakes told plainly; and the README's
Python examples."""

import csv
import io
import pathlib
import re
import subprocess
import sys

import numpy as np
import pytest

import xrdcalc

CU_KA1 = 1.5405929
HKL = (0, 0, 4)
PNG = b"\x89PNG\r\n\x1a\n"


def cli(*args, status=0):
    """Runs `python3 -m xrdcalc ARGS...`, checks its exit status and returns the finished process."""
    done = subprocess.run([sys.executable, "-m", "xrdcalc", *map(str, args)], capture_output=True, text=True,
                          timeout=120)
    assert done.returncode == status, done.stderr
    return done


def columns(text):
    """The columns of a CSV text: {name: [numbers]}."""
    rows = list(csv.DictReader(io.StringIO(text)))
    return {name: [float(row[name]) for row in rows] for name in rows[0]}


@pytest.mark.parametrize("args, formula, at", [
    ("In0.53Ga0.47As --energy 8047.8", {"InAs": 0.53, "GaAs": 0.47}, dict(energy=8047.8)),
    (f"Si --wavelength {CU_KA1} --temperature 295", "Si", dict(wavelength=CU_KA1, temperature=295)),
])
def test_cli_computes_one_point_as_a_table(calc, args, formula, at):
    lines = cli("compute", *args.split(), "--hkl", *HKL).stdout.splitlines()
    table = dict(line.split(None, 1) for line in lines)
    r = calc.compute(formula, hkl=HKL, **at)
    assert list(table)[:7] == ["formula", "hkl", "wavelength_a", "energy_ev", "d_spacing_a",
                               "bragg_angle_deg", "polarisation_factor"]
    assert list(table)[17:19] == ["chi_plus_re", "chi_plus_im"] and len(table) == 7 + 16 + 1
    assert (table["formula"], table["hkl"]) == (args.split()[0], "0 0 4")
    assert [float(v) for v in list(table.values())[2:]] == [
        r.wavelength, xrdcalc.HC / r.wavelength, r.d_spacing, r.bragg_angle_deg, r.polarisation_factor,
        *r.values(), abs(r.chi_plus)]


@pytest.mark.parametrize("args, status, message", [
    ("compute GaAs --energy 8000", 1, "compute needs --hkl H K L"),
    ("compute GaAs --hkl 0 0 4.5 --energy 8000", 2, "a Miller index is a whole number, not '4.5'"),
    ("compute GaAs --hkl 0 0 4 --energy -1", 2, "'-1' is not a positive number"),
    ("compute GaAs --hkl 0 0 4 --wavelength 0", 2, "'0' is not a positive number"),
    ("compute GaAs --hkl 0 0 4 --energy 8000 --wavelength 1", 2, "not allowed with"),
    ("compute GaAs --hkl 0 0 4 --wavelength 10", 1, "out of reach"),
    ("scan --formula GaAs --energy 8000", 1, "--formula needs --hkl H K L"),
    ("scan --composition In Ga --x 0:1:0.5 --energy 8000", 1, "--composition needs --hkl"),
    ("scan --composition In Ga --x 0.5 --hkl 0 0 4 --energy 8000:9000:1000", 1, "needs one --wavelength or one"),
])
def test_cli_mistakes_are_told(args, status, message):
    done = cli(*args.split(), status=status)
    assert message in done.stderr and "Traceback" not in done.stderr and done.stdout == ""


def test_cli_reports_errors_and_warnings(calc):
    done = cli("scan", "--formula", "Ga0.7As", "--hkl", *HKL, "--energy", 8000, status=1)
    assert (done.stderr, done.stdout) == ("xrdcalc: formula 'Ga0.7As': the fractions add up to 0.7, not 1\n",
                                          "")
    assert re.match(r"warning: .*extrapolated", cli("scan", "--element", "Ga", "--energy", 500000).stderr)
    with pytest.warns(xrdcalc.DataWarning):
        assert "extrapolated" in calc.anomalous_factors("Ga", [500000.0]).warnings[0]


def test_cli_ends_quietly_when_its_reader_goes():
    scan = subprocess.Popen([sys.executable, "-m", "xrdcalc", "scan", "--formula", "GaAs", "--hkl", "0", "0",
                             "4", "--energy", "8000:30000:0.5"], stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE)
    scan.stdout.readline()
    scan.stdout.close()  # as head does after its lines
    assert scan.wait(timeout=120) == 1
    assert scan.stderr.read() == b""


def test_cli_scans_write_csv_and_figures(calc, tmp_path):
    cli("scan", "--formula", "GaAs", "--hkl", *HKL, "--energy", "10300:10400:50",
        "--out", tmp_path / "scan.csv", "--plot", tmp_path / "scan.png")
    table = columns((tmp_path / "scan.csv").read_text())
    scan = calc.scan_energy("GaAs", [10300, 10350, 10400], HKL)
    assert (table["energy_ev"], table["abs_chi_h"]) == (list(scan.energy), list(np.abs(scan.chi_plus)))
    table = columns(cli("scan", "--formula", "GaAs", "--hkl", *HKL, "--wavelength", "1.2:1.25:0.05").stdout)
    assert table["chi_plus_re"] == list(calc.scan_wavelength("GaAs", [1.2, 1.25], HKL).chi_plus.real)
    table = columns(cli("scan", "--element", "Ga", "--energy", "10360:10370:10",
                        "--plot", tmp_path / "ga.png").stdout)
    ga = calc.anomalous_factors("Ga", [10360.0, 10370.0])
    assert (table["f_prime"], table["f_double_prime"]) == (list(ga.f1 - ga.f0), list(ga.f2))
    assert ga.f2[1] > 5 * ga.f2[0]  # the Ga K edge at 10367 eV
    assert ga.f0 == pytest.approx(31, abs=0.05)  # f0 at s = 0: nearly Z
    for option, value, wavelength in (("--wavelength", CU_KA1, CU_KA1), ("--energy", 8000, xrdcalc.HC / 8000)):
        table = columns(cli("scan", "--composition", "In", "Ga", "--partner", "As", "--x", "0:1:0.5",
                            "--hkl", *HKL, option, value).stdout)
        scan = calc.scan_composition("In", "Ga", "As", [0.0, 0.5, 1.0], HKL, wavelength)
        assert (table["x"], table["chi0_real"]) == (list(scan.x), list(scan.chi0_real)), option
    assert all((tmp_path / name).read_bytes()[:8] == PNG for name in ("scan.png", "ga.png"))


def test_cli_figures_draw_each_quantity_in_the_panel_its_label_names(calc, monkeypatch, tmp_path, capsys):
    import matplotlib.figure
    from xrdcalc import _cli
    drawn = []
    monkeypatch.setattr(matplotlib.figure.Figure, "savefig", lambda figure, path, **_: drawn.append(figure))
    for what in (["--formula", "GaAs", "--hkl", *map(str, HKL)], ["--element", "Ga"]):
        _cli.main(["scan", *what, "--energy", "10300:10400:50", "--plot", str(tmp_path / "figure.png")])
    (tmp_path / "gaas.toml").write_text('substrate = "GaAs"\n')
    _cli.main(["rocking", "--stack", str(tmp_path / "gaas.toml"), "--hkl", *map(str, HKL), "--wavelength",
               str(CU_KA1), "--omega", "-10:10:10", "--plot", str(tmp_path / "figure.png")])
    energies, omega = [10300.0, 10350.0, 10400.0], [-10.0, 0.0, 10.0]
    scan, ga = calc.scan_energy("GaAs", energies, HKL), calc.anomalous_factors("Ga", energies)
    curve = calc.rocking_curve(xrdcalc.Stack("GaAs"), HKL, omega, wavelength=CU_KA1)
    panels = [{axes.get_ylabel(): [(list(line.get_xdata()), list(line.get_ydata())) for line in axes.lines
                                   if len(line.get_xdata()) == 3] for axes in figure.axes} for figure in drawn]
    assert panels == [{"Re χ0": [(energies, list(scan.chi0_real))], "Im χ0": [(energies, list(scan.chi0_imag))],
                       "|χh|": [(energies, list(np.abs(scan.chi_plus))), (energies, list(np.abs(scan.chi_minus)))]},
                      {"electrons": [(energies, list(ga.f1 - ga.f0)), (energies, list(ga.f2))]},
                      {"reflectivity": [(omega, list(curve.reflectivity))]}]


STACK_TOML = """\
substrate = "GaAs"
[[layer]]
material = "Al0.3Ga0.7As"
thickness_nm = 200
[[layer]]
repeat = 2
layers = [{material = "AlAs", thickness_nm = 5}, {material = {GaAs = 1.0}, thickness_nm = 10}]
"""


def test_cli_simulates_a_toml_stack(calc, tmp_path):
    (tmp_path / "stack.toml").write_text(STACK_TOML)
    (tmp_path / "bad.toml").write_text("substrate = \"GaAs\"\n[[layer]]\nmaterial = \"AlAs\"\n")
    table = columns(cli("rocking", "--stack", tmp_path / "stack.toml", "--hkl", *HKL, "--wavelength", CU_KA1,
                        "--omega", "-600:200:2", "--plot", tmp_path / "curve.png").stdout)
    stack = xrdcalc.Stack("GaAs", [xrdcalc.Layer("Al0.3Ga0.7As", 200)] +
                          xrdcalc.repeat([xrdcalc.Layer("AlAs", 5), xrdcalc.Layer({"GaAs": 1.0}, 10)], 2))
    curve = calc.rocking_curve(stack, HKL, table["omega_arcsec"], wavelength=CU_KA1)
    assert table["reflectivity"] == list(curve.reflectivity)
    assert (tmp_path / "curve.png").read_bytes()[:8] == PNG
    assert "layer 1 has no thickness_nm" in cli("rocking", "--stack", tmp_path / "bad.toml", "--hkl", *HKL,
                                                "--wavelength", 1.54, "--omega", "-10:10:1", status=1).stderr


def test_cli_fits_a_measured_curve(calc, tmp_path):
    omega = np.arange(-600.0, 200.0, 1.0)
    truth = xrdcalc.Stack("GaAs", [xrdcalc.Layer({"AlAs": 0.3, "GaAs": 0.7}, 300)])
    counts = np.random.default_rng(3).poisson(1e5 * calc.rocking_curve(truth, HKL, omega,
                                                                          wavelength=CU_KA1).reflectivity + 1)
    (tmp_path / "measured.csv").write_text("omega,counts\n" + "".join(f"{o},{c}\n" for o, c in
                                                                      zip(omega, counts)))
    (tmp_path / "stack.toml").write_text(
        'substrate = "GaAs"\n[[layer]]\nmaterial = {AlAs = 0.32, GaAs = 0.68}\nthickness_nm = 320\n')
    done = cli("fit", "--stack", tmp_path / "stack.toml", "--data", tmp_path / "measured.csv", "--hkl", *HKL,
               "--wavelength", CU_KA1, "--free", "thickness_nm[0]", "--free", "x[0]=0.28",
               "--out", tmp_path / "fit.csv", "--plot", tmp_path / "fit.png")
    found = {name: float(value.split(" +- ")[0]) for name, value in (line[2:].split(" = ") for line in
                                                                      done.stdout.splitlines())}
    assert found["thickness_nm[0]"] == pytest.approx(300, rel=0.01)
    assert found["x[0]"] == pytest.approx(0.3, rel=0.01)
    assert len((tmp_path / "fit.csv").read_text().splitlines()) == len(omega) + 1
    assert (tmp_path / "fit.png").read_bytes()[:8] == PNG


def test_readme_python_examples_run(capsys):
    readme = (pathlib.Path(__file__).resolve().parents[2] / "README.md").read_text(encoding="utf-8")
    examples = [block.split("```", 1)[0] for block in readme.split("```python\n")[1:]]
    assert len(examples) == 3  # the calculator's, the temperature's and the rocking curves'
    for example in examples:
        exec(compile(example, "README.md", "exec"), {})
    out = capsys.readouterr().out
    assert "In47Ga53As" in out and "[-107." in out  # the AlGaAs layer's strained peak
