"""Rocking curves of layer stacks against xrayutilities' DynamicalModel (with
our chi values put into its materials, so that only the diffraction theory
is compared, and with its own), fits of simulated measurements, and the
command line with a TOML stack."""

import csv
import io
import subprocess
import sys
import types

import numpy as np
import pytest

import xrdcalc

CU_KA1 = 1.5405929


@pytest.fixture(scope="module")
def calc():
    return xrdcalc.Calculator()


def xu_crystal(xu, calc, formula, cations, anions, hkl):
    """A zincblende crystal of xrayutilities with our lattice constant and
    our scalar nu as c12 / (c11 + c12)."""
    r = calc.compute(formula, CU_KA1, hkl)
    sites = [(el, "4a", f) for el, f in cations] + [(el, "4c", f) for el, f in anions]
    lattice = xu.materials.SGLattice(216, r.a, atoms=[getattr(xu.materials.elements, e) for e, _, _ in sites],
                                     pos=[p for _, p, _ in sites], occ=[f for _, _, f in sites])
    c11 = 100e9
    c12 = c11 * r.structure_scalar / (1 - r.structure_scalar)
    return xu.materials.Crystal(formula, lattice, xu.materials.CubicElasticTensor(c11, c12, 50e9))


def give_our_chi(material, result, hkl):
    """Makes an xrayutilities material answer with our chi_0 and chi_h
    (chih returns the parts that DynamicalModel assembles as -re + i im)."""
    material.chi0 = types.MethodType(lambda self, en=None: result.chi0, material)

    def chih(self, q, en=None, temp=0, polarization="S"):
        z = result.chi_plus if np.dot(q, self.Q(*hkl)) > 0 else result.chi_minus
        return z.real, z.imag
    material.chih = types.MethodType(chih, material)


@pytest.mark.parametrize("thickness_nm, hkl, grazing, tolerance", [
    (1000, (0, 0, 4), "incidence", 3e-4),
    (200, (0, 0, 4), "incidence", 3e-4),
    # Far from the surface normal xrayutilities solves the four-wave
    # dispersion equation where the two-beam Takagi-Taupin equations drop
    # the specular waves: they differ by about chi_0 / gamma_0^2 there.
    (200, (2, 2, 4), "exit", 1.5e-3),
    (200, (2, 2, 4), "incidence", 6e-3),
])
def test_algaas_on_gaas_agrees_with_xrayutilities(calc, thickness_nm, hkl, grazing, tolerance):
    xu = pytest.importorskip("xrayutilities")
    omega = np.arange(-500.0, 150.0, 0.5)
    curve = calc.rocking_curve(xrdcalc.Stack("GaAs", [xrdcalc.Layer("Al3Ga7As", thickness_nm)]), hkl, omega,
                               wavelength=CU_KA1, grazing=grazing)
    substrate = xu_crystal(xu, calc, "GaAs", [("Ga", 1)], [("As", 1)], hkl)
    layer = xu_crystal(xu, calc, "Al3Ga7As", [("Al", 0.3), ("Ga", 0.7)], [("As", 1)], hkl)
    stack = xu.simpack.PseudomorphicStack001("s", xu.simpack.Layer(substrate, np.inf),
                                             xu.simpack.Layer(layer, thickness_nm * 10, relaxation=0.0))
    strained = stack[1].material.lattice
    give_our_chi(stack[0].material, calc.compute("GaAs", CU_KA1, hkl), hkl)
    give_our_chi(stack[1].material, calc.compute("Al3Ga7As", CU_KA1, hkl,
                                                 lattice=(strained.a, strained.b, strained.c)), hkl)
    model = xu.simpack.DynamicalModel(stack, energy=xu.utilities.lam2en(CU_KA1), resolution_width=0,
                                      polarization="S")
    theirs = model.simulate(curve.substrate_omega_deg + omega / 3600, hkl=hkl,
                            geometry="hi_lo" if grazing == "exit" else "lo_hi")
    assert np.abs(curve.reflectivity - theirs).max() < tolerance


def half_maximum_width(omega, reflectivity):
    above = omega[reflectivity >= reflectivity.max() / 2]
    return above.max() - above.min()


@pytest.mark.parametrize("substrate, energy_ev", [("Si", None), ("GaAs", None), ("GaAs", 17480.0)])
@pytest.mark.parametrize("polarization", ["sigma", "pi"])
def test_bare_substrates_agree_with_xrayutilities_own_values(calc, substrate, energy_ev, polarization):
    xu = pytest.importorskip("xrayutilities")
    wavelength = CU_KA1 if energy_ev is None else xrdcalc.HC / energy_ev
    omega = np.arange(-40.0, 40.0, 0.005)
    curve = calc.rocking_curve(xrdcalc.Stack(substrate), (0, 0, 4), omega, wavelength=wavelength,
                               polarization=polarization)
    cation, anion = {"Si": ("Si", "Si"), "GaAs": ("Ga", "As")}[substrate]  # diamond: both sites Si
    crystal = xu_crystal(xu, calc, substrate, [(cation, 1)], [(anion, 1)], (0, 0, 4))
    model = xu.simpack.DynamicalModel(xu.simpack.PseudomorphicStack001("s", xu.simpack.Layer(crystal, np.inf)),
                                      energy=xu.utilities.lam2en(wavelength), resolution_width=0,
                                      polarization="S" if polarization == "sigma" else "P")
    theirs = model.simulate(curve.substrate_omega_deg + omega / 3600, hkl=(0, 0, 4))
    assert half_maximum_width(omega, curve.reflectivity) == pytest.approx(half_maximum_width(omega, theirs), rel=0.02)
    assert curve.reflectivity.max() == pytest.approx(theirs.max(), rel=0.02)


@pytest.mark.parametrize("indium", [0.53, 0.56])  # lattice-matched to InP, and 0.2 % larger
def test_ingaas_on_inp_with_xrayutilities_own_values(calc, indium):
    xu = pytest.importorskip("xrayutilities")
    omega = np.arange(-400.0, 200.0, 0.5)
    mix = {"InAs": indium, "GaAs": 1 - indium}
    curve = calc.rocking_curve(xrdcalc.Stack("InP", [xrdcalc.Layer(mix, 1000)]), (0, 0, 4), omega,
                               wavelength=CU_KA1)
    substrate = xu_crystal(xu, calc, "InP", [("In", 1)], [("P", 1)], (0, 0, 4))
    r = calc.compute(mix, CU_KA1, (0, 0, 4))
    sites = [("In", "4a", indium), ("Ga", "4a", 1 - indium), ("As", "4c", 1.0)]
    lattice = xu.materials.SGLattice(216, r.a, atoms=[getattr(xu.materials.elements, e) for e, _, _ in sites],
                                     pos=[p for _, p, _ in sites], occ=[f for _, _, f in sites])
    c12 = 100e9 * r.structure_scalar / (1 - r.structure_scalar)
    layer = xu.materials.Crystal("InGaAs", lattice, xu.materials.CubicElasticTensor(100e9, c12, 50e9))
    stack = xu.simpack.PseudomorphicStack001("s", xu.simpack.Layer(substrate, np.inf),
                                             xu.simpack.Layer(layer, 10000, relaxation=0.0))
    model = xu.simpack.DynamicalModel(stack, energy=xu.utilities.lam2en(CU_KA1), resolution_width=0)
    theirs = model.simulate(curve.substrate_omega_deg + omega / 3600, hkl=(0, 0, 4))
    assert abs(omega[np.argmax(curve.reflectivity)] - omega[np.argmax(theirs)]) <= 3.0
    away = omega < -100
    assert abs(omega[away][np.argmax(curve.reflectivity[away])] - omega[away][np.argmax(theirs[away])]) <= 3.0


def test_resolution_keeps_the_integral_and_repeat_builds_superlattices(calc):
    omega = np.arange(-300.0, 300.0, 0.25)
    stack = xrdcalc.Stack("GaAs", xrdcalc.repeat([xrdcalc.Layer("AlAs", 5), xrdcalc.Layer("GaAs", 10)], 3))
    assert [layer.material for layer in stack.layers] == ["AlAs", "GaAs"] * 3
    sharp = calc.rocking_curve(stack, (0, 0, 4), omega, wavelength=CU_KA1)
    broad = calc.rocking_curve(stack, (0, 0, 4), omega, wavelength=CU_KA1, resolution_arcsec=20)
    assert broad.reflectivity.sum() == pytest.approx(sharp.reflectivity.sum(), rel=2e-3)
    assert broad.reflectivity.max() < 0.8 * sharp.reflectivity.max()
    unpolarised = calc.rocking_curve(stack, (0, 0, 4), omega, energy=xrdcalc.HC / CU_KA1, polarization="unpolarised")
    pi = calc.rocking_curve(stack, (0, 0, 4), omega, wavelength=CU_KA1, polarization="pi")
    assert np.allclose(unpolarised.reflectivity, (sharp.reflectivity + pi.reflectivity) / 2, rtol=1e-12)
    with pytest.raises(ValueError, match="equally spaced"):
        calc.rocking_curve(stack, (0, 0, 4), [0.0, 1.0, 3.0], wavelength=CU_KA1, resolution_arcsec=5)
    with pytest.raises(ValueError, match="polarization"):
        calc.rocking_curve(stack, (0, 0, 4), omega, wavelength=CU_KA1, polarization="circular")
    with pytest.raises(xrdcalc.Error, match="relaxation 1"):
        calc.rocking_curve(xrdcalc.Stack("Si", [xrdcalc.Layer("Ge", 10)], surface=(1, 1, 1)), (1, 1, 1), [0.0],
                           wavelength=CU_KA1)
    with pytest.raises(ValueError, match="relaxation"):
        xrdcalc.Layer("AlAs", 5, relaxation=1.5)


def test_fit_recovers_thickness_and_composition(calc):
    omega = np.arange(-1000.0, 500.0, 0.75)
    truth = xrdcalc.Stack("GaAs", [xrdcalc.Layer({"AlAs": 0.3, "GaAs": 0.7}, 500, relaxation=0.0)])
    clean = calc.rocking_curve(truth, (0, 0, 4), omega, wavelength=CU_KA1, resolution_arcsec=5)
    counts = np.random.default_rng(7).poisson(2e5 * clean.reflectivity + 1.0)
    start = xrdcalc.Stack("GaAs", [xrdcalc.Layer({"AlAs": 0.27, "GaAs": 0.73}, 550)])
    fit = xrdcalc.fit_rocking_curve(omega, counts, start, (0, 0, 4), {"thickness_nm[0]": 550, "x[0]": 0.27},
                                    wavelength=CU_KA1, calculator=calc, resolution_arcsec=5)
    assert fit.values["thickness_nm[0]"] == pytest.approx(500, rel=0.01)
    assert fit.values["x[0]"] == pytest.approx(0.3, rel=0.01)
    assert 0 < fit.uncertainties["thickness_nm[0]"] < 5
    assert fit.stack.layers[0].thickness_nm == fit.values["thickness_nm[0]"]
    with pytest.raises(ValueError, match="no free parameter"):
        xrdcalc.fit_rocking_curve(omega, counts, start, (0, 0, 4), {"width[0]": 1}, wavelength=CU_KA1)


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
    done = subprocess.run([sys.executable, "-m", "xrdcalc", "rocking", "--stack", str(tmp_path / "stack.toml"),
                           "--hkl", "0", "0", "4", "--wavelength", str(CU_KA1), "--omega", "-600:200:2",
                           "--plot", str(tmp_path / "curve.png")], capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stderr
    rows = list(csv.DictReader(io.StringIO(done.stdout)))
    stack = xrdcalc.Stack("GaAs", [xrdcalc.Layer("Al0.3Ga0.7As", 200)] +
                          xrdcalc.repeat([xrdcalc.Layer("AlAs", 5), xrdcalc.Layer({"GaAs": 1.0}, 10)], 2))
    curve = calc.rocking_curve(stack, (0, 0, 4), [float(r["omega_arcsec"]) for r in rows], wavelength=CU_KA1)
    assert [float(r["reflectivity"]) for r in rows] == list(curve.reflectivity)
    assert (tmp_path / "curve.png").read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
    (tmp_path / "bad.toml").write_text("substrate = \"GaAs\"\n[[layer]]\nmaterial = \"AlAs\"\n")
    done = subprocess.run([sys.executable, "-m", "xrdcalc", "rocking", "--stack", str(tmp_path / "bad.toml"),
                           "--hkl", "0", "0", "4", "--wavelength", "1.54", "--omega", "-10:10:1"],
                          capture_output=True, text=True, timeout=120)
    assert done.returncode == 1 and "layer 1 has no thickness_nm" in done.stderr


def test_cli_fits_a_measured_curve(calc, tmp_path):
    omega = np.arange(-600.0, 200.0, 1.0)
    truth = xrdcalc.Stack("GaAs", [xrdcalc.Layer({"AlAs": 0.3, "GaAs": 0.7}, 300)])
    counts = np.random.default_rng(3).poisson(1e5 * calc.rocking_curve(truth, (0, 0, 4), omega,
                                                                          wavelength=CU_KA1).reflectivity + 1)
    (tmp_path / "measured.csv").write_text("omega,counts\n" + "".join(f"{o},{c}\n" for o, c in zip(omega, counts)))
    (tmp_path / "stack.toml").write_text('substrate = "GaAs"\n[[layer]]\nmaterial = {AlAs = 0.32, GaAs = 0.68}\n'
                                         'thickness_nm = 320\n')
    done = subprocess.run([sys.executable, "-m", "xrdcalc", "fit", "--stack", str(tmp_path / "stack.toml"),
                           "--data", str(tmp_path / "measured.csv"), "--hkl", "0", "0", "4", "--wavelength",
                           str(CU_KA1), "--free", "thickness_nm[0]", "--free", "x[0]=0.28", "--out",
                           str(tmp_path / "fit.csv"), "--plot", str(tmp_path / "fit.png")],
                          capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stderr
    found = dict(line[2:].split(" = ") for line in done.stdout.splitlines())
    assert float(found["thickness_nm[0]"].split(" +- ")[0]) == pytest.approx(300, rel=0.01)
    assert float(found["x[0]"].split(" +- ")[0]) == pytest.approx(0.3, rel=0.01)
    assert len((tmp_path / "fit.csv").read_text().splitlines()) == len(omega) + 1
    assert (tmp_path / "fit.png").read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
