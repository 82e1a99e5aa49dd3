"""Rocking curves of layer stacks, simulated by the library's dynamical
diffraction (the recursive solution of the Takagi-Taupin equations, after
Bartels, Hornstra & Lobeek, Acta Cryst. A 42 (1986) 539), and fitted to
measured curves with scipy.

    stack = Stack("GaAs", [Layer("Al0.3Ga0.7As", 200)])
    curve = calc.rocking_curve(stack, (0, 0, 4), np.arange(-600, 200, 0.5), wavelength=1.5405929)
    curve.omega_arcsec, curve.reflectivity, curve.layer_peaks_arcsec
"""

import math
import numbers

import numpy as np


class Layer:
    """A layer: its material (a structure or formula, real fractions
    allowed, or a mix mapping {structure: weight}), its thickness in nm and
    its relaxation (0: pseudomorphic, the substrate's in-plane lattice; 1:
    relaxed)."""

    def __init__(self, material, thickness_nm, relaxation=0.0):
        self.material = material
        self.thickness_nm = float(thickness_nm)
        self.relaxation = float(relaxation)
        if not (self.thickness_nm >= 0 and math.isfinite(self.thickness_nm)):
            raise ValueError(f"the thickness of {material!r} is {thickness_nm!r} nm; it must be finite and at least 0")
        if not (0.0 <= self.relaxation <= 1.0):
            raise ValueError(f"the relaxation of {material!r} is {relaxation!r}; it must lie in [0, 1]")

    def replace(self, **changes):
        """A copy with some of material, thickness_nm, relaxation changed."""
        values = dict(material=self.material, thickness_nm=self.thickness_nm, relaxation=self.relaxation)
        values.update(changes)
        return Layer(**values)

    def __repr__(self):
        return f"Layer({self.material!r}, {self.thickness_nm!r}, relaxation={self.relaxation!r})"


class Stack:
    """A thick substrate and layers in growth order: the first lies on the
    substrate, the last is the surface. The surface is the plane (h, k, l)
    of the substrate's cell, (0, 0, 1) by default ((0001) of a hexagonal
    one); layers are strained on (001) and (0001) faces only, and must be
    relaxed on others."""

    def __init__(self, substrate, layers=(), surface=(0, 0, 1)):
        self.substrate = substrate
        self.layers = list(layers)
        for layer in self.layers:
            if not isinstance(layer, Layer):
                raise TypeError(f"the layers must be xrdcalc.Layer, not {type(layer).__name__}")
        if len(surface) != 3 or not all(isinstance(i, numbers.Integral) for i in surface):
            raise ValueError(f"the surface is three whole numbers (h, k, l), not {surface!r}")
        self.surface = tuple(int(i) for i in surface)

    def __repr__(self):
        return f"Stack({self.substrate!r}, {self.layers!r}, surface={self.surface!r})"


def repeat(layers, times):
    """The layers repeated `times` times, as a superlattice is grown:
    repeat([Layer("AlAs", 5), Layer("GaAs", 10)], 20) is forty layers."""
    if isinstance(times, bool) or not isinstance(times, numbers.Integral) or times < 0:
        raise ValueError(f"times must be a whole number from 0 on, not {times!r}")
    return [layer for _ in range(times) for layer in layers]


class RockingCurve:
    """A simulated rocking curve: omega_arcsec (relative to the substrate's
    kinematic Bragg angle, substrate_omega_deg), reflectivity (convolved with
    the resolution when one was given), and layer_peaks_arcsec, where each
    layer's strained lattice puts its kinematic peak."""

    def __init__(self, omega_arcsec, reflectivity, substrate_omega_deg, layer_peaks_arcsec):
        self.omega_arcsec = omega_arcsec
        self.reflectivity = reflectivity
        self.substrate_omega_deg = substrate_omega_deg
        self.layer_peaks_arcsec = np.asarray(layer_peaks_arcsec)

    def __repr__(self):
        return f"<xrdcalc.RockingCurve of {len(self.omega_arcsec)} points>"


def material_argument(material, composition):
    """The binding's form of a material: a str of the program's grammar or
    a list of (structure, weight) pairs."""
    return composition(material)


def _sigma(fwhm_arcsec):
    return fwhm_arcsec / (2.0 * math.sqrt(2.0 * math.log(2.0)))


def kernel_half_width(step, fwhm_arcsec):
    """How many grid steps the Gaussian of `fwhm_arcsec` reaches to each
    side (four sigma)."""
    return int(math.ceil(4.0 * _sigma(fwhm_arcsec) / abs(step)))


def gaussian_smoothing(omega, values, fwhm_arcsec):
    """`values` on the uniform grid `omega` convolved with a normalised
    Gaussian of full width at half maximum `fwhm_arcsec`; the result is
    shorter by kernel_half_width at each end."""
    step = omega[1] - omega[0]
    if not np.allclose(np.diff(omega), step, rtol=1e-6, atol=1e-9):
        raise ValueError("a resolution needs equally spaced angles")
    sigma = _sigma(fwhm_arcsec)
    half = kernel_half_width(step, fwhm_arcsec)
    x = np.arange(-half, half + 1) * step
    kernel = np.exp(-0.5 * (x / sigma) ** 2)
    kernel /= kernel.sum()
    return np.convolve(values, kernel, mode="valid")
