"""xrdcalc: structure factors and optical constants of crystals and mixed
crystals for X-ray diffraction, from Python.

    import xrdcalc
    calc = xrdcalc.Calculator()
    r = calc.compute("Ga7In3As", 1.5405929, (0, 0, 4))
    abs(r.f_plus), r.chi0_real, r.chi_plus

Orderly stops raise xrdcalc.Error; data problems a computation survives
come as xrdcalc.DataWarning through the warnings module. See Calculator.
"""

import os
import warnings
from pathlib import Path

import numpy as np

from ._xrdcalc import Calculator as _Calculator
from ._xrdcalc import VALUE_NAMES, DataWarning, Error, Result, default_data_directory, photon_energy
from ._composition import composition_formula
from ._scan import AnomalousFactors, Scan

__all__ = ["Calculator", "Result", "Scan", "AnomalousFactors", "Error", "DataWarning",
           "composition_formula", "photon_energy", "HC", "VALUE_NAMES"]

# hc in eV * angstrom, as computations use it: E = HC / wavelength.
HC = photon_energy(1.0)


def _default_base():
    """The installed data directory, found from the package's own place (the
    build writes its relative path at installation); in the build tree, the
    library's default."""
    try:
        from ._installed import DATA_DIRECTORY_FROM_PACKAGE
    except ImportError:
        return default_data_directory()
    installed = Path(__file__).resolve().parent / DATA_DIRECTORY_FROM_PACKAGE
    return str(installed.resolve()) if installed.is_dir() else default_data_directory()


def _warn(messages):
    for message in messages:
        warnings.warn(message, DataWarning, stacklevel=3)


def _points(values, what):
    points = np.ascontiguousarray(np.atleast_1d(np.asarray(values, dtype=float)))
    if points.ndim != 1 or points.size == 0:
        raise ValueError(f"the {what} must be a non-empty one-dimensional sequence")
    return points


class Calculator(_Calculator):
    """A calculator on one data directory (`base`; None: the installed data,
    or the library's default). Data files are read once, when first needed.

    compute(formula, wavelength, hkl, lattice=(0, 0, 0), theta=0.0, scale=1.0)
        One run: wavelength in angstrom, hkl three numbers, lattice (a, b, c)
        in angstrom (0 0 0: from the structure files), Bragg angle theta in
        degrees (0: derived), scale on the optical constants. Returns a Result.
    """

    def __init__(self, base=None):
        super().__init__(_default_base() if base is None else os.fspath(base))

    def __repr__(self):
        return f"xrdcalc.Calculator({self.data_directory!r})"

    def scan_wavelength(self, formula, wavelengths, hkl, lattice=(0, 0, 0), theta=0.0, scale=1.0):
        """compute() at each wavelength (angstrom), as one Scan."""
        wavelengths = _points(wavelengths, "wavelengths")
        values, found, math_errors = self._scan([formula], wavelengths, hkl, lattice, theta, scale)
        _warn(found)
        return Scan(values, found, math_errors, wavelength=wavelengths, energy=HC / wavelengths)

    def scan_energy(self, formula, energies_ev, hkl, lattice=(0, 0, 0), theta=0.0, scale=1.0):
        """compute() at each photon energy (eV), as one Scan."""
        energies = _points(energies_ev, "energies")
        if not (np.all(np.isfinite(energies)) and np.all(energies > 0)):
            raise ValueError("the energies must be positive and finite")
        wavelengths = HC / energies
        values, found, math_errors = self._scan([formula], wavelengths, hkl, lattice, theta, scale)
        _warn(found)
        return Scan(values, found, math_errors, wavelength=wavelengths, energy=energies)

    def scan_composition(self, first, second, partner, xs, hkl, wavelength, resolution=100,
                         lattice=(0, 0, 0), theta=0.0, scale=1.0):
        """compute() of first_x second_(1-x) partner at each x in [0, 1], the
        formula's weights whole parts of `resolution` (composition_formula);
        x = 1 is the pure first, x = 0 the pure second. The Scan has x and
        the formulas too."""
        xs = _points(xs, "compositions")
        if not np.all((xs >= 0) & (xs <= 1)):
            raise ValueError("the compositions x must lie in [0, 1]")
        formulas = [composition_formula([(first, x), (second, 1.0 - x)], partner, resolution,
                                        allow_zero=True) for x in xs.tolist()]
        values, found, math_errors = self._scan(formulas, [float(wavelength)], hkl, lattice, theta, scale)
        _warn(found)
        n = len(formulas)
        return Scan(values, found, math_errors, x=xs, formulas=formulas,
                    wavelength=np.full(n, float(wavelength)), energy=np.full(n, HC / float(wavelength)))

    def anomalous_factors(self, element, energies_ev):
        """f1, f2, f' and f'' of an element at each photon energy (eV)."""
        energies = _points(energies_ev, "energies")
        values, found = self._anomalous_scan(element, energies)
        _warn(found)
        return AnomalousFactors(element, energies, values, self.form_factor(element, 0.0), found)
