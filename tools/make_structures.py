#!/usr/bin/env python3
"""Write the crystal structure library Base/<Formula>.stf from the table
below (Python standard library only; output is byte-identical on rerun).

    python3 tools/make_structures.py [--out DIR]

File layout (LF line ends):
    line 1   title, at most 79 characters, starting with a lower-case word
    line 2   <number of elements>,<space group number>
    line 3   <a in angstrom at room temperature>,<Poisson ratio c12/(c11+c12)>
    then per element:
             <element symbol>            (marker line, exactly the symbol)
             <number of sites>           (at most 20)
             <x>, <y>, <z>               (fractional coordinates, one per line)

Two-element crystals list the cation first.  The program finds a block by
scanning lines from the top for one whose first characters are the symbol
(a one-letter symbol must be followed by a character that is not a
lower-case letter); every file written here is checked so that this scan
lands on the intended marker line, and so that splitting the file name into
two symbols gives the crystal's elements.
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
        return 0

    out = pathlib.Path(args.out)
    out.mkdir(parents=True, exist_ok=True)
    names = set()
    for f, el, kind, a, c11, c12, title, sa, sc in CRYSTALS:
        if f in names:
            print("duplicate crystal %s" % f, file=sys.stderr)
            return 1
        names.add(f)
        text = render(f, el, kind, a, c11, c12, title)
        try:
            check(f, el, kind, text)
        except ValueError as e:
            print("make_structures: ERROR: %s" % e, file=sys.stderr)
            return 1
        # Written beside and renamed into place: a run reading the old file
        # meanwhile reads it whole.
        temporary = out / (f + ".stf.new")
        with open(temporary, "w", encoding="ascii", newline="\n") as fh:
            fh.write(text)
        os.replace(temporary, out / (f + ".stf"))
    print("%s: %d structure files written" % (out, len(CRYSTALS)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
