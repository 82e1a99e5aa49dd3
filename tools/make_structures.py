#!/usr/bin/env python3
"""Write the crystal structure library Base/<Name>.stf from the tables
below (Python standard library only; output is byte-identical on rerun).

    python3 tools/make_structures.py [--out DIR] [--table]

File layout (LF line ends):
    line 1   title, at most 79 characters, starting with a lower-case word
    line 2   <number of elements>,<space group number>[,<symbol>...]
    line 3   <a>,<structure scalar>[,<b>,<c>,<alpha>,<beta>,<gamma>]
    then per element:
             <element symbol>            (marker line, exactly the symbol)
             <number of sites>           (at most 20)
             <x>, <y>, <z>               (fractional coordinates, one per line)

Cubic crystals (the table CRYSTALS) write the short lines 2 and 3 as they
always have: "2,216" and "5.65325,0.3117".  The symbols then come from the
file name, and line 3 holds the cubic lattice constant a in angstrom at room
temperature and the Poisson ratio c12/(c11+c12) for (001) growth; b = c = a
and all angles are 90 degrees.

Non-cubic crystals (the table NONCUBIC) write the long forms: line 2 names
the element symbols in block order ("2,186,Ga,N"; these are the symbols,
the file name is not split), and line 3 holds a, the structure scalar, b, c
in angstrom and alpha, beta, gamma in degrees
("3.189,0.2663,3.189,5.185,90,90,120").  The structure scalar of a
hexagonal or trigonal crystal is c13/c33, for (0001) growth
(eps_perp = -2 c13/c33 eps_par); beta-Ga2O3 carries 0 (see Base/README.md).
The names of these files have no digits (a formula with digits names a mix
in xrdcalc): the formula without digits and a lower-case phase suffix,
GaNw (wurtzite GaN), SiCfourh (4H-SiC), AlOalpha (sapphire) and so on.

Blocks list the cation first.  The program finds a block by scanning lines
from the top for one whose first characters are the symbol (a one-letter
symbol must be followed by a character that is not a lower-case letter);
every file written here is checked so that this scan lands on the intended
marker line (line 2 starts with a digit and is never taken for a marker),
that a cubic file's name splits into its two symbols, and that a non-cubic
file names its symbols on line 2.
"""

import argparse
import os
import pathlib
import sys

# ---------------------------------------------------------------------------
# Site sets (fractional coordinates)

FCC = [(0.0, 0.0, 0.0), (0.0, 0.5, 0.5), (0.5, 0.0, 0.5), (0.5, 0.5, 0.0)]
BCC = [(0.0, 0.0, 0.0), (0.5, 0.5, 0.5)]


def shifted(sites, d):
    return [tuple((c + s) % 1.0 for c, s in zip(site, d)) for site in sites]


QUARTER = shifted(FCC, (0.25, 0.25, 0.25))   # tetrahedral sites of zincblende
THREE_QUARTER = shifted(FCC, (0.75, 0.75, 0.75))  # the other tetrahedral set
HALF_X = shifted(FCC, (0.5, 0.0, 0.0))       # octahedral sites of rock salt

STRUCTURES = {
    # name: (space group, [site list per element in file order])
    "diamond":    (227, lambda: [FCC + QUARTER]),
    "zincblende": (216, lambda: [FCC, QUARTER]),
    "rocksalt":   (225, lambda: [FCC, HALF_X]),
    # cation on fcc (4a), anion on all tetrahedral sites (8c)
    "fluorite":   (225, lambda: [FCC, QUARTER + THREE_QUARTER]),
    "fcc":        (225, lambda: [FCC]),
    "bcc":        (229, lambda: [BCC]),
}

# ---------------------------------------------------------------------------
# Crystal table.
#   formula, elements (cation first), structure, a [A] at room temperature,
#   c11, c12 [GPa], title, source of a, source of c11/c12
# Numbers are kept as text so that a is written with the digits quoted.
# Source keys are explained in Base/README.md.
# A formula with digits names a mix in xrdcalc, so compounds whose formula
# has a digit are named without it: CaF is CaF2, SrF is SrF2, BaF is BaF2.

CRYSTALS = [
    # group IV, diamond type
    ("C",    ["C"],        "diamond",    "3.56683", "1079.0", "124.0",  "diamond, cubic carbon, room temperature", "A05", "MA72"),
    ("Si",   ["Si"],       "diamond",    "5.43102", "165.77", "63.93",  "diamond-type silicon, room temperature", "A05", "A05"),
    ("Ge",   ["Ge"],       "diamond",    "5.65791", "128.53", "48.26",  "diamond-type germanium, room temperature", "A05", "A05"),
    # III-V, zincblende
    # AlP: a measured on epitaxial AlP (M04: 5.4635(4) A at 25 C); V01's
    # 5.4672 is not a measurement.  c11, c12 are V01's estimates.
    ("AlP",  ["Al", "P"],  "zincblende", "5.4635",  "133.0",  "63.0",   "zincblende aluminium phosphide, room temperature", "M04", "V01"),
    ("AlAs", ["Al", "As"], "zincblende", "5.6611",  "119.9",  "57.5",   "zincblende aluminium arsenide, room temperature", "V01", "G99"),
    ("AlSb", ["Al", "Sb"], "zincblende", "6.1355",  "87.69",  "43.41",  "zincblende aluminium antimonide, room temperature", "V01", "V01"),
    ("GaP",  ["Ga", "P"],  "zincblende", "5.4505",  "140.5",  "62.03",  "zincblende gallium phosphide, room temperature", "V01", "V01"),
    ("GaAs", ["Ga", "As"], "zincblende", "5.65325", "118.8",  "53.8",   "zincblende gallium arsenide, room temperature", "V01", "A05"),
    ("GaSb", ["Ga", "Sb"], "zincblende", "6.0959",  "88.42",  "40.26",  "zincblende gallium antimonide, room temperature", "V01", "V01"),
    ("InP",  ["In", "P"],  "zincblende", "5.8697",  "101.1",  "56.1",   "zincblende indium phosphide, room temperature", "V01", "V01"),
    ("InAs", ["In", "As"], "zincblende", "6.0583",  "83.29",  "45.26",  "zincblende indium arsenide, room temperature", "V01", "V01"),
    ("InSb", ["In", "Sb"], "zincblende", "6.4794",  "68.47",  "37.35",  "zincblende indium antimonide, room temperature", "V01", "V01"),
    ("BP",   ["B", "P"],   "zincblende", "4.5383",  "315.0",  "100.0",  "zincblende boron phosphide, room temperature", "A05", "WW84"),
    ("BN",   ["B", "N"],   "zincblende", "3.6157",  "820.0",  "190.0",  "cubic boron nitride (zincblende), room temperature", "A05", "GZ94"),
    ("SiC",  ["Si", "C"],  "zincblende", "4.3596",  "390.0",  "142.0",  "cubic silicon carbide (3C, zincblende), room temperature", "A05", "A05"),
    # zincblende nitrides: metastable layers; V01's recommended a (GaN 4.50 A
    # agrees with X-ray values of 4.50-4.52 A on layers) and calculated c11, c12
    ("GaN",  ["Ga", "N"],  "zincblende", "4.50",    "293.0",  "159.0",  "cubic gallium nitride (zincblende), room temperature", "V01", "V01"),
    ("AlN",  ["Al", "N"],  "zincblende", "4.38",    "304.0",  "160.0",  "cubic aluminium nitride (zincblende), room temperature", "V01", "V01"),
    ("InN",  ["In", "N"],  "zincblende", "4.98",    "187.0",  "125.0",  "cubic indium nitride (zincblende), room temperature", "V01", "V01"),
    # II-VI, zincblende
    ("ZnS",  ["Zn", "S"],  "zincblende", "5.4102",  "104.6",  "65.3",   "zincblende zinc sulphide (sphalerite), room temperature", "A05", "A05"),
    ("ZnSe", ["Zn", "Se"], "zincblende", "5.6687",  "85.9",   "50.6",   "zincblende zinc selenide, room temperature", "A05", "A05"),
    ("ZnTe", ["Zn", "Te"], "zincblende", "6.1037",  "71.3",   "40.7",   "zincblende zinc telluride, room temperature", "A05", "A05"),
    ("CdTe", ["Cd", "Te"], "zincblende", "6.4810",  "53.51",  "36.81",  "zincblende cadmium telluride, room temperature", "A05", "MT62"),
    # CdSe: cubic (zincblende) phase, a = 6.052 A (M04); c11, c12 estimated (A05)
    ("CdSe", ["Cd", "Se"], "zincblende", "6.052",   "66.7",   "46.3",   "zincblende cadmium selenide (cubic phase), room temperature", "M04", "A05"),
    ("HgTe", ["Hg", "Te"], "zincblende", "6.4615",  "53.61",  "36.60",  "zincblende mercury telluride, room temperature", "A05", "AS67"),
    # HgSe: a as in A05 and M04; c11, c12 ultrasonic, room temperature (L69)
    ("HgSe", ["Hg", "Se"], "zincblende", "6.0854",  "60.8",   "46.0",   "zincblende mercury selenide, room temperature", "A05", "L69"),
    # rock salt
    ("LiF",  ["Li", "F"],  "rocksalt",   "4.0270",  "111.2",  "42.0",   "rock-salt lithium fluoride, room temperature", "NBS", "SW71"),
    ("NaCl", ["Na", "Cl"], "rocksalt",   "5.6402",  "48.7",   "12.4",   "rock-salt sodium chloride (halite), room temperature", "NBS", "K05"),
    ("KCl",  ["K", "Cl"],  "rocksalt",   "6.2931",  "40.5",   "6.6",    "rock-salt potassium chloride (sylvite), room temperature", "NBS", "SW71"),
    ("MgO",  ["Mg", "O"],  "rocksalt",   "4.2112",  "297.0",  "95.2",   "rock-salt magnesium oxide (periclase), room temperature", "NBS", "JN82"),
    ("PbS",  ["Pb", "S"],  "rocksalt",   "5.9362",  "126.9",  "29.8",   "rock-salt lead sulphide (galena), room temperature", "D73", "LB"),
    ("PbSe", ["Pb", "Se"], "rocksalt",   "6.1243",  "123.7",  "19.3",   "rock-salt lead selenide, room temperature", "D73", "LB"),
    ("PbTe", ["Pb", "Te"], "rocksalt",   "6.4620",  "107.95", "7.66",   "rock-salt lead telluride, room temperature", "D73", "HSB68"),
    # fluorite (substrates)
    ("CaF",  ["Ca", "F"],  "fluorite",   "5.4631",  "165.0",  "46.0",   "fluorite calcium fluoride CaF2, room temperature", "BS64", "LB29"),
    ("SrF",  ["Sr", "F"],  "fluorite",   "5.7996",  "123.5",  "43.05",  "fluorite strontium fluoride SrF2, room temperature", "NBS", "G64b"),
    ("BaF",  ["Ba", "F"],  "fluorite",   "6.2001",  "91.1",   "41.2",   "fluorite barium fluoride BaF2, room temperature", "NBS", "G64a"),
    # metals
    ("Al",   ["Al"],       "fcc",        "4.0494",  "106.8",  "60.7",   "fcc aluminium, room temperature", "NBS", "K05"),
    ("Ni",   ["Ni"],       "fcc",        "3.5238",  "250.8",  "150.0",  "fcc nickel, room temperature", "NBS", "K05"),
    ("Cu",   ["Cu"],       "fcc",        "3.6150",  "168.4",  "121.4",  "fcc copper, room temperature", "NBS", "K05"),
    ("Ag",   ["Ag"],       "fcc",        "4.0862",  "124.0",  "93.7",   "fcc silver, room temperature", "NBS", "K05"),
    ("Au",   ["Au"],       "fcc",        "4.0786",  "192.3",  "163.1",  "fcc gold, room temperature", "NBS", "K05"),
    ("Fe",   ["Fe"],       "bcc",        "2.8664",  "231.0",  "135.0",  "bcc iron (alpha), room temperature", "NBS", "SW71"),
    ("Mo",   ["Mo"],       "bcc",        "3.1472",  "463.7",  "157.8",  "bcc molybdenum, room temperature", "NBS", "SW71"),
    ("W",    ["W"],        "bcc",        "3.1648",  "523.3",  "204.5",  "bcc tungsten, room temperature", "NBS", "K05"),
]

MAX_SITES = 20
DISPLAY = {"rocksalt": "rock salt"}
COMPOUND = {"CaF": "CaF2", "SrF": "SrF2", "BaF": "BaF2"}


def poisson(c11, c12):
    c11, c12 = float(c11), float(c12)
    return c12 / (c11 + c12)


def fmt_coord(v):
    v = round(v, 6) % 1.0
    return repr(float(v))


def split_formula(name):
    """How the program derives the two element symbols of a binary crystal
    from its file name."""
    if name[1:2].islower():
        return name[0:2], name[2:4]
    return name[0:1], name[1:3]


def marker_matches(line, sym):
    if len(sym) == 2:
        return line[:2] == sym
    return line[:1] == sym and not line[1:2].islower()


def render(formula, elems, kind, a, c11, c12, title):
    sg, sites_of = STRUCTURES[kind]
    blocks = sites_of()
    lines = [title, "%d,%d" % (len(elems), sg), "%s,%.4f" % (a, poisson(c11, c12))]
    for sym, sites in zip(elems, blocks):
        lines.append(sym)
        lines.append(str(len(sites)))
        lines.extend(", ".join(fmt_coord(c) for c in s) for s in sites)
    return "\n".join(lines) + "\n"


def check(formula, elems, kind, text):
    lines = text.split("\n")[:-1]
    title = lines[0]
    if len(title) > 79 or not title[:1].islower():
        raise ValueError("%s: title must start lower-case, <= 79 chars" % formula)
    if len(elems) == 2 and list(split_formula(formula)) != elems:
        raise ValueError("%s: file name splits into %s, not %s"
                         % (formula, split_formula(formula), elems))
    if len(elems) == 1 and formula != elems[0]:
        raise ValueError("%s: file name is not the element symbol" % formula)
    a, nu = lines[2].split(",")
    float(a), float(nu)
    n_elem, sg = lines[1].split(",")
    if int(n_elem) != len(elems):
        raise ValueError("%s: element count" % formula)
    for sym in elems:
        idx = next(i for i, l in enumerate(lines) if marker_matches(l, sym))
        if lines[idx] != sym:
            raise ValueError("%s: first line matching %s is %r" % (formula, sym, lines[idx]))
        n = int(lines[idx + 1])
        if not 1 <= n <= MAX_SITES:
            raise ValueError("%s: %d sites for %s" % (formula, n, sym))
        for l in lines[idx + 2: idx + 2 + n]:
            parts = l.split(",")
            if len(parts) != 3 or parts[0] != parts[0].strip() or \
                    parts[1] != parts[1].rstrip():
                raise ValueError("%s: bad site line %r" % (formula, l))
            for c in parts:
                if not 0.0 <= float(c) < 1.0:
                    raise ValueError("%s: coordinate outside [0,1): %r" % (formula, l))


# ---------------------------------------------------------------------------
# Non-cubic crystals.
#
# Lattice constants at room temperature, hexagonal axes for the hexagonal
# and trigonal crystals.  Numbers are kept as text so that the file carries
# the digits of the source.  c13 and c33 in GPa; the structure scalar is
# c13/c33, written with four decimals.  Source keys (lattice, internal
# parameters, c13/c33) are explained in Base/README.md; "eb" and "ideal"
# mark derived values (see below).
#
# Each element block must fit MAX_SITES, and every site set is the orbit
# expansion of the space group's Wyckoff positions; the SiC stacking is
# checked against the orbits of P6_3mc here, and
# tools/make_cell_reference.py compares every written file with
# xrayutilities' own expansion.

THIRD = 1.0 / 3.0
TWO_THIRDS = 2.0 / 3.0


def hexagonal(a, c):
    return {"a": a, "b": a, "c": c, "alpha": "90", "beta": "90", "gamma": "120"}


def monoclinic_b(a, b, c, beta):
    return {"a": a, "b": b, "c": c, "alpha": "90", "beta": beta, "gamma": "90"}


def equal_bond_u(a, c):
    """Wurtzite u for which the bond along c equals the three others:
    u = 1/4 + a^2/(3 c^2) (3/8 for the ideal c/a = sqrt(8/3))."""
    a, c = float(a), float(c)
    return "%.4f" % (0.25 + a * a / (3.0 * c * c))


def wurtzite_sites(p):
    """P6_3mc (186), both elements on 2b: (1/3,2/3,z), (2/3,1/3,z+1/2),
    cation at z = 0, anion at z = u."""
    u = float(p["u"])
    return [[(THIRD, TWO_THIRDS, 0.0), (TWO_THIRDS, THIRD, 0.5)],
            [(THIRD, TWO_THIRDS, u), (TWO_THIRDS, THIRD, 0.5 + u)]]


STACKING_XY = {"A": (0.0, 0.0), "B": (THIRD, TWO_THIRDS), "C": (TWO_THIRDS, THIRD)}


def on_186_orbits(sites):
    """True if the sites (one element) are a union of whole orbits of
    P6_3mc 2a (0,0,z), (0,0,z+1/2) and 2b (1/3,2/3,z), (2/3,1/3,z+1/2)."""
    def same(p, q):
        return all(abs((x - y + 0.5) % 1.0 - 0.5) < 1e-9 for x, y in zip(p, q))
    for x, y, z in sites:
        if same((x, y, 0), (0, 0, 0)):
            partner = (0.0, 0.0, z + 0.5)
        elif same((x, y, 0), (THIRD, TWO_THIRDS, 0)):
            partner = (TWO_THIRDS, THIRD, z + 0.5)
        elif same((x, y, 0), (TWO_THIRDS, THIRD, 0)):
            partner = (THIRD, TWO_THIRDS, z + 0.5)
        else:
            return False
        if not any(same(partner, s) for s in sites):
            return False
    return True


def polytype_sites(p):
    """SiC polytype from its stacking sequence along c (A = (0,0),
    B = (1/3,2/3), C = (2/3,1/3)): n Si layers equally spaced, C displaced
    along +c by 3/4 of one layer spacing (ideal tetrahedra).  The sequence
    is read from layer k on and the origin put on that layer's column; the
    first k whose sites all lie on orbits of 2a and 2b is taken (6H ABCACB:
    k = 0; 4H ABCB: k = 1, i.e. BCBA with B at the origin, which is ABAC
    relabelled -- with A at the origin no shift along c alone fits)."""
    seq = p["stacking"]
    n = len(seq)
    for k in range(n):
        layers = seq[k:] + seq[:k]
        ox, oy = STACKING_XY[layers[0]]
        si, c = [], []
        for j, letter in enumerate(layers):
            x, y = STACKING_XY[letter]
            xy = ((x - ox) % 1.0, (y - oy) % 1.0)
            si.append(xy + (j / n,))
            c.append(xy + ((j + 0.75) / n,))
        if on_186_orbits(si) and on_186_orbits(c):
            return [si, c]
    raise ValueError("stacking %s fits no origin of P6_3mc" % seq)


R_CENTRING = [(0.0, 0.0, 0.0), (TWO_THIRDS, THIRD, THIRD), (THIRD, TWO_THIRDS, TWO_THIRDS)]


def corundum_sites(p):
    """R-3c (167), hexagonal setting.  Al on 12c: (0,0,z), (0,0,-z+1/2),
    (0,0,-z), (0,0,z+1/2); O on 18e: (x,0,1/4), (0,x,1/4), (-x,-x,1/4),
    (-x,0,3/4), (0,-x,3/4), (x,x,3/4); each with the centring translations
    (0,0,0), (2/3,1/3,1/3), (1/3,2/3,2/3)."""
    z, x = float(p["z_Al"]), float(p["x_O"])
    al = [(0.0, 0.0, z), (0.0, 0.0, 0.5 - z), (0.0, 0.0, -z), (0.0, 0.0, z + 0.5)]
    o = [(x, 0.0, 0.25), (0.0, x, 0.25), (-x, -x, 0.25),
         (-x, 0.0, 0.75), (0.0, -x, 0.75), (x, x, 0.75)]
    return [[tuple((c + t) % 1.0 for c, t in zip(s, tr)) for tr in R_CENTRING for s in al],
            [tuple((c + t) % 1.0 for c, t in zip(s, tr)) for tr in R_CENTRING for s in o]]


C_CENTRING = [(0.0, 0.0, 0.0), (0.5, 0.5, 0.0)]


def beta_gallia_sites(p):
    """C2/m (12), unique axis b: every atom on 4i, (x,0,z), (-x,0,-z), each
    with the centring translations (0,0,0), (1/2,1/2,0)."""
    def orbit(xz):
        x, z = float(xz[0]), float(xz[1])
        return [tuple((c + t) % 1.0 for c, t in zip(s, tr))
                for tr in C_CENTRING for s in [(x, 0.0, z), (-x, 0.0, -z)]]
    return [orbit(p["Ga1"]) + orbit(p["Ga2"]),
            orbit(p["O1"]) + orbit(p["O2"]) + orbit(p["O3"])]


NONCUBIC_STRUCTURES = {
    # name: (space group, display name, site sets from the internal parameters)
    "wurtzite": (186, "wurtzite", wurtzite_sites),
    "polytype": (186, "SiC polytype", polytype_sites),
    "corundum": (167, "corundum", corundum_sites),
    "beta-gallia": (12, "beta-Ga2O3", beta_gallia_sites),
}

# name, elements (cation first), structure, lattice constants, internal
# parameters, c13, c33 [GPa], title, source of the lattice constants, source
# of the internal parameters, source of c13 and c33
NONCUBIC = [
    # wurtzite nitrides: a, c, c13, c33 as recommended by Vurgaftman & Meyer
    # (2003); u measured on bulk powder (SS77) where at hand, otherwise the
    # equal-bond value ("eb", equal_bond_u)
    ("GaNw",  ["Ga", "N"],  "wurtzite", hexagonal("3.189", "5.185"), {"u": "0.377"}, "106", "398", "wurtzite gallium nitride, room temperature", "V03", "SS77", "V03"),
    ("AlNw",  ["Al", "N"],  "wurtzite", hexagonal("3.112", "4.982"), {"u": "0.3821"}, "108", "373", "wurtzite aluminium nitride, room temperature", "V03", "SS77", "V03"),
    ("InNw",  ["In", "N"],  "wurtzite", hexagonal("3.545", "5.703"), {"u": equal_bond_u("3.545", "5.703")}, "92", "224", "wurtzite indium nitride, room temperature", "V03", "eb", "V03"),
    # II-VI wurtzites
    ("ZnOw",  ["Zn", "O"],  "wurtzite", hexagonal("3.2496", "5.2042"), {"u": "0.3819"}, "105.1", "210.9", "wurtzite zinc oxide (zincite), room temperature", "KE89", "KE89", "B62"),
    # ZnS: c13, c33 from sphalerite's c11, c12 (A05, as in ZnS.stf) and
    # c44 = 46.1 GPa (A05) by the (111) rotation of Martin (M72):
    # c13 = (c11 + 2 c12 - 2 c44)/3, c33 = (c11 + 2 c12 + 4 c44)/3
    ("ZnSw",  ["Zn", "S"],  "wurtzite", hexagonal("3.8227", "6.2607"), {"u": "0.3748"}, "47.7", "139.9", "wurtzite zinc sulphide, room temperature", "KE89", "KE89", "M72"),
    ("CdSw",  ["Cd", "S"],  "wurtzite", hexagonal("4.136", "6.713"), {"u": equal_bond_u("4.136", "6.713")}, "51.0", "93.8", "wurtzite cadmium sulphide (greenockite), room temperature", "NBS", "eb", "AU73"),
    ("CdSew", ["Cd", "Se"], "wurtzite", hexagonal("4.299", "7.010"), {"u": equal_bond_u("4.299", "7.010")}, "39.26", "84.51", "wurtzite cadmium selenide, room temperature", "NBS", "eb", "XU"),
    # silicon carbide polytypes, ideal tetrahedra (polytype_sites)
    ("SiCfourh", ["Si", "C"], "polytype", hexagonal("3.0730", "10.053"), {"stacking": "ABCB"}, "52", "547", "hexagonal 4H silicon carbide, room temperature", "LRS01", "ideal", "K97"),
    ("SiCsixh",  ["Si", "C"], "polytype", hexagonal("3.0806", "15.1173"), {"stacking": "ABCACB"}, "52", "553", "hexagonal 6H silicon carbide, room temperature", "LRS01", "ideal", "K97"),
    # sapphire: a, c, z(Al), x(O) from one Rietveld refinement (LS90, COD
    # 1000032); c13, c33 ultrasonic, room temperature (W60)
    ("AlOalpha", ["Al", "O"], "corundum", hexagonal("4.7605", "12.9956"), {"z_Al": "0.35216", "x_O": "0.30668"}, "110.9", "498.1", "sapphire, alpha-Al2O3 (hexagonal axes), room temperature", "LS90", "LS90", "W60"),
    # beta-Ga2O3: no elastic constants adopted, scalar 0 (Base/README.md)
    ("GaObeta", ["Ga", "O"], "beta-gallia", monoclinic_b("12.214", "3.0371", "5.7981", "103.83"),  # AS96
     {"Ga1": ("0.0904", "0.7948"), "Ga2": ("0.3414", "0.6857"), "O1": ("0.1674", "0.1011"), "O2": ("0.4957", "0.2553"), "O3": ("0.8279", "0.4365")},  # AS96
     None, None, "beta gallium oxide Ga2O3 (monoclinic C2/m), room temperature", "AS96", "AS96", "-"),
]

NONCUBIC_SUFFIXES = ("w", "fourh", "sixh", "alpha", "beta")
LATTICE_KEYS = ("a", "b", "c", "alpha", "beta", "gamma")


def structure_scalar(c13, c33):
    """c13/c33 for (0001) growth of a hexagonal or trigonal crystal; 0 where
    no elastic constants are adopted."""
    if c13 is None:
        return 0.0
    return float(c13) / float(c33)


def render_noncubic(name, elems, kind, lattice, internal, c13, c33, title):
    sg, _, sites_of = NONCUBIC_STRUCTURES[kind]
    blocks = sites_of(internal)
    line2 = ",".join(["%d" % len(elems), "%d" % sg] + elems)
    line3 = ",".join([lattice["a"], "%.4f" % structure_scalar(c13, c33)] +
                     [lattice[k] for k in LATTICE_KEYS[1:]])
    lines = [title, line2, line3]
    for sym, sites in zip(elems, blocks):
        lines.append(sym)
        lines.append(str(len(sites)))
        lines.extend(", ".join(fmt_coord(c) for c in s) for s in sites)
    return "\n".join(lines) + "\n"


def check_noncubic(name, elems, kind, text):
    lines = text.split("\n")[:-1]
    title = lines[0]
    if len(title) > 79 or not title[:1].islower() or not title.isascii():
        raise ValueError("%s: title must be ASCII, start lower-case, <= 79 chars" % name)
    if any(ch.isdigit() for ch in name):
        raise ValueError("%s: a name with digits would be read as a mix" % name)
    if not name.endswith(NONCUBIC_SUFFIXES) or not name[:1].isupper():
        raise ValueError("%s: not a formula with a phase suffix" % name)
    fields = lines[1].split(",")
    if int(fields[0]) != len(elems) or fields[2:] != elems:
        # the symbols must be given: the file name is not split
        raise ValueError("%s: line 2 must name the symbols %s" % (name, elems))
    int(fields[1])
    values = lines[2].split(",")
    if len(values) != 7:
        raise ValueError("%s: line 3 needs a, scalar, b, c, alpha, beta, gamma" % name)
    a, scalar, b, c, alpha, beta, gamma = (float(v) for v in values)
    if min(a, b, c) <= 0 or not all(0 < t < 180 for t in (alpha, beta, gamma)):
        raise ValueError("%s: bad lattice %r" % (name, lines[2]))
    for v in values[4:]:
        if v != v.strip() or v.endswith(".0") or "e" in v.lower():
            raise ValueError("%s: write angles as plain numbers: %r" % (name, v))
    check_blocks(name, elems, lines)


def check_blocks(name, elems, lines):
    for sym in elems:
        idx = next(i for i, l in enumerate(lines) if marker_matches(l, sym))
        if lines[idx] != sym:
            raise ValueError("%s: first line matching %s is %r" % (name, sym, lines[idx]))
        n = int(lines[idx + 1])
        if not 1 <= n <= MAX_SITES:
            raise ValueError("%s: %d sites for %s" % (name, n, sym))
        seen = set()
        for l in lines[idx + 2: idx + 2 + n]:
            parts = l.split(",")
            if len(parts) != 3 or parts[0] != parts[0].strip() or \
                    parts[1] != parts[1].rstrip():
                raise ValueError("%s: bad site line %r" % (name, l))
            for c in parts:
                if not 0.0 <= float(c) < 1.0:
                    raise ValueError("%s: coordinate outside [0,1): %r" % (name, l))
            if l in seen:
                raise ValueError("%s: site %r twice" % (name, l))
            seen.add(l)


def internal_text(kind, internal):
    if kind == "wurtzite":
        return "u = %s" % internal["u"]
    if kind == "polytype":
        return "%s, ideal" % internal["stacking"]
    if kind == "corundum":
        return "z(Al) = %s, x(O) = %s" % (internal["z_Al"], internal["x_O"])
    return "; ".join("%s %s, %s" % (k, internal[k][0], internal[k][1])
                     for k in ("Ga1", "Ga2", "O1", "O2", "O3"))


def print_noncubic_table():
    print("| crystal | structure | space group | a (Å) | c (Å) | b (Å), β (°) | internal parameters | c13 (GPa) | c33 (GPa) | scalar c13/c33 | source a, c | source internal | source c13, c33 |")
    print("|---|---|---|---|---|---|---|---|---|---|---|---|---|")
    for f, el, kind, lat, internal, c13, c33, title, sl, si, se in NONCUBIC:
        sg, display, _ = NONCUBIC_STRUCTURES[kind]
        other = "%s, %s" % (lat["b"], lat["beta"]) if lat["gamma"] != "120" else "–"
        print("| %s | %s | %d | %s | %s | %s | %s | %s | %s | %.4f | %s | %s | %s |"
              % (f, display, sg, lat["a"], lat["c"], other, internal_text(kind, internal),
                 c13 or "–", c33 or "–", structure_scalar(c13, c33), sl, si,
                 "–" if se == "-" else se))


def main(argv=None):
    here = pathlib.Path(__file__).resolve().parent
    ap = argparse.ArgumentParser(description="write Base/*.stf")
    ap.add_argument("--out", default=str(here.parent / "Base"))
    ap.add_argument("--table", action="store_true",
                    help="print the crystal table as Markdown and exit")
    args = ap.parse_args(argv)

    if args.table:
        print("| crystal | structure | space group | a (Å) | c11 (GPa) | c12 (GPa) | ν | source a | source c11, c12 |")
        print("|---|---|---|---|---|---|---|---|---|")
        for f, el, kind, a, c11, c12, title, sa, sc in CRYSTALS:
            name = "%s (%s)" % (f, COMPOUND[f]) if f in COMPOUND else f
            print("| %s | %s | %d | %s | %s | %s | %.4f | %s | %s |"
                  % (name, DISPLAY.get(kind, kind), STRUCTURES[kind][0], a, c11, c12,
                     poisson(c11, c12), sa, sc))
        print()
        print_noncubic_table()
        return 0

    # Every file is rendered and checked before the first one is written.
    files = []
    try:
        for f, el, kind, a, c11, c12, title, sa, sc in CRYSTALS:
            text = render(f, el, kind, a, c11, c12, title)
            check(f, el, kind, text)
            files.append((f, text))
        for f, el, kind, lat, internal, c13, c33, title, sl, si, se in NONCUBIC:
            text = render_noncubic(f, el, kind, lat, internal, c13, c33, title)
            check_noncubic(f, el, kind, text)
            files.append((f, text))
    except ValueError as e:
        print("make_structures: ERROR: %s" % e, file=sys.stderr)
        return 1
    names = [f for f, _ in files]
    if len(set(n.lower() for n in names)) != len(names):
        print("make_structures: ERROR: duplicate crystal name", file=sys.stderr)
        return 1

    out = pathlib.Path(args.out)
    out.mkdir(parents=True, exist_ok=True)
    for f, text in files:
        # Written beside and renamed into place: a run reading the old file
        # meanwhile reads it whole.
        temporary = out / (f + ".stf.new")
        with open(temporary, "w", encoding="ascii", newline="\n") as fh:
            fh.write(text)
        os.replace(temporary, out / (f + ".stf"))
    print("%s: %d structure files written" % (out, len(files)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
