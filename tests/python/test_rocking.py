"""Rocking curves of layer stacks against xrayutilities' DynamicalModel (with
our chi values put into its materials, so that only the diffraction theory
is compared, and with its own), and fits of simulated measurements
(test_cli.py runs both from the command line)."""

import types

import numpy as np
import pytest

import xrdcalc

CU_KA1 = 1.5405929


def crystal(calc, zincblende, formula, cations, anions, hkl=(0, 0, 4)):
    """xrayutilities' crystal of `formula` with our lattice constant and scalar nu."""
    r = calc.compute(formula, CU_KA1, hkl)
    return zincblende(cations, anions, r.a, nu=r.structure_scalar)


def pseudomorphic(xu, substrate, layer=None, thickness_nm=0):
    layers = [xu.simpack.Layer(layer, thickness_nm * 10, relaxation=0.0)] if layer else []
    return xu.simpack.PseudomorphicStack001("s", xu.simpack.Layer(substrate, np.inf), *layers)


def their_curve(xu, stack, wavelength, curve, omega, hkl, polarization="S", **geometry):
    """xrayutilities' reflectivity of `stack` at the angles of our `curve`."""
    model = xu.simpack.DynamicalModel(stack, energy=xu.utilities.lam2en(wavelength), resolution_width=0,
                                      polarization=polarization)
    return model.simulate(curve.substrate_omega_deg + omega / 3600, hkl=hkl, **geometry)


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
def test_algaas_on_gaas_agrees_with_xrayutilities(calc, xu, zincblende, thickness_nm, hkl, grazing,
                                                  tolerance):
    omega = np.arange(-500.0, 150.0, 0.5)
    curve = calc.rocking_curve(xrdcalc.Stack("GaAs", [xrdcalc.Layer("Al3Ga7As", thickness_nm)]), hkl, omega,
                               wavelength=CU_KA1, grazing=grazing)
    stack = pseudomorphic(xu, crystal(calc, zincblende, "GaAs", [("Ga", 1)], [("As", 1)], hkl),
                          crystal(calc, zincblende, "Al3Ga7As", [("Al", 0.3), ("Ga", 0.7)], [("As", 1)], hkl),
                          thickness_nm)
    strained = stack[1].material.lattice
    give_our_chi(stack[0].material, calc.compute("GaAs", CU_KA1, hkl), hkl)
    give_our_chi(stack[1].material, calc.compute("Al3Ga7As", CU_KA1, hkl,
                                                 lattice=(strained.a, strained.b, strained.c)), hkl)
    theirs = their_curve(xu, stack, CU_KA1, curve, omega, hkl,
                         geometry="hi_lo" if grazing == "exit" else "lo_hi")
    assert np.abs(curve.reflectivity - theirs).max() < tolerance


def half_maximum_width(omega, reflectivity):
    above = omega[reflectivity >= reflectivity.max() / 2]
    return above.max() - above.min()


@pytest.mark.parametrize("substrate, energy_ev", [("Si", None), ("GaAs", None), ("GaAs", 17480.0)])
@pytest.mark.parametrize("polarization, xu_polarization", [("sigma", "S"), ("pi", "P")])
def test_bare_substrates_agree_with_xrayutilities_own_values(calc, xu, zincblende, substrate, energy_ev,
                                                             polarization, xu_polarization):
    wavelength = CU_KA1 if energy_ev is None else xrdcalc.HC / energy_ev
    omega = np.arange(-40.0, 40.0, 0.005)
    curve = calc.rocking_curve(xrdcalc.Stack(substrate), (0, 0, 4), omega, wavelength=wavelength,
                               polarization=polarization)
    cation, anion = {"Si": ("Si", "Si"), "GaAs": ("Ga", "As")}[substrate]
    stack = pseudomorphic(xu, crystal(calc, zincblende, substrate, [(cation, 1)], [(anion, 1)]))
    theirs = their_curve(xu, stack, wavelength, curve, omega, (0, 0, 4), xu_polarization)
    width = half_maximum_width(omega, theirs)
    assert half_maximum_width(omega, curve.reflectivity) == pytest.approx(width, rel=0.02)
    assert curve.reflectivity.max() == pytest.approx(theirs.max(), rel=0.02)


@pytest.mark.parametrize("indium", [0.53, 0.56])  # lattice-matched to InP, and 0.2 % larger
def test_ingaas_on_inp_with_xrayutilities_own_values(calc, xu, zincblende, indium):
    omega = np.arange(-400.0, 200.0, 0.5)
    mix = {"InAs": indium, "GaAs": 1 - indium}
    curve = calc.rocking_curve(xrdcalc.Stack("InP", [xrdcalc.Layer(mix, 1000)]), (0, 0, 4), omega,
                               wavelength=CU_KA1)
    stack = pseudomorphic(xu, crystal(calc, zincblende, "InP", [("In", 1)], [("P", 1)]),
                          crystal(calc, zincblende, mix, [("In", indium), ("Ga", 1 - indium)], [("As", 1.0)]),
                          1000)
    theirs = their_curve(xu, stack, CU_KA1, curve, omega, (0, 0, 4))
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
    fine = calc.rocking_curve(stack, (0, 0, 4), omega, wavelength=CU_KA1, resolution_arcsec=0.5)
    assert fine.reflectivity.sum() == pytest.approx(sharp.reflectivity.sum(), rel=2e-3)
    impulse = np.zeros(2001)
    impulse[1000] = 1.0
    response = xrdcalc.gaussian_smoothing(np.arange(2001) * 0.1, impulse, 20.0)
    assert half_maximum_width(np.arange(response.size) * 0.1, response) == pytest.approx(20.0, abs=0.2)
    unpolarised = calc.rocking_curve(stack, (0, 0, 4), omega, energy=xrdcalc.HC / CU_KA1,
                                     polarization="unpolarised")
    pi = calc.rocking_curve(stack, (0, 0, 4), omega, wavelength=CU_KA1, polarization="pi")
    assert np.allclose(unpolarised.reflectivity, (sharp.reflectivity + pi.reflectivity) / 2, rtol=1e-12)


def test_vibration_narrows_a_substrates_curve_as_it_shrinks_chi_h(calc):
    """A thick crystal's Darwin width is proportional to |chi_h|; a uniform B damps chi_h and chi_-h alike,
    by far more than the tolerance."""
    omega, warm = np.arange(-40.0, 40.0, 0.005), {"Ga": 1.5, "As": 1.5}
    curves = [calc.rocking_curve(xrdcalc.Stack("GaAs"), (0, 0, 4), omega, wavelength=CU_KA1, b_factors=b)
              for b in (None, warm)]
    chi_h = [abs(calc.compute("GaAs", CU_KA1, (0, 0, 4), b_factors=b).chi_plus) for b in (None, warm)]
    assert chi_h[1] < 0.9 * chi_h[0]
    widths = [half_maximum_width(omega, curve.reflectivity) for curve in curves]
    assert widths[1] / widths[0] == pytest.approx(chi_h[1] / chi_h[0], rel=0.02)  # absorption: 1 % off


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



def test_fit_of_a_normalised_noise_free_curve_is_exact_at_the_same_temperature(calc):
    """Intensities below 1 are measurements too; the model takes the fit's temperature (without it the warm
    crystals' narrower peaks leave a residual)."""
    omega = np.arange(-1500.0, 300.0, 1.0)
    truth = xrdcalc.Stack("Si", [xrdcalc.Layer({"Ge": 0.2, "Si": 0.8}, 200, relaxation=0.0)])
    measured = calc.rocking_curve(truth, (0, 0, 4), omega, wavelength=CU_KA1, temperature=295).reflectivity + 1e-6
    assert measured.max() < 1
    start = xrdcalc.Stack("Si", [xrdcalc.Layer({"Ge": 0.199, "Si": 0.801}, 200, relaxation=0.0)])
    fit = xrdcalc.fit_rocking_curve(omega, measured, start, (0, 0, 4), {"x[0]": 0.199}, wavelength=CU_KA1,
                                    calculator=calc, temperature=295)
    assert fit.values["x[0]"] == pytest.approx(0.2, abs=1e-6)
    assert fit.result.cost < 1e-10
    assert (fit.values["scale"], fit.values["background"]) == pytest.approx((1.0, 1e-6), rel=1e-4)
    bounded = xrdcalc.fit_rocking_curve(omega, measured, start, (0, 0, 4), {"x[0]": (0.14, 0.1, 0.15)},
                                        wavelength=CU_KA1, calculator=calc, temperature=295)
    assert 0.1 <= bounded.values["x[0]"] <= 0.15 and bounded.result.cost > 1e3 * fit.result.cost


def test_a_reflection_along_the_surface_normal_is_symmetric_and_indices_are_checked(calc):
    """On (1 1 0) the beam enters and leaves 2 2 0 at its Bragg angle."""
    curve = calc.rocking_curve(xrdcalc.Stack("Si", surface=(1, 1, 0)), (2, 2, 0), [0.0], wavelength=CU_KA1)
    bragg_angle_deg = calc.compute("Si", CU_KA1, (2, 2, 0)).bragg_angle_deg
    assert curve.substrate_omega_deg == pytest.approx(bragg_angle_deg, abs=1e-5)
    hexagonal = [calc.rocking_curve(xrdcalc.Stack("GaNw"), hkl, [0.0], wavelength=CU_KA1).reflectivity
                 for hkl in ((0, 0, 2), (0, 0, 0, 2))]  # Miller-Bravais indices too
    assert hexagonal[0] == hexagonal[1]
    with pytest.raises(ValueError, match="whole numbers"):
        calc.rocking_curve(xrdcalc.Stack("Si"), (0, 0, 4.5), [0.0], wavelength=CU_KA1)


def test_fit_uncertainties_match_the_scatter_of_repeated_measurements(calc):
    """Twelve Poisson realisations of one curve: the background's reported uncertainty is the scatter of
    its fitted values (to the 20 % a scatter of twelve is known to); x's and the scale's, which the
    logarithmic residuals weigh differently from counting statistics, are within a factor 2.5 of theirs."""
    omega = np.arange(-1000.0, 500.0, 3.0)
    truth = xrdcalc.Stack("GaAs", [xrdcalc.Layer({"AlAs": 0.3, "GaAs": 0.7}, 500, relaxation=0.0)])
    clean = calc.rocking_curve(truth, (0, 0, 4), omega, wavelength=CU_KA1).reflectivity
    fits = [xrdcalc.fit_rocking_curve(omega, np.random.default_rng(seed).poisson(1e4 * clean + 20.0), truth,
                                      (0, 0, 4), {"x[0]": 0.3}, wavelength=CU_KA1, calculator=calc)
            for seed in range(12)]
    ratio = {name: np.median([f.uncertainties[name] for f in fits]) / np.std([f.values[name] for f in fits], ddof=1)
             for name in ("background", "scale", "x[0]")}
    assert ratio["background"] == pytest.approx(1.0, abs=0.3)
    assert 1 / 2.5 < ratio["scale"] < 2.5 and 1 / 2.5 < ratio["x[0]"] < 2.5
