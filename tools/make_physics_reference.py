#!/usr/bin/python3
"""Reference values for tests/physics/physics_test.cpp, computed with xraylib and xraydb.

The physics test compares xrdcalc with independent libraries without
needing them when the tests run: this script computes the values once
(Debian packages python3-xraylib and python3-xraydb) and writes them to
tests/physics/xraylib_reference.csv, high_energy_reference.csv and
edge_scan_reference.csv.

Usage:
    apt-get install python3-xraylib python3-xraydb
    /usr/bin/python3 tools/make_physics_reference.py

What is computed, for each case (crystal, wavelength, h k l):

* photon energy E = xraylib.KEV2ANGST / lambda (keV); xraylib's own hc
  (12.3984193 keV*A in 4.0.0) is used so that the wavelength inside
  xraylib is exactly lambda.  xrdcalc uses hc = 12398.100046 eV*A; the
  energies differ by 3e-5 relative, far below every tolerance.
* crystal: xraylib.Crystal_GetCrystal(name) (site list, Z, occupancy 1),
  with a = b = c set to OUR lattice constant (line 3 of Base/<name>.stf) and
  volume = a**3.  xraylib's own lattice constants are recorded too
  (a_xraylib, theta_xraylib): they agree with ours within 2e-4 relative
  except InAs, where xraylib's crystal table has 6.036 A against the
  room-temperature value 6.0583 A (Vurgaftman et al. 2001) that Base/InAs.stf
  carries; with xraylib's value the InAs Bragg angles would differ by up to
  0.13 deg, which is a difference of data, not of the computation.
* theta: xraylib.Bragg_angle(crystal, E, h, k, l), radians -> degrees.
* F(hkl), F(-h-k-l): xraylib.Crystal_F_H_StructureFactor(crystal, E, h, k, l,
  debye_factor=1.0, rel_angle=1.0).  xraylib forms per atom
  f = FF_Rayl(Z, q) + Fi(Z, E) + i * (-Fii(Z, E)) with q = sin(theta)/lambda
  and sums f * exp(+2 pi i (h x + k y + l z)), the same phase convention as
  xrdcalc's F(hkl) (output lines 5 and 6); F(-h-k-l) is lines 3 and 4.
  Only the moduli are stored: the test compares |F|.
* sum f1 = sum over the cell's sites of (Z + Fi(Z, E)): xraylib's Fi is the
  anomalous part f' (negative near and below edges), so Z + f' is the total
  real factor that corresponds to f1 of Base/f1f2.dat.
* sum f2 = sum over the sites of -Fii(Z, E): xraylib's Fii is f'' with a
  NEGATIVE sign convention (e.g. Fii(14, 8.048 keV) = -0.336), so -Fii is
  the positive absorptive part that corresponds to f2 of Base/f1f2.dat.

xraylib's f0 (FF_Rayl, Hubbell et al.) and f', f'' tables are independent
of the Waasmaier-Kirfel and Chantler (or Henke) tables in Base/, so the comparison checks
both the data handling and the formulas, within the tolerances that such
table differences allow (the test file states them).
"""

import argparse
import math
import pathlib
import subprocess

import xraylib

CU_KA1 = 1.5405929  # angstrom
MO_KA1 = 0.70931715  # angstrom

CRYSTALS = ["Si", "Ge", "GaAs", "InAs", "InP"]
REFLECTIONS = [(0, 0, 4), (1, 1, 1), (2, 2, 0)]
# Extra cases above the Ga and As K edges (10.37 and 11.87 keV).
MO_CASES = [("Si", (0, 0, 4)), ("GaAs", (0, 0, 4))]

HERE = pathlib.Path(__file__).resolve().parent.parent / "tests" / "physics"
BASE = HERE.parent.parent / "Base"
REFERENCE_FILE = HERE / "xraylib_reference.csv"


def our_lattice_constant(name):
    """Lattice constant from line 3 ("a,nu") of Base/<name>.stf."""
    lines = (BASE / (name + ".stf")).read_text().splitlines()
    return float(lines[2].split(",")[0])


def with_lattice(crystal, a):
    c = dict(crystal)
    c["a"] = c["b"] = c["c"] = a
    c["volume"] = a ** 3
    return c


def package_version():
    try:
        out = subprocess.run(["dpkg-query", "-W", "-f=${Version}", "python3-xraylib"],
                             capture_output=True, text=True, check=True)
        return out.stdout.strip()
    except (OSError, subprocess.CalledProcessError):
        return "unknown"


def case_row(name, lam, hkl):
    native = xraylib.Crystal_GetCrystal(name)
    for alpha in ("alpha", "beta", "gamma"):
        assert native[alpha] == 90.0, name
    a = our_lattice_constant(name)
    crystal = with_lattice(native, a)
    energy = xraylib.KEV2ANGST / lam
    h, k, l = hkl
    theta = math.degrees(xraylib.Bragg_angle(crystal, energy, h, k, l))
    theta_native = math.degrees(xraylib.Bragg_angle(native, energy, h, k, l))
    f_plus = xraylib.Crystal_F_H_StructureFactor(crystal, energy, h, k, l, 1.0, 1.0)
    f_minus = xraylib.Crystal_F_H_StructureFactor(crystal, energy, -h, -k, -l, 1.0, 1.0)
    sum_f1 = 0.0
    sum_f2 = 0.0
    for atom in crystal["atom"]:
        z = atom["Zatom"]
        sum_f1 += atom["fraction"] * (z + xraylib.Fi(z, energy))
        sum_f2 += atom["fraction"] * (-xraylib.Fii(z, energy))
    return {
        "name": name, "lam": lam, "hkl": hkl, "a": a, "a_native": native["a"],
        "energy": energy, "theta": theta, "theta_native": theta_native,
        "f_plus": abs(f_plus), "f_minus": abs(f_minus), "f1": sum_f1, "f2": sum_f2,
    }


def reference_rows(rows):
    out = []
    for r in rows:
        h, k, l = r["hkl"]
        out.append("%s,%r,%d,%d,%d,%r,%.6f,%.6f,%.6f,%.6f,%.5f,%.5f,%.5f,%.5f"
                   % (r["name"], r["lam"], h, k, l, r["a"], r["a_native"], r["energy"], r["theta"],
                      r["theta_native"], r["f_plus"], r["f_minus"], r["f1"], r["f2"]))
    return out


# --- high energies and absorption edges --------------------------------------

HIGH_ENERGIES_KEV = [40, 60, 80, 120, 200]
EDGE_MARGIN_KEV = 1.5
HIGH_ENERGY_FILE = HERE / "high_energy_reference.csv"
EDGE_SCAN_FILE = HERE / "edge_scan_reference.csv"


def structure_sites(name):
    """{symbol: number of sites} of Base/<name>.stf, read as xrdcalc reads it."""
    lines = (BASE / (name + ".stf")).read_text().splitlines()
    fields = lines[1].split(",")
    count = int(fields[0])
    symbols = [name[:2], name[2:4]] if name[1:2].islower() else [name[:1], name[1:3]]
    symbols = symbols[:count] if count == 2 else [name[:2] if name[1:2].islower() else name[:1]]
    if len(fields) > 2:  # the elements named after the space group ("2,186,Ga,N")
        symbols = fields[2:]
    sites = {}
    for sym in symbols:
        for i, line in enumerate(lines):
            if line[:len(sym)] == sym and not line[len(sym):len(sym) + 1].islower():
                sites[sym] = int(lines[i + 1].split()[0])
                break
    return sites


def near_edge(z, energy_kev):
    for shell in range(0, 9):  # K, L1-L3, M1-M5
        try:
            edge = xraylib.EdgeEnergy(z, shell)
        except ValueError:  # the atom has no such shell
            continue
        if edge > 0 and abs(edge - energy_kev) < EDGE_MARGIN_KEV:
            return True
    return False


def high_energy_rows():
    rows = []
    for path in sorted(BASE.glob("*.stf")):
        name = path.stem
        sites = structure_sites(name)
        zs = {sym: xraylib.SymbolToAtomicNumber(sym) for sym in sites}
        for e in HIGH_ENERGIES_KEV:
            if any(near_edge(z, e) for z in zs.values()):
                continue
            f1 = sum(n * (zs[s] + xraylib.Fi(zs[s], e)) for s, n in sites.items())
            f2 = sum(n * -xraylib.Fii(zs[s], e) for s, n in sites.items())
            rows.append("%s,%d,%.5f,%.6f" % (name, e, f1, f2))
    return rows


def edge_scan_rows():
    import xraydb
    rows = []
    for edge_element in ("Ga", "As"):
        edge_ev = xraydb.xray_edge(edge_element, "K").energy
        for step in range(-20, 21):
            e = edge_ev + 10.0 * step
            f1 = 4 * (31 + float(xraydb.f1_chantler("Ga", e))) + 4 * (33 + float(xraydb.f1_chantler("As", e)))
            f2 = 4 * float(xraydb.f2_chantler("Ga", e)) + 4 * float(xraydb.f2_chantler("As", e))
            rows.append("%s,%.1f,%.4f,%.5f" % (edge_element, e, f1, f2))
    return rows


def write_csv(path, header, rows):
    path.write_text("\n".join(header + rows) + "\n")
    print("wrote", path)


def write_tables(rows):
    write_csv(REFERENCE_FILE, [
        "# Made by tools/make_physics_reference.py with xraylib %s (Debian python3-xraylib %s);"
        % (xraylib.__version__, package_version()),
        "# do not edit by hand. Columns: name, lambda (A), h, k, l, a used (A, from Base/<name>.stf),",
        "# a of xraylib's crystal table (A), energy (keV), theta (deg, Bragg_angle with our a), theta",
        "# with xraylib's own a (deg), |F(hkl)|, |F(-h-k-l)| (Crystal_F_H_StructureFactor, debye_factor",
        "# 1, rel_angle 1), sum of Z + Fi, sum of -Fii over the cell.",
    ], reference_rows(rows))
    write_csv(HIGH_ENERGY_FILE, [
        "# Made by tools/make_physics_reference.py with xraylib %s (Debian python3-xraylib %s);"
        % (xraylib.__version__, package_version()),
        "# do not edit by hand. Every structure of Base/ at 40, 60, 80, 120 and 200 keV, except within",
        "# %.1f keV of an absorption edge (K to M5, xraylib.EdgeEnergy) of one of its elements." % EDGE_MARGIN_KEV,
        "# Columns: structure, energy (keV), sum over the cell of Z + Fi, sum of -Fii (electrons).",
    ], high_energy_rows())
    write_csv(EDGE_SCAN_FILE, [
        "# Made by tools/make_physics_reference.py with xraydb (Debian python3-xraydb): GaAs (4 Ga + 4 As)",
        "# from 200 eV below to 200 eV above the Ga and the As K edge (xraydb.xray_edge) in 10 eV steps.",
        "# Columns: edge element, energy (eV), sum of Z + f1_chantler, sum of f2_chantler (xraydb's own",
        "# interpolation of Chantler's tables).",
    ], edge_scan_rows())


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.parse_args()
    rows = [case_row(name, CU_KA1, hkl) for name in CRYSTALS for hkl in REFLECTIONS]
    rows += [case_row(name, MO_KA1, hkl) for name, hkl in MO_CASES]
    write_tables(rows)


if __name__ == "__main__":
    main()
