"""Formulas of mixed crystals from composition fractions: {"In": 0.47, "Ga": 0.53}
with partner "As" is "In47Ga53As", weights in whole parts of a resolution."""

import math
import re

_NAME = re.compile(r"[A-Z][a-z]*\Z")


def _weights(fractions, resolution):
    """Whole weights adding up to `resolution`: each fraction's share rounded
    down, the parts left over given to the largest remainders (earlier first
    on a tie)."""
    raw = [f * resolution for f in fractions]
    weights = [math.floor(r) for r in raw]
    left = resolution - sum(weights)
    by_remainder = sorted(range(len(raw)), key=lambda i: -(raw[i] - weights[i]))
    for i in by_remainder[:left]:
        weights[i] += 1
    return weights


def composition_formula(fractions, partner="As", resolution=100, allow_zero=False):
    """The formula of a mixed crystal: components with whole weights adding
    up to `resolution`, then the partner joined to each.

    `fractions` maps component names (one capital letter and small ones) to
    fractions that are at least 0 and add up to 1 within 1/(2*resolution);
    a mapping or a sequence of (name, fraction) pairs, in formula order.
    A component whose weight rounds to 0 raises ValueError, or is left out
    with allow_zero=True. `partner` may be "" for mixes of structures named
    by one element (Si50Ge50).
    """
    if isinstance(resolution, bool) or not isinstance(resolution, int) or resolution < 1:
        raise ValueError(f"the resolution must be a whole number from 1 on, not {resolution!r}")
    if partner and not _NAME.match(partner):
        raise ValueError(f"the partner must be a capital letter and small letters, not {partner!r}")
    pairs = list(fractions.items() if hasattr(fractions, "items") else fractions)
    if not pairs:
        raise ValueError("no components")
    names = [name for name, _ in pairs]
    for name in names:
        if not isinstance(name, str) or not _NAME.match(name):
            raise ValueError(f"a component must be a capital letter and small letters, not {name!r}")
    if len(set(names)) != len(names):
        raise ValueError(f"a component appears twice in {names}")
    values = [float(f) for _, f in pairs]
    for name, f in zip(names, values):
        if not (f >= 0.0 and math.isfinite(f)):
            raise ValueError(f"the fraction of {name} is {f!r}; fractions must be finite and at least 0")
    total = math.fsum(values)
    if abs(total - 1.0) > 1.0 / (2 * resolution):
        raise ValueError(f"the fractions add up to {total!r}, not 1 within 1/{2 * resolution}")
    weights = _weights(values, resolution)
    zero = [name for name, w in zip(names, weights) if w == 0]
    if zero and not allow_zero:
        raise ValueError(f"{', '.join(zero)} would have weight 0 of {resolution}; "
                         "pass allow_zero=True to leave it out")
    return "".join(f"{name}{w}" for name, w in zip(names, weights) if w > 0) + partner
