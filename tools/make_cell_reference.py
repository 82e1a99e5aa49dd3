#!/usr/bin/python3
"""Reference values for the non-cubic cells of Base/, computed with xrayutilities.

xrayutilities (Debian package python3-xrayutilities) serves as an
independent reference: each crystal is built there from its space group and
Wyckoff positions, not from the site lists of Base/<name>.stf, with exactly
the lattice constants and internal parameters of tools/make_structures.py's
table NONCUBIC (imported from that module, so the two cannot drift apart).
The script writes tests/physics/cell_reference.csv.

Usage:
    apt-get install python3-xrayutilities
    /usr/bin/python3 tools/make_cell_reference.py

Before any value is written, the script checks

* that the site set of every non-cubic Base/<name>.stf equals xrayutilities'
  expansion of the Wyckoff positions (lattice.base()), element by element,
  as sets modulo 1 within 1e-6 (the files carry six decimals), and that the
  file's line 3 carries the table's lattice constants;
* GaAs 004 at Cu Kalpha1: |chi_h| from chih() is 1.82e-5 (the textbook
  value) within 0.5 %, and equal to r_e lambda^2 |F| / (pi V) from
  StructureFactor().

What is computed for each case (name, h k l) at two photon energies,
E = 12398.100046 / 1.5405929 eV (Cu Kalpha1 with xrdcalc's hc) and 17480 eV:

* theta_deg: Bragg angle asin(lambda / (2 d)) in degrees, with d = 2 pi / |Q|
  from xrayutilities' Q(h, k, l) (three-index hkl of the setting used: hexagonal
  axes for the hexagonal and trigonal cells, unique axis b for beta-Ga2O3) and
  lambda = 12398.100046 / E angstrom, the wavelength xrdcalc uses.
* chi0_real, chi0_imag: crystal.chi0(en=E).
* abs_chi_h: abs(complex(*crystal.chih(Q, en=E, polarization='S'))), no
  Debye-Waller factor (every B is 0).  chih() returns the moduli of the
  two parts of chi_h, |chi_rh| and |chi_ih|, from the sums over the cell of
  Re f and Im f times exp(-i Q.r) separately.  The modulus of their complex
  combination is therefore sqrt((|chi_h|^2 + |chi_-h|^2) / 2), the rms
  of the two members of the Friedel pair, and it does not depend on the sign
  convention of the phase.  Where the two sums are in phase (a
  centrosymmetric cell: sapphire, beta-Ga2O3; GaAs 004) it is |chi_h| =
  |chi_-h| itself, which the script checks.  For the wurtzites and SiC the
  two members differ (anomalous dispersion in a polar cell) by up to 2.4 %
  here (ZnOw 002 at 17480 eV; GaNw 002: 1.1 % at Cu Kalpha1, 2.2 % at
  17480 eV), and the value lies between them, within 1.2 % of each.  To
  compare xrdcalc: r_e lambda^2 / (pi V) times
  sqrt((|F(hkl)|^2 + |F(-h-k-l)|^2) / 2).

xrayutilities turns E into a wavelength with its own hc (CODATA,
12398.42 eV A), so its chi0 and chi_h carry a lambda^2 that is 5.2e-5
larger (relative) than with xrdcalc's hc; its f0, f1, f2 tables are its own
(not Base/f0_xop.dat, Base/f1f2.dat).  Both are far below the tolerances
that such table differences need.
"""

import argparse
import math
import pathlib
import subprocess
import sys

import numpy
import scipy.constants
import xrayutilities as xu

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
import make_structures  # noqa: E402  (the table NONCUBIC only)

ROOT = HERE.parent
BASE = ROOT / "Base"
REFERENCE_FILE = ROOT / "tests" / "physics" / "cell_reference.csv"

HC_XRDCALC = 12398.100046  # eV * angstrom
ENERGIES = [HC_XRDCALC / 1.5405929, 17480.0]

CASES = [
    ("GaNw", (0, 0, 2)), ("GaNw", (0, 0, 4)), ("GaNw", (1, 0, 5)), ("GaNw", (1, 1, 4)),
    ("AlNw", (0, 0, 2)),
    ("ZnOw", (0, 0, 2)),
    ("SiCfourh", (0, 0, 4)),
    ("AlOalpha", (0, 0, 6)), ("AlOalpha", (1, 1, 0)), ("AlOalpha", (1, 0, 4)),
    ("GaObeta", (-2, 0, 1)), ("GaObeta", (4, 0, 0)), ("GaObeta", (0, 2, 0)),
]

# Wyckoff description of the SiC polytypes in P6_3mc, written out here from
# the stacking (A = (0,0), B = (1/3,2/3), C = (2/3,1/3)), n Si layers at
# z = j/n, C at z = (j + 3/4)/n.  4H, read as B C B A with the origin on
# the B column: Si on 2a z = 0 (layers 0, 2) and 2b z = 1/4 (layers 1, 3).
# 6H, A B C A C B: Si on 2a z = 0 (layers 0, 3), 2b z = 1/6 (layers 1, 4)
# and 2b z = 5/6 (layers 5, 2).
POLYTYPE_WYCKOFF = {
    "ABCB": [("Si", "2a", 0.0), ("Si", "2b", 1 / 4),
             ("C", "2a", 3 / 16), ("C", "2b", 1 / 4 + 3 / 16)],
    "ABCACB": [("Si", "2a", 0.0), ("Si", "2b", 1 / 6), ("Si", "2b", 5 / 6),
               ("C", "2a", 1 / 8), ("C", "2b", 1 / 6 + 1 / 8), ("C", "2b", 5 / 6 + 1 / 8)],
}


def table_entry(name):
    for entry in make_structures.NONCUBIC:
        if entry[0] == name:
            return entry
    raise KeyError(name)


def lattice_floats(lat):
    return [float(lat[k]) for k in ("a", "b", "c", "alpha", "beta", "gamma")]


def build(name):
    """xrayutilities Crystal from the space group and Wyckoff positions."""
    _, elems, kind, lat, p, _, _, _, _, _, _ = table_entry(name)
    a, b, c, alpha, beta, gamma = lattice_floats(lat)
    if kind == "wurtzite":
        sg = xu.materials.SGLattice(186, a, c, atoms=elems,
                                    pos=[("2b", 0.0), ("2b", float(p["u"]))])
    elif kind == "polytype":
        wyck = POLYTYPE_WYCKOFF[p["stacking"]]
        sg = xu.materials.SGLattice(186, a, c, atoms=[w[0] for w in wyck],
                                    pos=[(w[1], w[2]) for w in wyck])
    elif kind == "corundum":
        sg = xu.materials.SGLattice("167:H", a, c, atoms=elems,
                                    pos=[("12c", float(p["z_Al"])), ("18e", float(p["x_O"]))])
    elif kind == "beta-gallia":
        labels = ["Ga1", "Ga2", "O1", "O2", "O3"]
        sg = xu.materials.SGLattice(12, a, b, c, beta, atoms=[l.rstrip("123") for l in labels],
                                    pos=[("4i", (float(p[l][0]), float(p[l][1]))) for l in labels])
    else:
        raise ValueError(kind)
    for want, got in zip((a, b, c, alpha, beta, gamma),
                         (sg.a, sg.b, sg.c, sg.alpha, sg.beta, sg.gamma)):
        assert abs(want - got) < 1e-12, (name, want, got)
    return xu.materials.Crystal(name, sg)


def stf_sites(name):
    """{symbol: [(x, y, z), ...]} and line 3 of Base/<name>.stf (line 2 names
    the symbols of a non-cubic file)."""
    lines = (BASE / (name + ".stf")).read_text().splitlines()
    symbols = lines[1].split(",")[2:]
    sites = {}
    for sym in symbols:
        i = next(i for i, l in enumerate(lines)
                 if l[:len(sym)] == sym and not l[len(sym):len(sym) + 1].islower())
        n = int(lines[i + 1])
        sites[sym] = [tuple(float(v) for v in l.split(",")) for l in lines[i + 2:i + 2 + n]]
    return sites, lines[2]


def same_sets(ours, theirs, tol=1e-6):
    def close(p, q):
        return all(abs((x - y + 0.5) % 1.0 - 0.5) < tol for x, y in zip(p, q))
    return (len(ours) == len(theirs)
            and all(any(close(p, q) for q in theirs) for p in ours)
            and all(any(close(p, q) for p in ours) for q in theirs))


def check_expansion(name, crystal):
    sites, line3 = stf_sites(name)
    theirs = {}
    for atom, pos, occ, b in crystal.lattice.base():
        theirs.setdefault(atom.basename, []).append(tuple(float(v) for v in pos))
    if sorted(sites) != sorted(theirs):
        raise SystemExit("%s: elements %s against xrayutilities' %s" % (name, sorted(sites), sorted(theirs)))
    for sym in sites:
        if not same_sets(sites[sym], theirs[sym]):
            raise SystemExit("%s: the %s sites of Base/%s.stf differ from xrayutilities' expansion"
                             % (name, sym, name))
    lat = table_entry(name)[3]
    values = line3.split(",")
    if [values[0]] + values[2:] != [lat[k] for k in ("a", "b", "c", "alpha", "beta", "gamma")]:
        raise SystemExit("%s: line 3 of Base/%s.stf is not the table's lattice; rerun make_structures.py"
                         % (name, name))


def chi_h_of_F(crystal, q, en):
    r_e = scipy.constants.physical_constants["classical electron radius"][0] * 1e10
    lam = xu.utilities.en2lam(en)
    return r_e * lam ** 2 / (math.pi * crystal.lattice.UnitCellVolume()) \
        * abs(crystal.StructureFactor(q, en=en))


def check_gaas():
    gaas = xu.materials.Crystal("GaAs", xu.materials.SGLattice(216, 5.65325, atoms=["Ga", "As"],
                                                               pos=["4a", "4c"]))
    q = gaas.Q(0, 0, 4)
    chi = abs(complex(*gaas.chih(q, en=ENERGIES[0], polarization="S")))
    if abs(chi / 1.82e-5 - 1) > 5e-3:
        raise SystemExit("GaAs 004: |chi_h| = %r, expected 1.82e-5" % chi)
    if abs(chi / chi_h_of_F(gaas, q, ENERGIES[0]) - 1) > 1e-9:
        raise SystemExit("GaAs 004: chih() and StructureFactor() disagree")


def row(name, crystal, hkl, en):
    q = crystal.Q(*hkl)
    d = 2 * math.pi / float(numpy.linalg.norm(q))
    theta = math.degrees(math.asin(HC_XRDCALC / en / (2 * d)))
    chi0 = complex(crystal.chi0(en=en))
    chih = abs(complex(*crystal.chih(q, en=en, polarization="S")))
    if table_entry(name)[2] in ("corundum", "beta-gallia"):
        # centrosymmetric: the modulus is |chi_h| itself
        assert abs(chih / chi_h_of_F(crystal, q, en) - 1) < 1e-9, (name, hkl, en)
    a, b, c, alpha, beta, gamma = lattice_floats(table_entry(name)[3])
    h, k, l = hkl
    return ",".join([name, repr(en), "%d" % h, "%d" % k, "%d" % l]
                    + [repr(v) for v in (a, b, c, alpha, beta, gamma, theta,
                                         chi0.real, chi0.imag, chih)])


def package_version():
    try:
        out = subprocess.run(["dpkg-query", "-W", "-f=${Version}", "python3-xrayutilities"],
                             capture_output=True, text=True, check=True)
        return out.stdout.strip()
    except (OSError, subprocess.CalledProcessError):
        return "unknown"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--out", default=str(REFERENCE_FILE))
    args = parser.parse_args()

    check_gaas()
    crystals = {}
    for entry in make_structures.NONCUBIC:
        crystals[entry[0]] = build(entry[0])
        check_expansion(entry[0], crystals[entry[0]])
    rows = [row(name, crystals[name], hkl, en) for name, hkl in CASES for en in ENERGIES]
    header = [
        "# Made by tools/make_cell_reference.py with xrayutilities %s (Debian python3-xrayutilities %s);"
        % (xu.__version__, package_version()),
        "# do not edit by hand. Crystals built in xrayutilities from space group and Wyckoff positions",
        "# with the lattice constants and internal parameters of tools/make_structures.py, no",
        "# Debye-Waller factor. Columns: name, energy_ev (photon energy, eV), h, k, l (three-index,",
        "# hexagonal axes for hexagonal and trigonal cells), a, b, c (angstrom), alpha, beta, gamma",
        "# (degrees), theta_deg (Bragg angle, degrees, asin(lambda/2d) with lambda = 12398.100046/E",
        "# angstrom), chi0_real, chi0_imag (crystal.chi0), abs_chi_h (sigma polarisation,",
        "# abs(complex(*crystal.chih(Q, en, 'S'))) = sqrt((|chi_h|^2 + |chi_-h|^2)/2); equal to |chi_h|",
        "# for the centrosymmetric cells AlOalpha and GaObeta). See the script's docstring.",
    ]
    out = pathlib.Path(args.out)
    out.write_text("\n".join(header + rows) + "\n")
    print("wrote", out)


if __name__ == "__main__":
    main()
