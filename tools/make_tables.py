#!/usr/bin/env python3
"""Build the atomic data tables in Base/ from the DABAX files shipped by
the Debian package python3-xrayutilities and the Chantler (NIST FFAST)
table shipped by the Debian package python3-xraydb.

    apt-get install python3-xrayutilities python3-xraydb
    python3 tools/make_tables.py [--f1f2 chantler|henke] [--source DIR]
                                 [--xraydb FILE] [--out DIR]

Writes
  Base/f0_xop.dat  Waasmaier & Kirfel type f0 coefficients, H .. Cf
  Base/f1f2.dat    f1, f2 vs photon energy, H .. U, closed by a data-less
                   Cf record: by default Chantler's tables (1 keV .. 400 keV),
                   with --f1f2 henke the DABAX copy of Henke's tables
                   (29 eV .. 30 keV)

The output is a pure function of the input files: rerunning gives
byte-identical files.  Every property that xrdcalc's table reader relies
on is checked after writing; any violation stops the script with an error.
"""

import argparse
import decimal
import json
import lzma
import os
import pathlib
import re
import sqlite3
import sys

SYMBOLS = (
    "H He Li Be B C N O F Ne Na Mg Al Si P S Cl Ar K Ca Sc Ti V Cr Mn Fe "
    "Co Ni Cu Zn Ga Ge As Se Br Kr Rb Sr Y Zr Nb Mo Tc Ru Rh Pd Ag Cd In "
    "Sn Sb Te I Xe Cs Ba La Ce Pr Nd Pm Sm Eu Gd Tb Dy Ho Er Tm Yb Lu Hf "
    "Ta W Re Os Ir Pt Au Hg Tl Pb Bi Po At Rn Fr Ra Ac Th Pa U Np Pu Am "
    "Cm Bk Cf"
).split()
Z_OF = {s: i + 1 for i, s in enumerate(SYMBOLS)}
LAST_Z = 98                      # Cf: must be the last record of each table
HENKE_LAST_Z = 92                # U: last element tabulated by Henke

F0_LITERAL = "UP MPFIT guess (Waasmaier&Kirfel) data: "
F0_HASH_INDEX = 10               # the literal follows the 10th '#' of a record
NO_DATA_F1 = -0.9999             # DABAX marker for "no f1 value" (E < 29 eV)

DEFAULT_SOURCES = [
    "/usr/lib/python3/dist-packages/xrayutilities/materials/data",
    "/usr/local/lib/python3/dist-packages/xrayutilities/materials/data",
]

DEFAULT_XRAYDB = [
    "/usr/lib/python3/dist-packages/xraydb/xraydb.sqlite",
    "/usr/local/lib/python3/dist-packages/xraydb/xraydb.sqlite",
]

# Energy range kept from the Chantler table: every grid point from the last
# one at or below CHANTLER_EMIN to the first one at or above CHANTLER_EMAX.
CHANTLER_EMIN = 1000.0           # eV
CHANTLER_EMAX = 400000.0         # eV

NUMBER = r"[-+]?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?"


class TableError(Exception):
    pass


def die(msg):
    raise TableError(msg)


# --------------------------------------------------------------------------
# input

def find_source(explicit):
    candidates = [pathlib.Path(explicit)] if explicit else []
    if not explicit:
        candidates += [pathlib.Path(p) for p in DEFAULT_SOURCES]
        for base in sorted(pathlib.Path("/usr/lib").glob("python3*/*-packages")):
            candidates.append(base / "xrayutilities" / "materials" / "data")
    for c in candidates:
        if (c / "f0_xop.dat.xz").exists() or (c / "f0_xop.dat").exists():
            return c
    die("cannot find the DABAX files of xrayutilities; install the Debian "
        "package python3-xrayutilities or pass --source DIR "
        "(looked in: %s)" % ", ".join(str(c) for c in candidates))


def read_table(source, name):
    plain = source / name
    packed = source / (name + ".xz")
    if plain.exists():
        data = plain.read_bytes()
    elif packed.exists():
        data = lzma.decompress(packed.read_bytes())
    else:
        die("missing %s(.xz) in %s" % (name, source))
    text = data.decode("ascii")
    return text.replace("\r\n", "\n").replace("\r", "\n")


def split_records(text):
    """Return (preamble_lines, [(z, symbol, [lines])]).

    A record starts at a line beginning with '#S'.  Records whose symbol is
    not a neutral element (ions such as 'Li1+', 'O2-') are dropped."""
    preamble, records, current = [], [], None
    for line in text.split("\n"):
        if line.startswith("#S"):
            fields = line[2:].split()
            if len(fields) < 2:
                die("malformed record header: %r" % line)
            sym = fields[1]
            if sym not in Z_OF:
                current = None            # ion or unknown symbol: skip
                continue
            if int(fields[0]) != Z_OF[sym]:
                die("header %r: Z does not match symbol" % line)
            current = [line]
            records.append((Z_OF[sym], sym, current))
        elif current is not None:
            current.append(line)
        elif not records:
            preamble.append(line)
    # drop the empty string left by the final newline
    for _, _, lines in records:
        while lines and lines[-1] == "":
            lines.pop()
    preamble = [l for l in preamble if "#S" not in l]
    records.sort(key=lambda r: r[0])
    zs = [r[0] for r in records]
    if len(zs) != len(set(zs)):
        die("duplicate neutral records for Z in %s" % sorted(
            z for z in set(zs) if zs.count(z) > 1))
    return preamble, records


def normalise_header(z, sym):
    """'#S  <Z>  <Sym>' laid out so that 'skip 4 characters after #S, skip
    white space, take 2 characters' yields the symbol field."""
    return "#S  %d  %s" % (z, sym)


# --------------------------------------------------------------------------
# f0

def make_f0(text):
    preamble, records = split_records(text)
    want = list(range(1, LAST_Z + 1))
    have = [r[0] for r in records]
    if have[:LAST_Z] != want:
        missing = sorted(set(want) - set(have))
        die("f0 source lacks neutral records for Z = %s" % missing)
    records = [r for r in records if r[0] <= LAST_Z]
    out = list(preamble)
    pattern = re.compile(re.escape(F0_LITERAL.rstrip()) + r"\s*(.*)$")
    for z, sym, lines in records:
        body = []
        done = False
        for line in lines:
            m = pattern.search(line)
            if m and not done:
                nums = m.group(1).split()
                if len(nums) != 11 or not all(re.fullmatch(NUMBER, n) for n in nums):
                    die("%s: expected 11 numbers after the W&K literal, got %r"
                        % (sym, m.group(1)))
                line = line[:m.start()] + F0_LITERAL + ",".join(nums)
                done = True
            body.append(line)
        if not done:
            die("%s: no '%s' line in f0 record" % (sym, F0_LITERAL.strip()))
        # keep the source header if it already satisfies the layout,
        # otherwise rewrite it
        if header_symbol(body[0] + "\n", 0) is None or \
                not symbol_matches(sym, header_symbol(body[0] + "\n", 0)):
            body[0] = normalise_header(z, sym)
        out.extend(body)
    return "\n".join(out) + "\n", len(records)


def f0_coefficients(record_text, sym):
    """Parse one record the way the program does: count '#' characters,
    the 10th must be followed by the literal, then 11 numbers, the first
    ten each followed directly by a comma."""
    pos = -1
    for _ in range(F0_HASH_INDEX):
        pos = record_text.find("#", pos + 1)
        if pos < 0:
            die("%s: fewer than %d '#' in f0 record" % (sym, F0_HASH_INDEX))
    start = pos + 1
    if not record_text.startswith(F0_LITERAL, start):
        die("%s: '#' number %d is followed by %r, not the W&K literal"
            % (sym, F0_HASH_INDEX, record_text[start:start + 45]))
    rest = record_text[start + len(F0_LITERAL):]
    vals = []
    p = 0
    for i in range(11):
        m = re.compile(r"\s*(" + NUMBER + ")").match(rest, p)
        if not m:
            die("%s: coefficient %d unreadable" % (sym, i + 1))
        vals.append(float(m.group(1)))
        p = m.end()
        if i < 10:
            if rest[p:p + 1] != ",":
                die("%s: coefficient %d not followed by a comma" % (sym, i + 1))
            p += 1
    return vals


# --------------------------------------------------------------------------
# f1 f2

def check_energies_ascend(sym, rows):
    """Energies must not descend within a record.  Two rows may share one
    energy: Henke places points just below and above sharp absorption edges,
    and the DABAX copy can print both as the same energy (Mo K edge: two rows
    at 20000 eV).  Such pairs are kept as they stand; the reader takes the
    later row at that energy."""
    for i in range(1, len(rows)):
        if float(rows[i].split()[0]) < float(rows[i - 1].split()[0]):
            die("%s: energies not ascending at %r" % (sym, rows[i]))


def make_f1f2(text):
    preamble, records = split_records(text)
    have = [r[0] for r in records]
    want = list(range(1, HENKE_LAST_Z + 1))
    if have != want:
        die("Henke source: expected neutral records Z = 1..%d, got %s"
            % (HENKE_LAST_Z, have))
    out = list(preamble)
    nrows = 0
    dropped = 0
    notes = []
    for z, sym, lines in records:
        header = lines[0]
        if header_symbol(header + "\n", 0) is None or \
                not symbol_matches(sym, header_symbol(header + "\n", 0)):
            header = normalise_header(z, sym)
        comments, rows = [], []
        for line in lines[1:]:
            if line.startswith("#"):
                if rows:
                    die("%s: comment line after data rows: %r" % (sym, line))
                comments.append(line)
                continue
            if not line.strip():
                continue
            fields = line.split()
            if len(fields) != 3 or not all(re.fullmatch(NUMBER, f) for f in fields):
                die("%s: data row does not hold three numbers: %r" % (sym, line))
            if float(fields[1]) == NO_DATA_F1:
                dropped += 1
                continue
            rows.append(line)
        check_energies_ascend(sym, rows)
        final = rows
        if not final:
            die("%s: no data rows left" % sym)
        out.append(header)
        out.extend(comments)
        out.extend(final)
        nrows += len(final)
    out.append(normalise_header(LAST_Z, SYMBOLS[LAST_Z - 1]))
    out.append("#C end-of-table marker: this record holds no data")
    return "\n".join(out) + "\n", len(records) + 1, nrows, dropped, notes


# --------------------------------------------------------------------------
# f1 f2 from Chantler's tables (NIST FFAST) as shipped by python3-xraydb

def find_xraydb(explicit):
    candidates = [pathlib.Path(explicit)] if explicit else []
    if not explicit:
        candidates += [pathlib.Path(p) for p in DEFAULT_XRAYDB]
        for base in sorted(pathlib.Path("/usr/lib").glob("python3*/*-packages")):
            candidates.append(base / "xraydb" / "xraydb.sqlite")
    for c in candidates:
        if c.is_file():
            return c
    die("cannot find xraydb.sqlite; install the Debian package python3-xraydb "
        "or pass --xraydb FILE (looked in: %s)"
        % ", ".join(str(c) for c in candidates))


def read_chantler(path):
    """Return (version, [(z, sym, f_rel, f_nt, energies, f1, f2)]) from the
    table Chantler of xraydb.sqlite, opened read-only."""
    uri = "file:%s?mode=ro" % path.resolve().as_posix()
    try:
        con = sqlite3.connect(uri, uri=True)
        try:
            version = con.execute(
                "SELECT tag, date FROM Version ORDER BY id DESC LIMIT 1").fetchone()
            rows = con.execute(
                "SELECT id, element, corr_cl35, corr_nucl, energy, f1, f2 "
                "FROM Chantler ORDER BY id").fetchall()
        finally:
            con.close()
    except sqlite3.Error as e:
        die("%s: cannot read the Chantler table: %s" % (path, e))
    records = []
    for z, sym, f_rel, f_nt, energy, f1, f2 in rows:
        if Z_OF.get(sym) != z:
            die("%s: Chantler row %d holds element %r" % (path, z, sym))
        energy, f1, f2 = json.loads(energy), json.loads(f1), json.loads(f2)
        if not len(energy) == len(f1) == len(f2):
            die("%s: columns of unequal length" % sym)
        records.append((z, sym, float(f_rel), float(f_nt), energy, f1, f2))
    if [r[0] for r in records] != list(range(1, HENKE_LAST_Z + 1)):
        die("%s: expected Chantler rows Z = 1..%d" % (path, HENKE_LAST_Z))
    return version, records


def significant(value, digits):
    """The decimal number that `value` stands for when it was read from a
    source printing `digits` significant digits."""
    return decimal.Decimal("%.*e" % (digits - 1, value))


def plain(d):
    """Decimal without exponent and without trailing zeros."""
    text = format(d.normalize(), "f")
    return "0" if text in ("-0", "0") else text


def chantler_rows(z, sym, f_rel, f_nt, energy, f1, f2):
    """Data rows 'energy f1 f2' of one element, with the digits of the
    source.

    xraydb reads the FFAST files (E in keV with 9 significant digits, f1 with
    9 significant digits, f2 with 5) and stores E in eV and, in its f1
    column, f1(FFAST) - Z + f_rel + f_NT.  Here f1(FFAST) is recovered to
    its printed digits and the corrections are added back exactly, so that
    the file's f1 = f1(FFAST) + f_rel + f_NT (-> Z + f_rel + f_NT far above
    the edges)."""
    rel = decimal.Decimal(repr(f_rel))
    nt = decimal.Decimal(repr(f_nt))
    lo = [i for i, e in enumerate(energy) if e <= CHANTLER_EMIN]
    hi = [i for i, e in enumerate(energy) if e >= CHANTLER_EMAX]
    if not lo or not hi:
        die("%s: Chantler grid does not span %g .. %g eV"
            % (sym, CHANTLER_EMIN, CHANTLER_EMAX))
    rows = []
    for i in range(lo[-1], hi[0] + 1):
        e_kev = significant(energy[i] / 1000.0, 9)
        ffast = significant(f1[i] + z - f_rel - f_nt, 9)
        exact = float(ffast) + f_rel + f_nt - z
        if abs(exact - f1[i]) > 1e-9 * max(1.0, abs(f1[i] + z)):
            die("%s: f1 at %r eV does not come from a 9-digit value"
                % (sym, energy[i]))
        if f2[i] < 0:
            die("%s: negative f2 at %r eV" % (sym, energy[i]))
        rows.append("%s\t%s\t%s" % (plain(e_kev * 1000), plain(ffast + rel + nt),
                                    repr(f2[i])))
    return rows


CHANTLER_PREAMBLE = """\
#F f1f2.dat
#UT Elastic Photon-Atom Scattering, anomalous scattering factors.
#C  Made by tools/make_tables.py (xrdcalc) from the table Chantler of
#C  xraydb.sqlite, XrayDB database version %(tag)s of %(date)s,
#C  as shipped by the Debian package python3-xraydb.
#UD Elastic Photon-Atom Scattering, anomalous scattering factors.
#UD
#UD Source: NIST X-ray Form Factor, Attenuation and Scattering Tables
#UD (FFAST), https://physics.nist.gov/ffast, doi:10.18434/T4HS32.
#UD
#UD References:
#UD   C. T. Chantler, Theoretical form factor, attenuation, and scattering
#UD   tabulation for Z = 1-92 from E = 1-10 eV to E = 0.4-1.0 MeV,
#UD   J. Phys. Chem. Ref. Data 24 (1995) 71-643.
#UD   C. T. Chantler, Detailed tabulation of atomic form factors,
#UD   photoelectric absorption and scattering cross section, and mass
#UD   attenuation coefficients in the vicinity of absorption edges in the
#UD   soft X-ray (Z = 30-36, Z = 60-89, E = 0.1 keV-10 keV), addressing
#UD   convergence issues of earlier work,
#UD   J. Phys. Chem. Ref. Data 29 (2000) 597-1048.
#UD
#UD Licence: public domain.  FFAST is a NIST database (US Government
#UD work); xraydb redistributes it under a public-domain dedication
#UD ("License: Public" in the Debian copyright file of python3-xraydb).
#UD
#UD Units: photon energy in eV; f1 and f2 in electrons per atom.
#UD
#UD Range: per element, every point of xraydb's grid (steps of 1 %%, with
#UD extra points closing in on each absorption edge) from the last point
#UD at or below %(emin)g eV to the first at or above %(emax)g eV.  Energies
#UD ascend.  Outside this range xrdcalc extrapolates and warns.
#UD
#UD Convention: f = f1 + i f2 is the forward atomic scattering factor.
#UD f1 = f1(FFAST) + f_rel + f_NT, the total real part as recommended by
#UD Chantler: f1(FFAST) (= Z + f', f' from the Kramers-Kronig integral)
#UD plus the relativistic correction f_rel (3/5 of the Cromer-Liberman
#UD value, the second f_rel of FFAST) and the nuclear Thomson term f_NT.
#UD Far above the edges f1 -> Z + f_rel + f_NT.  Both corrections are
#UD listed in each record (#UFREL, #UFNT) and are already included in f1.
#UD xraydb stores f1(FFAST) - Z + f_rel + f_NT; Z has been added back.
#UD
#UD Digits: energy and f1 as printed by FFAST (9 significant digits; f1
#UD plus the digits of the two corrections), f2 with FFAST's 5 digits."""


def make_f1f2_chantler(version, records):
    tag, date = version if version else ("unknown", "unknown")
    out = (CHANTLER_PREAMBLE % {"tag": tag, "date": date,
                                "emin": CHANTLER_EMIN,
                                "emax": CHANTLER_EMAX}).split("\n")
    nrows = 0
    for z, sym, f_rel, f_nt, energy, f1, f2 in records:
        rows = chantler_rows(z, sym, f_rel, f_nt, energy, f1, f2)
        check_energies_ascend(sym, rows)
        out.append(normalise_header(z, sym))
        out.append("#N 3")
        out.append("#UFREL %s" % repr(f_rel))
        out.append("#UFNT %s" % repr(f_nt))
        out.append("#L PhotonEnergy[eV]  f1  f2")
        out.extend(rows)
        nrows += len(rows)
    out.append(normalise_header(LAST_Z, SYMBOLS[LAST_Z - 1]))
    out.append("#C end-of-table marker: this record holds no data")
    long_lines = [l for l in out if len(l) > 79]
    if long_lines:
        die("f1f2.dat: line longer than 79 characters: %r" % long_lines[0])
    return "\n".join(out) + "\n", len(records) + 1, nrows


# --------------------------------------------------------------------------
# checks shared by both tables

def header_symbol(text, pos):
    """Symbol field of the record header whose '#S' starts at pos: skip the
    two characters '#S' and exactly four more, then any white space, then
    take two characters."""
    p = pos + 2 + 4
    if p > len(text):
        return None
    while p < len(text) and text[p] in " \t":
        p += 1
    field = text[p:p + 2]
    return field if len(field) == 2 else None


def symbol_matches(sym, field):
    if len(sym) == 2:
        return field == sym
    return field[0] == sym and not field[1].islower()


def check_headers(text, name, expected_syms):
    """Every '#S' in the file must start a real header line; the headers
    must name expected_syms in that order; every symbol must match exactly
    one header under the program's matching rule; one-letter symbols must
    be followed by a blank or a newline."""
    positions = [m.start() for m in re.finditer("#S", text)]
    for p in positions:
        if p != 0 and text[p - 1] != "\n":
            line = text[text.rfind("\n", 0, p) + 1:text.find("\n", p)]
            die("%s: '#S' outside a record header: %r" % (name, line))
    fields = [header_symbol(text, p) for p in positions]
    got = []
    for p, f in zip(positions, fields):
        if f is None:
            die("%s: truncated header at offset %d" % (name, p))
        sym = f if f[1:].islower() and f[1:] else f[0]
        if len(sym) == 1 and f[1] not in " \n":
            die("%s: one-letter symbol %r followed by %r" % (name, sym, f[1]))
        got.append(sym)
    if got != expected_syms:
        die("%s: header symbols %s differ from expected %s"
            % (name, got, expected_syms))
    for sym in expected_syms:
        hits = [f for f in fields if symbol_matches(sym, f)]
        if len(hits) != 1:
            die("%s: symbol %s matches %d headers" % (name, sym, len(hits)))
    return positions


def record_texts(text, positions):
    ends = positions[1:] + [len(text)]
    return [text[a:b] for a, b in zip(positions, ends)]


def verify_f0(text):
    syms = SYMBOLS[:LAST_Z]
    pos = check_headers(text, "f0_xop.dat", syms)
    result = []
    for sym, rec in zip(syms, record_texts(text, pos)):
        c = f0_coefficients(rec, sym)
        result.append((sym, c))
    return result


def verify_f1f2(text):
    syms = SYMBOLS[:HENKE_LAST_Z] + [SYMBOLS[LAST_Z - 1]]
    pos = check_headers(text, "f1f2.dat", syms)
    counts = {}
    for sym, rec in zip(syms, record_texts(text, pos)):
        lines = rec.split("\n")[1:]
        if lines and lines[-1] == "":
            lines.pop()
        i = 0
        while i < len(lines) and lines[i].startswith("#"):
            i += 1
        rows = lines[i:]
        prev = None
        for r in rows:
            f = r.split()
            if len(f) != 3 or not all(re.fullmatch(NUMBER, x) for x in f):
                die("f1f2.dat %s: not a 3-number row: %r" % (sym, r))
            if float(f[1]) == NO_DATA_F1:
                die("f1f2.dat %s: no-data marker left in %r" % (sym, r))
            e = float(f[0])
            if prev is not None and e < prev:
                die("f1f2.dat %s: energies descending at %r" % (sym, r))
            prev = e
        if sym == SYMBOLS[LAST_Z - 1]:
            if rows:
                die("f1f2.dat: end-marker record Cf holds data")
        elif not rows:
            die("f1f2.dat %s: no data rows" % sym)
        counts[sym] = len(rows)
    return counts


# --------------------------------------------------------------------------

def write(path, text):
    """Writes a table beside its place and renames it into place, so that a
    program reading the old table meanwhile reads it whole."""
    path.parent.mkdir(parents=True, exist_ok=True)
    temporary = path.with_name(path.name + ".new")
    with open(temporary, "w", encoding="ascii", newline="\n") as fh:
        fh.write(text)
    os.replace(temporary, path)


def main(argv=None):
    here = pathlib.Path(__file__).resolve().parent
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--source", help="directory holding f0_xop.dat(.xz) and "
                    "f1f2_Henke.dat(.xz); default: the installed xrayutilities")
    ap.add_argument("--xraydb", help="xraydb.sqlite holding the table Chantler; "
                    "default: the installed python3-xraydb")
    ap.add_argument("--f1f2", choices=("chantler", "henke"), default="chantler",
                    help="source of f1f2.dat: Chantler's tables via xraydb "
                    "(default) or Henke's tables via DABAX")
    ap.add_argument("--out", default=str(here.parent / "Base"),
                    help="output directory (default: Base/ next to tools/)")
    args = ap.parse_args(argv)

    try:
        src = find_source(args.source)
        out = pathlib.Path(args.out)

        f0_text, n_f0 = make_f0(read_table(src, "f0_xop.dat"))
        write(out / "f0_xop.dat", f0_text)
        coeffs = verify_f0((out / "f0_xop.dat").read_text(encoding="ascii"))

        if args.f1f2 == "henke":
            ff_src = src / "f1f2_Henke.dat"
            ff_text, n_ff, n_rows, n_drop, notes = make_f1f2(
                read_table(src, "f1f2_Henke.dat"))
        else:
            ff_src = find_xraydb(args.xraydb)
            ff_text, n_ff, n_rows = make_f1f2_chantler(*read_chantler(ff_src))
            n_drop, notes = 0, []
        write(out / "f1f2.dat", ff_text)
        counts = verify_f1f2((out / "f1f2.dat").read_text(encoding="ascii"))
    except TableError as e:
        print("make_tables: ERROR: %s" % e, file=sys.stderr)
        return 1

    print("source: %s" % src)
    print("%s: %d records (Z 1..%d), literal and commas checked in each"
          % (out / "f0_xop.dat", n_f0, LAST_Z))
    bad = []
    for sym, c in coeffs:
        f00 = sum(c[:5]) + c[5]
        if abs(f00 - Z_OF[sym]) > 0.1:
            bad.append("%s f0(0)=%.4f" % (sym, f00))
    print("  f0(s=0) = c + sum(a) within 0.1 of Z for %d of %d elements%s"
          % (len(coeffs) - len(bad), len(coeffs),
             ("; off: " + ", ".join(bad)) if bad else ""))
    print("%s (%s, from %s): %d records (%d with data, Cf end marker), "
          "%d data rows, %d no-data rows dropped, %d bytes"
          % (out / "f1f2.dat", args.f1f2, ff_src, n_ff, n_ff - 1, n_rows,
             n_drop, len(ff_text)))
    print("  rows per record: min %d, max %d"
          % (min(v for k, v in counts.items() if k != "Cf"), max(counts.values())))
    for n in notes:
        print("  note: " + n)
    return 0


if __name__ == "__main__":
    sys.exit(main())
