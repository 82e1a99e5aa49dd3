"""xrdcalc: structure factors and optical constants of crystals and mixed
crystals for X-ray diffraction, from Python.

    import xrdcalc
    calc = xrdcalc.Calculator()
    r = calc.compute("Ga7In3As", 1.5405929, (0, 0, 4))
    abs(r.f_plus), r.chi0, r.chi_plus, r.bragg_angle_deg
    calc.compute("In0.53Ga0.47As", hkl=(0, 0, 4), energy=8047.8)
    calc.compute(xrdcalc.quaternary("In", "Ga", "As", "P", 0.2, 0.44), 1.5405929, (0, 0, 4))

Orderly stops raise xrdcalc.Error; data problems a computation survives
come as xrdcalc.DataWarning through the warnings module. See Calculator.
"""

import math
import numbers
import os
import warnings
from pathlib import Path

import numpy as np

from ._xrdcalc import Calculator as _Calculator
from ._xrdcalc import _Vibration
from ._xrdcalc import VALUE_NAMES, DataWarning, Error, Result, __version__, default_data_directory, photon_energy
from ._alloys import quaternary, real_fraction_mix, three_anions, three_cations
from ._composition import composition_formula
from ._fit import RockingCurveFit
from ._fit import fit_rocking_curve as _fit_rocking_curve
from ._rocking import Layer, RockingCurve, Stack, gaussian_smoothing, kernel_half_width, repeat
from ._scan import AnomalousFactors, Scan

__all__ = ["Calculator", "Result", "Scan", "AnomalousFactors", "Error", "DataWarning",
           "composition_formula", "quaternary", "three_cations", "three_anions", "real_fraction_mix",
           "Layer", "Stack", "repeat", "RockingCurve", "RockingCurveFit", "fit_rocking_curve",
           "photon_energy", "HC", "VALUE_NAMES", "__version__"]

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


def _composition(formula):
    """A formula for the program's grammar (a str), or a mix as a list of
    (structure, weight) pairs: from a mapping, or from a formula with
    decimal fractions."""
    if isinstance(formula, str):
        return list(real_fraction_mix(formula).items()) if "." in formula else formula
    if hasattr(formula, "items"):
        pairs = list(formula.items())
        for name, weight in pairs:
            if not isinstance(name, str):
                raise TypeError(f"a mix maps structure names to weights; {name!r} is not a name")
            if isinstance(weight, (bool, np.bool_)) or not isinstance(weight, numbers.Real):
                raise TypeError(f"the weight of {name!r} is {weight!r}, not a number")
        return [(name, float(weight)) for name, weight in pairs]
    raise TypeError(f"a formula (str) or a mix ({{structure: weight}}) is expected, not {type(formula).__name__}")


def _miller_indices(hkl):
    """(h, k, l) as floats, each a whole number; four indices (h, k, i, l)
    of hexagonal axes give (h, k, l), i being -(h + k)."""
    if hkl is None:
        raise TypeError("hkl is required: the Miller indices (h, k, l)")
    try:
        indices = list(hkl)
    except TypeError:
        raise TypeError(f"hkl must be three whole numbers (h, k, l), not {hkl!r}") from None
    if len(indices) not in (3, 4):
        raise ValueError(f"hkl must be three whole numbers (h, k, l) or four (h, k, i, l), not {len(indices)} "
                         "numbers")
    for index in indices:
        if isinstance(index, (bool, np.bool_)) or not isinstance(index, numbers.Real):
            raise TypeError(f"the Miller index {index!r} is not a number")
        if not float(index).is_integer():
            raise ValueError(f"the Miller indices must be whole numbers, not {tuple(indices)}")
    values = [float(index) for index in indices]
    if len(values) == 4:
        h, k, i, l = values
        if i != -(h + k):
            raise ValueError(f"in (h, k, i, l) = {tuple(indices)} i must be -(h + k) = {-(h + k):g}")
        values = [h, k, l]
    return tuple(values)


def _wavelength(wavelength, energy):
    """The wavelength in angstrom from exactly one of wavelength and energy (eV)."""
    if (wavelength is None) == (energy is None):
        raise TypeError("give the wavelength (angstrom) or the energy (eV), one of them")
    if wavelength is not None:
        return float(wavelength)
    energy = float(energy)
    if not (energy > 0.0 and math.isfinite(energy)):
        raise ValueError(f"the energy is {energy!r} eV; it must be positive and finite")
    return HC / energy


def _vibration(temperature, b_factors):
    """The thermal vibration for the binding: None for none, else a
    temperature (kelvin) and B factors ({symbol: square angstroms}), each
    checked for its type here and for its value by the library."""
    if temperature is None and b_factors is None:
        return None
    if temperature is not None:
        if isinstance(temperature, (bool, np.bool_)) or not isinstance(temperature, numbers.Real):
            raise TypeError(f"the temperature is {temperature!r}, not a number of kelvin")
        temperature = float(temperature)
    if b_factors is not None:
        if not hasattr(b_factors, "items"):
            raise TypeError(f"b_factors maps element symbols to B in square angstroms, not {b_factors!r}")
        checked = {}
        for element, b in b_factors.items():
            if not isinstance(element, str):
                raise TypeError(f"b_factors maps element symbols to B; {element!r} is not a symbol")
            if isinstance(b, (bool, np.bool_)) or not isinstance(b, numbers.Real):
                raise TypeError(f"the B factor of {element} is {b!r}, not a number")
            checked[element] = float(b)
        b_factors = checked
    return _Vibration(temperature, b_factors)


def fit_rocking_curve(measured_omega, measured_intensity, stack, hkl, free, wavelength=None, energy=None,
                      calculator=None, polarization="sigma", resolution_arcsec=None, grazing="incidence", *,
                      temperature=None, b_factors=None):
    """Fits `free` ({"thickness_nm[0]": start, "x[1]": (start, low, high),
    "relaxation[2]": start}: layer i's thickness, relaxation, or first
    weight of a two-structure mapping) with a scale, a background and an
    offset of omega to a measured rocking curve, on a logarithmic scale with
    scipy.optimize.least_squares. Returns a RockingCurveFit (values,
    uncertainties, the fitted stack, the final curve)."""
    return _fit_rocking_curve(calculator or Calculator(), measured_omega, measured_intensity, stack, hkl, free,
                              wavelength=wavelength, energy=energy, polarization=polarization,
                              resolution_arcsec=resolution_arcsec, grazing=grazing, temperature=temperature,
                              b_factors=b_factors)


def _points(values, what):
    points = np.ascontiguousarray(np.atleast_1d(np.asarray(values, dtype=float)))
    if points.ndim != 1 or points.size == 0:
        raise ValueError(f"the {what} must be a non-empty one-dimensional sequence")
    return points


class Calculator(_Calculator):
    """A calculator on one data directory (`base`; None: the installed data,
    or the library's default). Data files are read once, when first needed.
    """

    def __init__(self, base=None):
        super().__init__(_default_base() if base is None else os.fspath(base))

    def __repr__(self):
        return f"xrdcalc.Calculator({self.data_directory!r})"

    def compute(self, formula, wavelength=None, hkl=None, lattice=(0, 0, 0), theta=0.0, scale=1.0, *,
                energy=None, temperature=None, b_factors=None):
        """One run, returned as a Result.

        formula: a structure ("GaAs"), a mix with whole weights as the
            program reads them ("Ga7In3As"), a mix with decimal fractions
            adding up to 1 ("Ga0.7In0.3As", "In0.53Ga0.47As"; the last
            component without a number is the partner), or a mapping
            {structure: weight} ({"GaAs": 0.7, "InAs": 0.3}; the weights
            are divided by their sum). See quaternary() for four binaries.
        wavelength in angstrom, or energy in eV (one of them; the wavelength
            is then HC / energy).
        hkl: three whole numbers, or four (h, k, i, l) with i = -(h + k) for
            hexagonal axes. A reflection out of reach (wavelength above 2d)
            raises Error.
        lattice (a, b, c) in angstrom: 0 0 0 takes them from the structure
            files; theta: the Bragg angle in degrees, 0 derives it; scale:
            a factor on the six optical constants.
        temperature in kelvin: each element's scattering factor in F(hkl)
            and F(-h-k-l) is damped by its thermal vibration, exp(-B s^2)
            with the element's B in its structure from the data directory's
            Debye-Waller table (debye_waller.dat); b_factors
            ({"Ga": 0.61, "As": 0.55}, square angstroms) take precedence
            over the table, or stand alone for every element. Neither: no
            damping, the program's numbers.
        """
        # The binding passes the warnings on, pointing at our caller. What
        # fitting loops pass (a formula of the program's grammar, a
        # wavelength, three ints) goes straight to it.
        if energy is not None or wavelength is None:
            wavelength = _wavelength(wavelength, energy)
        if not (type(hkl) is tuple and len(hkl) == 3 and type(hkl[0]) is int and type(hkl[1]) is int
                and type(hkl[2]) is int):
            hkl = _miller_indices(hkl)
        vibration = None if temperature is None and b_factors is None else _vibration(temperature, b_factors)
        if type(formula) is str and "." not in formula:
            return self._compute(formula, wavelength, hkl, lattice, theta, scale, vibration)
        composition = _composition(formula)
        if isinstance(composition, str):
            return self._compute(composition, wavelength, hkl, lattice, theta, scale, vibration)
        return self._compute_mix(composition, wavelength, hkl, lattice, theta, scale, vibration)

    def scan_wavelength(self, formula, wavelengths, hkl, lattice=(0, 0, 0), theta=0.0, scale=1.0, *,
                        temperature=None, b_factors=None):
        """compute() at each wavelength (angstrom), as one Scan."""
        wavelengths = _points(wavelengths, "wavelengths")
        hkl = _miller_indices(hkl)
        values, found, math_errors = self._scan_formula(formula, wavelengths, hkl, lattice, theta, scale,
                                                        _vibration(temperature, b_factors))
        _warn(found)
        return Scan(values, found, math_errors, wavelength=wavelengths, energy=HC / wavelengths)

    def scan_energy(self, formula, energies_ev, hkl, lattice=(0, 0, 0), theta=0.0, scale=1.0, *,
                    temperature=None, b_factors=None):
        """compute() at each photon energy (eV), as one Scan."""
        energies = _points(energies_ev, "energies")
        if not (np.all(np.isfinite(energies)) and np.all(energies > 0)):
            raise ValueError("the energies must be positive and finite")
        wavelengths = HC / energies
        hkl = _miller_indices(hkl)
        values, found, math_errors = self._scan_formula(formula, wavelengths, hkl, lattice, theta, scale,
                                                        _vibration(temperature, b_factors))
        _warn(found)
        return Scan(values, found, math_errors, wavelength=wavelengths, energy=energies)

    def scan_composition(self, first, second, partner, xs, hkl, wavelength=None, lattice=(0, 0, 0), theta=0.0,
                         scale=1.0, *, energy=None, temperature=None, b_factors=None):
        """compute() of the mix {first+partner: x, second+partner: 1 - x} at
        each x in [0, 1], exactly: x = 1 is the pure first, x = 0 the pure
        second. The Scan has x too."""
        xs = _points(xs, "compositions")
        if not np.all((xs >= 0) & (xs <= 1)):
            raise ValueError("the compositions x must lie in [0, 1]")
        wavelength = _wavelength(wavelength, energy)
        hkl = _miller_indices(hkl)
        weights = np.column_stack([xs, 1.0 - xs])
        values, found, math_errors = self._mix_scan([first + partner, second + partner], weights, [wavelength],
                                                    hkl, lattice, theta, scale, _vibration(temperature, b_factors))
        _warn(found)
        n = len(xs)
        return Scan(values, found, math_errors, x=xs, wavelength=np.full(n, wavelength),
                    energy=np.full(n, HC / wavelength))

    def scan_temperature(self, formula, temperatures_k, hkl, wavelength=None, lattice=(0, 0, 0), theta=0.0,
                         scale=1.0, *, energy=None, b_factors=None):
        """compute() at each temperature (kelvin), as one Scan with the
        temperatures as `temperature`."""
        temperatures = _points(temperatures_k, "temperatures")
        wavelength = _wavelength(wavelength, energy)
        hkl = _miller_indices(hkl)
        with warnings.catch_warnings(record=True) as caught:
            warnings.simplefilter("always", DataWarning)
            results = [self.compute(formula, wavelength, hkl, lattice, theta, scale, temperature=float(t),
                                    b_factors=b_factors) for t in temperatures]
        found = list(dict.fromkeys(str(w.message) for w in caught if issubclass(w.category, DataWarning)))
        math_errors = list(dict.fromkeys(m for r in results for m in r.math_errors))
        _warn(found)
        n = len(temperatures)
        return Scan(np.array([r.values() for r in results]), found, math_errors, temperature=temperatures,
                    wavelength=np.full(n, wavelength), energy=np.full(n, HC / wavelength))

    def rocking_curve(self, stack, hkl, omega_arcsec, wavelength=None, energy=None, polarization="sigma",
                      resolution_arcsec=None, grazing="incidence", *, temperature=None, b_factors=None):
        """The reflectivity of `stack` (a Stack) in the reflection `hkl` at
        each glancing angle omega_arcsec, relative to the substrate's
        kinematic Bragg angle, by dynamical diffraction theory; wavelength in
        angstrom or energy in eV; polarization "sigma", "pi" or "unpolarised";
        resolution_arcsec the full width at half maximum of a Gaussian
        instrument function (equally spaced angles); grazing "incidence" or
        "exit" for an asymmetric reflection; temperature and b_factors as
        compute() has them, in every layer, except that b_factors serve the
        whole stack: each material takes those of its own elements. Returns
        a RockingCurve."""
        wavelength = _wavelength(wavelength, energy)
        hkl = _miller_indices(hkl)
        omega = _points(omega_arcsec, "angles")
        if grazing not in ("incidence", "exit"):
            raise ValueError(f"grazing is \"incidence\" or \"exit\", not {grazing!r}")
        layers = [(_composition(layer.material), layer.thickness_nm, layer.relaxation) for layer in stack.layers]
        grid = omega
        if resolution_arcsec is not None:
            if not (resolution_arcsec > 0 and math.isfinite(resolution_arcsec)):
                raise ValueError(f"the resolution is {resolution_arcsec!r}; it must be positive and finite")
            if len(omega) < 2:
                raise ValueError("a resolution needs at least two angles")
            step = omega[1] - omega[0]
            half = kernel_half_width(step, resolution_arcsec)
            grid = np.concatenate([omega[0] - step * np.arange(half, 0, -1), omega,
                                   omega[-1] + step * np.arange(1, half + 1)])
        reflectivity, substrate_omega, peaks = self._rocking_curve(
            _composition(stack.substrate), layers, hkl, wavelength, grid, polarization, grazing == "exit",
            stack.surface, _vibration(temperature, b_factors))
        if resolution_arcsec is not None:
            reflectivity = gaussian_smoothing(grid, reflectivity, resolution_arcsec)
        return RockingCurve(omega, reflectivity, substrate_omega, peaks)

    def _scan_formula(self, formula, wavelengths, hkl, lattice, theta, scale, vibration):
        composition = _composition(formula)
        if isinstance(composition, str):
            return self._scan(composition, wavelengths, hkl, lattice, theta, scale, vibration)
        names = [name for name, _ in composition]
        weights = np.array([[weight for _, weight in composition]])
        return self._mix_scan(names, weights, wavelengths, hkl, lattice, theta, scale, vibration)

    def anomalous_factors(self, element, energies_ev):
        """f1, f2, f' and f'' of an element at each photon energy (eV)."""
        energies = _points(energies_ev, "energies")
        values, found = self._anomalous_scan(element, energies)
        _warn(found)
        return AnomalousFactors(element, energies, values, self.form_factor(element, 0.0), found)
