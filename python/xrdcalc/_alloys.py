"""Mixed crystals with real fractions: formulas such as "In0.53Ga0.47As" read
as mixes of binaries, and the mixes of quaternary alloys by Vegard's law.

A mix is a dict {structure name: weight}; Calculator.compute takes it in
place of a formula. The weights are fractions of the cell: a mix is
computed as the weighted mean of its structures' results, lattice
constants included (Vegard's law).
"""

import math
import re

_COMPONENT = re.compile(r"([A-Z][a-z]*)((?:\d+\.?\d*|\.\d+))?")
_NAME = re.compile(r"[A-Z][a-z]*\Z")

# How far from 1 the fractions of a formula may add up (rounding of decimals).
_SUM_TOLERANCE = 1e-9


def _fraction(value, what):
    f = float(value)
    if not (math.isfinite(f) and 0.0 <= f <= 1.0):
        raise ValueError(f"{what} is {value!r}; it must lie in [0, 1]")
    return f


def _name(text):
    if not isinstance(text, str) or not _NAME.match(text):
        raise ValueError(f"{text!r} is not an element symbol (a capital letter and small ones)")
    return text


def _remainder(x, y):
    """1 - x - y, which must not be negative (a rounding below 0 counts as 0)."""
    rest = 1.0 - x - y
    if rest < -_SUM_TOLERANCE:
        raise ValueError(f"x + y is {x + y!r}; it must be at most 1")
    return max(rest, 0.0)


def real_fraction_mix(formula):
    """The mix of a formula whose weights are decimal fractions: "In0.53Ga0.47As"
    is {"InAs": 0.53, "GaAs": 0.47}. Each component is a capital letter, small
    letters and its fraction; a last component without a number is the
    partner, joined to every other name ("Si0.7Ge0.3" has none). The
    fractions add up to 1."""
    pairs = []
    at = 0
    while at < len(formula):
        match = _COMPONENT.match(formula, at)
        if not match:
            raise ValueError(f"formula {formula!r}: {formula[at:]!r} is not a component (a capital letter, "
                             "small letters and a fraction such as 0.3)")
        pairs.append((match.group(1), match.group(2)))
        at = match.end()
    partner = pairs.pop()[0] if pairs and pairs[-1][1] is None else ""
    if not pairs:
        raise ValueError(f"formula {formula!r} has no component with a fraction")
    for name, digits in pairs:
        if digits is None:
            raise ValueError(f"formula {formula!r}: component {name!r} has no fraction; only the last may go "
                             "without one (the partner)")
    mix = {}
    for name, digits in pairs:
        structure = name + partner
        mix[structure] = mix.get(structure, 0.0) + float(digits)
    total = math.fsum(float(digits) for _, digits in pairs)
    if abs(total - 1.0) > _SUM_TOLERANCE:
        raise ValueError(f"formula {formula!r}: the fractions add up to {total:.12g}, not 1")
    return mix


def quaternary(a, b, m, n, x, y):
    """The quaternary A(1-x) B(x) M(y) N(1-y) (two cations A and B, two
    anions M and N), e.g. In(1-x)Ga(x)As(y)P(1-y) as
    quaternary("In", "Ga", "As", "P", x, y): by Vegard's law the mix
    {AM: (1-x) y, AN: (1-x)(1-y), BM: x y, BN: x (1-y)}."""
    a, b, m, n = map(_name, (a, b, m, n))
    x, y = _fraction(x, "x"), _fraction(y, "y")
    return {a + m: (1.0 - x) * y, a + n: (1.0 - x) * (1.0 - y), b + m: x * y, b + n: x * (1.0 - y)}


def three_cations(a, b, c, anion, x, y):
    """The quaternary A(x) B(y) C(1-x-y) anion, e.g. Al(x)Ga(y)In(1-x-y)As as
    three_cations("Al", "Ga", "In", "As", x, y): the mix
    {A anion: x, B anion: y, C anion: 1 - x - y}, x + y at most 1."""
    a, b, c, anion = map(_name, (a, b, c, anion))
    x, y = _fraction(x, "x"), _fraction(y, "y")
    return {a + anion: x, b + anion: y, c + anion: _remainder(x, y)}


def three_anions(cation, m, n, o, x, y):
    """The quaternary cation M(x) N(y) O(1-x-y), e.g. GaAs(x)Sb(y)P(1-x-y) as
    three_anions("Ga", "As", "Sb", "P", x, y): the mix
    {cation M: x, cation N: y, cation O: 1 - x - y}, x + y at most 1."""
    cation, m, n, o = map(_name, (cation, m, n, o))
    x, y = _fraction(x, "x"), _fraction(y, "y")
    return {cation + m: x, cation + n: y, cation + o: _remainder(x, y)}
