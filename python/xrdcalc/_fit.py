"""Fitting a layer stack to a measured rocking curve: chosen thicknesses,
relaxations and compositions, with a scale, a background and an offset of
omega, by least squares on a logarithmic scale (scipy.optimize.least_squares,
Debian's python3-scipy).

    fit = xrdcalc.fit_rocking_curve(omega, counts, stack, (0, 0, 4), wavelength=1.5405929,
                                    free={"thickness_nm[0]": 180, "x[0]": 0.25})
    fit.values, fit.uncertainties, fit.curve
"""

import math
import re

import numpy as np

from ._rocking import Stack

_FREE = re.compile(r"(thickness_nm|relaxation|x)\[(\d+)\]\Z")
_BOUNDS = {"thickness_nm": (0.0, np.inf), "relaxation": (0.0, 1.0), "x": (0.0, 1.0)}


class RockingCurveFit:
    """What a fit found: values and uncertainties (one standard deviation,
    from the Jacobian at the solution and the scatter of the residuals) of
    each free parameter and of scale, background and omega_offset_arcsec;
    the fitted stack; the final curve (scale * reflectivity + background at
    the measured angles); and scipy's result."""

    def __init__(self, values, uncertainties, stack, curve, result):
        self.values = values
        self.uncertainties = uncertainties
        self.stack = stack
        self.curve = curve
        self.result = result

    def __repr__(self):
        shown = ", ".join(f"{k}={v:.6g}±{self.uncertainties[k]:.2g}" for k, v in self.values.items())
        return f"<xrdcalc.RockingCurveFit {shown}>"


def _stack_with(stack, names, values):
    """A copy of `stack` with the free parameters set."""
    layers = list(stack.layers)
    for name, value in zip(names, values):
        quantity, index = _FREE.match(name).groups()
        index = int(index)
        if quantity == "x":
            (first, _), (second, _) = layers[index].material.items()
            layers[index] = layers[index].replace(material={first: value, second: 1.0 - value})
        else:
            layers[index] = layers[index].replace(**{quantity: value})
    return Stack(stack.substrate, layers, stack.surface)


def _check_free(stack, free):
    names, starts, lower, upper = [], [], [], []
    for name, start in free.items():
        match = _FREE.match(name)
        if not match:
            raise ValueError(f"{name!r} is no free parameter: thickness_nm[i], relaxation[i] or x[i] of layer i")
        quantity, index = match.groups()
        if int(index) >= len(stack.layers):
            raise ValueError(f"{name!r}: the stack has {len(stack.layers)} layers")
        material = stack.layers[int(index)].material
        if quantity == "x" and not (hasattr(material, "items") and len(material) == 2):
            raise ValueError(f"{name!r}: x is the first weight of a layer whose material is a mapping of two "
                             f"structures, not {material!r}")
        low, high = _BOUNDS[quantity]
        if isinstance(start, tuple):
            start, low, high = start
        names.append(name)
        starts.append(float(start))
        lower.append(low)
        upper.append(high)
    return names, starts, lower, upper


def fit_rocking_curve(calculator, measured_omega, measured_intensity, stack, hkl, free, wavelength=None,
                      energy=None, polarization="sigma", resolution_arcsec=None, grazing="incidence",
                      temperature=None, b_factors=None):
    """Fits `free` ({"thickness_nm[0]": start, "x[1]": (start, low, high),
    ...}) together with a scale, a background and an offset of omega to
    the measured curve (omega in arcsec relative to the substrate's Bragg
    angle, intensity in counts), minimising the differences of log10 of the
    intensities. Returns a RockingCurveFit."""
    from scipy.optimize import least_squares

    omega = np.asarray(measured_omega, dtype=float)
    measured = np.asarray(measured_intensity, dtype=float)
    if omega.shape != measured.shape or omega.ndim != 1 or len(omega) < 10:
        raise ValueError("the measured angles and intensities must be two one-dimensional arrays of equal length, "
                         "at least 10 points")
    positive = measured[measured > 0]
    if positive.size == 0:
        raise ValueError("the measured intensities hold no positive value")
    floor = positive.min() / 2.0
    log_measured = np.log10(np.maximum(measured, floor))
    names, starts, lower, upper = _check_free(stack, free)

    def model(parameters):
        *values, log_scale, log_background, offset = parameters
        trial = _stack_with(stack, names, values)
        curve = calculator.rocking_curve(trial, hkl, omega - offset, wavelength=wavelength, energy=energy,
                                         polarization=polarization, resolution_arcsec=resolution_arcsec,
                                         grazing=grazing, temperature=temperature, b_factors=b_factors)
        return 10.0 ** log_scale * curve.reflectivity + 10.0 ** log_background

    def residuals(parameters):
        return np.log10(np.maximum(model(parameters), 1e-300)) - log_measured

    start = np.array(starts + [math.log10(measured.max()), math.log10(floor), 0.0])
    bounds = (lower + [-np.inf, -np.inf, -np.inf], upper + [np.inf, np.inf, np.inf])
    # Thickness fringes give the cost a minimum every fringe. So first the
    # other parameters are fitted with the thicknesses held (the layers'
    # peaks fall into place), then each thickness takes the best of 161
    # values within 20 % of its start, and then everything is fitted
    # (twice: the second time from where the first left them).
    thick = np.array([name.startswith("thickness_nm") for name in names] + [False] * 3)
    for _ in range(2 if thick.any() else 0):
        held = start[thick]

        def with_held(others, held=held, base=start):
            full = base.copy()
            full[~thick] = others
            full[thick] = held
            return full

        first = least_squares(lambda others: residuals(with_held(others)), start[~thick],
                              bounds=(np.array(bounds[0])[~thick], np.array(bounds[1])[~thick]), x_scale="jac")
        start = with_held(first.x)
        for i in np.flatnonzero(thick):
            trials = []
            for value in np.linspace(0.8, 1.2, 161) * start[i]:
                trial = start.copy()
                trial[i] = value
                trials.append(trial)
            start = min(trials, key=lambda trial: float(np.sum(residuals(trial) ** 2)))
    result = least_squares(residuals, start, bounds=bounds, x_scale="jac")
    degrees = max(len(omega) - len(start), 1)
    variance = 2.0 * result.cost / degrees
    try:
        covariance = np.linalg.inv(result.jac.T @ result.jac) * variance
        sigma = np.sqrt(np.maximum(np.diag(covariance), 0.0))
    except np.linalg.LinAlgError:
        sigma = np.full(len(start), np.nan)
    values = dict(zip(names, result.x[:len(names)]))
    uncertainties = dict(zip(names, sigma[:len(names)]))
    scale, background = 10.0 ** result.x[-3], 10.0 ** result.x[-2]
    values.update(scale=scale, background=background, omega_offset_arcsec=result.x[-1])
    uncertainties.update(scale=scale * math.log(10) * sigma[-3], background=background * math.log(10) * sigma[-2],
                         omega_offset_arcsec=sigma[-1])
    return RockingCurveFit(values, uncertainties, _stack_with(stack, names, result.x[:len(names)]),
                           model(result.x), result)
