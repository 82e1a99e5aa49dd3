#!/usr/bin/env python3
"""Writes Base/debye_waller.dat: the Debye-Waller factor B(T) of each element
in each structure that has a phonon density of states here, or an accurately
measured B, from 0 to 1000 K.

For a harmonic crystal the mean-square displacement of an atom of mass M
along any direction is

    <u^2>(T) = hbar^2 / (2 M) * Int g(E) / E * coth(E / (2 k T)) dE,

with g the element's partial phonon density of states (normalised to 1) and
E = hbar omega; B = 8 pi^2 <u^2>. At 0 K the coth is 1: the zero-point
motion. At high T the coth tends to 2kT/E and B grows linearly with T.

The densities of states are those of the NCrystal data library (files in
tools/phonon_dos/, each naming the calculation or measurement it comes from).
Below the lowest tabulated energy the density goes as E^2, as for acoustic
phonons (NCrystal's own convention). The masses are xraydb's atomic masses.
A density of states averages over directions, so every row is isotropic B:
for the hexagonal crystals B11 and B33 are not told apart. The harmonic
model leaves out thermal expansion, which makes B somewhat too small at high
temperature.

Silicon is the exception: its B at room temperature is known to 0.1 %
(0.4632 A^2 at 295 K, Flensburg & Stewart, Phys. Rev. B 60, 284 (1999)),
and the calculated density of states gives 16 % more. Its row is a Debye
model, B = 6 h^2 T / (M k Theta^2) (phi(x) + x/4) with x = Theta/T and
phi(x) = (1/x) Int_0^x t/(e^t - 1) dt, whose (X-ray) Debye temperature
Theta is the one that gives that measured B.

Usage: python3 tools/make_debye_waller.py [output path]
"""

import math
import re
import sys
from pathlib import Path

import numpy as np
import xraydb
from scipy.integrate import quad
from scipy.optimize import brentq

HERE = Path(__file__).resolve().parent
DOS_DIRECTORY = HERE / "phonon_dos"
OUTPUT = HERE.parent / "Base" / "debye_waller.dat"

HBAR = 1.054571817e-34  # J s
K_B = 1.380649e-23  # J/K
EV = 1.602176634e-19  # J
AMU = 1.66053906660e-27  # kg

TEMPERATURES_K = np.arange(0.0, 1001.0, 10.0)

# Structure of Base/ -> (density-of-states file, source key[, melting point in K
# where it is below the grid's end: the row ends there]).
STRUCTURES = {
    "Ge": ("Ge_sg227.ncmat", "NN72"),
    "C": ("C_sg227_Diamond.ncmat", "X99"),
    "SiC": ("SiC-beta_sg216_BetaSiliconCarbide.ncmat", "KY-SiC"),
    "GaNw": ("GaN_sg186_GalliumNitride.ncmat", "KY-GaN"),
    "AlNw": ("AlN_sg186_AluminumNitride.ncmat", "KY-AlN"),
    "AlOalpha": ("Al2O3_sg167_Corundum.ncmat", "LP03"),
    "BaF": ("BaF2_sg225_BariumFluoride.ncmat", "KY-BaF2"),
    "LiF": ("LiF_sg225_LithiumFlouride.ncmat", "KY-LiF"),
    "NaCl": ("NaCl_sg225_SodiumChloride.ncmat", "KY-NaCl"),
    "Cu": ("Cu_sg225.ncmat", "N67"),
    "Ag": ("Ag_sg225.ncmat", "H17"),
    "Al": ("Al_sg225.ncmat", "TT15", 933.0),
    "Au": ("Au_sg225.ncmat", "LB81"),
    "Fe": ("Fe_sg229_Iron-alpha.ncmat", "MSN67"),
    "Mo": ("Mo_sg229.ncmat", "LB81"),
    "Ni": ("Ni_sg225.ncmat", "K07"),
    "MgO": ("MgO_sg225_Periclase.ncmat", "KY-MgO"),
    "PbS": ("PbS_sg225_LeadSulfide.ncmat", "KY-PbS"),
    "CaF": ("CaF2_sg225_CalciumFlouride.ncmat", "KY-CaF2"),
    "SrF": ("SrF2_sg225_StrontiumFluoride.ncmat", "KY-SrF2"),
    "ZnOw": ("ZnO_sg186_ZincOxide.ncmat", "KY-ZnO"),
    "ZnS": ("ZnS-sphalerite_sg216_ZincSulfide.ncmat", "KY-ZnS"),
}

# Structure -> element -> (measured B in A^2, at temperature in K, source key):
# rows of a Debye model through that B.
MEASURED = {
    "Si": {"Si": (0.4632, 295.0, "FS99")},
}

SOURCES = """\
#C Sources: the phonon densities of states of the NCrystal data library
#C (github.com/mctools/ncrystal, data/*.ncmat), copied to tools/phonon_dos/:
#C   NN72    Ge: Nelin & Nilsson, Phys. Rev. B 5, 3151 (1972), Fig. 3 (neutron
#C           spectrometry at 80 K), digitised by T. Kittelmann
#C   X99     C (diamond): Xie et al., Phys. Rev. B 60, 9444 (1999), Fig. 9, 0 GPa
#C           (calculated), digitised by T. Kittelmann
#C   LP03    sapphire: Lodziana & Parlinski, Phys. Rev. B 67, 174106 (2003),
#C           Fig. 5 (calculated), digitised by T. Kittelmann
#C   N67     Cu: Nicklow et al., Phys. Rev. 164, 922 (1967), Fig. 4, the 298 K
#C           curve (from neutron-measured dispersion), digitised by T. Kittelmann
#C   H17     Ag: Hart et al., Acta Mater. 124, 325 (2017), Fig. 6 (calculated),
#C           digitised by T. Kittelmann
#C   TT15    Al: Togo & Tanaka, Scr. Mater. 108, 1 (2015), Fig. 1 (calculated),
#C           digitised by T. Kittelmann; the row ends at the melting point
#C   LB81    Au, Mo (296 K): Landolt-Boernstein III/13A (1981), phonon states of
#C           the elements
#C   MSN67   Fe (alpha): Minkiewicz, Shirane & Nathans, Phys. Rev. 162, 528
#C           (1967), Fig. 5 (from neutron-measured dispersion), digitised
#C   K07     Ni: Kresch et al., Phys. Rev. B 75, 104301 (2007), Fig. 4 (neutron
#C           scattering), digitised by T. Kittelmann
#C   KY-xxx  SiC (3C), GaN and AlN (wurtzite), BaF2, LiF, NaCl, MgO, PbS, CaF2,
#C           SrF2, ZnO (wurtzite) and ZnS (zincblende): partial densities of
#C           states per element from the Kyoto phonon database (phonopy, Togo &
#C           Tanaka, Scr. Mater. 108, 1 (2015); materials project mp-8062,
#C           mp-804, mp-661, mp-1029, mp-1138, mp-22862, mp-1265, mp-21276,
#C           mp-2741, mp-981, mp-2133, mp-10695), computed with OCLIMAX by
#C           K. Ramic (ESS); CaF2, SrF2, ZnO and ZnS as the highness-eu fork of
#C           NCrystal holds them
#C   FS99    Si: B = 0.4632 A^2 at 295 K, Flensburg & Stewart, Phys. Rev. B 60,
#C           284 (1999); a Debye model through it (X-ray Debye temperature
#C           {theta_si:.1f} K) gives B(T)
"""

HEADER = """\
#F debye_waller.dat: Debye-Waller factors B(T) of the elements of the structures
#UT B = 8 pi^2 <u^2> in square angstroms, <u^2> the mean-square displacement along
#UT one direction; temperatures in kelvin, 0 to 1000 K every 10 K
#C Written by tools/make_debye_waller.py (do not edit by hand): B(T) from each
#C element's phonon density of states g(E) in the harmonic approximation,
#C <u^2> = hbar^2/(2M) Int g(E)/E coth(E/2kT) dE, with xraydb's atomic masses;
#C for Si from a Debye model through its measured B (FS99).
#C Isotropic B in every row (a density of states averages over directions).
#C Harmonic: thermal expansion is left out, so B is somewhat low at high T.
{sources}#
# A row: structure, element, B (isotropic) or B11/B33 (across and along c),
# source key, and B at each temperature of the grid from 0 K on.
"""


def expand_values(tokens):
    """NCrystal's compressed lists: "0r34" is 0 repeated 34 times."""
    values = []
    for token in tokens:
        if "r" in token:
            value, count = token.split("r")
            values.extend([float(value)] * int(count))
        else:
            values.append(float(token))
    return values


def read_densities(path):
    """{element: (energies in eV, density)} of the file's @DYNINFO sections.
    A line that begins with a name starts a field; the lines after it that
    begin with a number continue it."""
    densities = {}
    for section in re.split(r"^@", path.read_text(), flags=re.M):
        if not section.startswith("DYNINFO"):
            continue
        fields = {}
        key = None
        for line in section.splitlines()[1:]:
            parts = line.split()
            if not parts or parts[0].startswith("#"):
                continue
            if re.match(r"[A-Za-z_]", parts[0]):
                key = parts[0]
                fields[key] = parts[1:]
            else:
                fields[key].extend(parts)
        element = fields["element"][0]
        density = np.array(expand_values(fields["vdos_density"]))
        grid = [float(v) for v in fields["vdos_egrid"]]
        energies = np.linspace(grid[0], grid[1], len(density)) if len(grid) == 2 else np.array(grid)
        if len(energies) != len(density):
            raise SystemExit(f"{path.name}: {element}: {len(energies)} energies, {len(density)} densities")
        densities[element] = (energies, density)
    return densities


def b_of_temperature(energies_ev, density, mass_amu, temperatures_k):
    """B(T) in square angstroms from the density of states."""
    low = energies_ev[0]
    below = np.linspace(low * 1e-4, low, 2000, endpoint=False)
    e = np.concatenate([below, energies_ev])
    g = np.concatenate([density[0] * (below / low) ** 2, density])
    norm = np.trapz(g, e)
    e_joule = e * EV
    result = []
    for t in temperatures_k:
        if t == 0.0:
            factor = np.ones_like(e)
        else:
            x = e_joule / (2.0 * K_B * t)
            factor = 1.0 / np.tanh(x)
        integral = np.trapz(g / e_joule * factor, e_joule) / (norm * EV)
        u2_m2 = HBAR ** 2 / (2.0 * mass_amu * AMU) * integral
        result.append(8.0 * math.pi ** 2 * u2_m2 * 1e20)
    return np.array(result)


def debye_b(theta_k, mass_amu, temperatures_k):
    """B(T) in square angstroms of a Debye model."""
    h = 2.0 * math.pi * HBAR
    zero_point = 3.0 * h * h / (2.0 * mass_amu * AMU * K_B * theta_k) * 1e20
    result = []
    for t in temperatures_k:
        if t == 0.0:
            result.append(zero_point)
            continue
        x = theta_k / t
        phi = quad(lambda y: y / math.expm1(y) if y > 0 else 1.0, 0.0, x)[0] / x
        result.append(6.0 * h * h * t / (mass_amu * AMU * K_B * theta_k ** 2) * (phi + x / 4.0) * 1e20)
    return np.array(result)


def debye_temperature_through(b, temperature_k, mass_amu):
    """The Debye temperature whose model gives `b` at `temperature_k`."""
    return brentq(lambda theta: debye_b(theta, mass_amu, [temperature_k])[0] - b, 50.0, 3000.0, xtol=1e-9)


def rows():
    for structure, elements in MEASURED.items():
        for element, (b, temperature_k, source) in elements.items():
            mass = xraydb.atomic_mass(element)
            theta = debye_temperature_through(b, temperature_k, mass)
            yield structure, element, source, debye_b(theta, mass, TEMPERATURES_K)
    for structure, (file_name, source, *melting) in STRUCTURES.items():
        densities = read_densities(DOS_DIRECTORY / file_name)
        temperatures = TEMPERATURES_K[TEMPERATURES_K <= melting[0]] if melting else TEMPERATURES_K
        for element, (energies, density) in densities.items():
            b = b_of_temperature(energies, density, xraydb.atomic_mass(element), temperatures)
            yield structure, element, source, b


def main():
    output = Path(sys.argv[1]) if len(sys.argv) > 1 else OUTPUT
    theta_si = debye_temperature_through(*MEASURED["Si"]["Si"][:2], xraydb.atomic_mass("Si"))
    lines = [HEADER.format(sources=SOURCES.format(theta_si=theta_si))]
    lines.append("temperatures " + " ".join(f"{t:g}" for t in TEMPERATURES_K) + "\n")
    for structure, element, source, b in rows():
        lines.append(f"{structure} {element} B {source} " + " ".join(f"{v:.5f}" for v in b) + "\n")
    output.write_text("".join(lines))


if __name__ == "__main__":
    main()
