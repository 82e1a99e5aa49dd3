#!/usr/bin/env python3
"""Writes the fuzz targets' seed corpora (tests/fuzz/corpus/<target>/) from
the bundled examples, the shipped tables and the structure library.

Run from anywhere: python3 tools/make_fuzz_seeds.py. Standard library only;
the output is the same on every run."""
import pathlib
import struct

ROOT = pathlib.Path(__file__).resolve().parents[1]
BASE = ROOT / "Base"
CORPUS = ROOT / "tests" / "fuzz" / "corpus"


def records(path, symbols):
    """The text of the records of `symbols` (whole, header to next header)."""
    text = path.read_text()
    out = []
    for sym in symbols:
        for chunk in text.split("#S")[1:]:
            if chunk[4:].strip().split()[0] == sym:
                out.append("#S" + chunk)
                break
    return out


def write(target, name, data):
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data)


def symbol_bytes(sym):
    return sym.encode() + (b"\0" if len(sym) == 1 else b"")


def main():
    for example in sorted(p.parent for p in (ROOT / "examples").glob("*/input.dat")):
        write("fuzz_input", example.name, (example / "input.dat").read_bytes())
    write("fuzz_input", "crlf", b"0 0 0\r\n0 0 0\r\n1.54\r\n0 0 4\r\n0\r\nGa7In3As\r\n1\r\n")
    write("fuzz_input", "one-line", b"5.65 5.65 5.65 0 0 0 1.54 1 1 1 30 GaAs \t\n2\n")

    for i, formula in enumerate(["GaAs", "Ga7In3As", "Ga1In1", "Si2", "In53Ga47As", "Ga7In3As ", "InP", "BN",
                                 "Ga0In0As", "A1B1C1D1E1F1G1H1I1J1K1"]):
        write("fuzz_formula", "formula-%d" % i, bytes([i * 23 % 256]) + formula.encode())

    f0 = records(BASE / "f0_xop.dat", ["H", "Si", "Ga", "Cf"])
    f1f2 = records(BASE / "f1f2.dat", ["H", "Si", "Mo", "Cf"])
    for sym, rec in zip(["H", "Si", "Ga", "Cf"], f0):
        write("fuzz_f0_table", "record-" + sym, symbol_bytes(sym) + bytes([16]) + rec.encode())
    write("fuzz_f0_table", "table", b"Ga" + bytes([8]) + "".join(f0).encode())
    for sym, rec, energy in zip(["H", "Si", "Mo", "Cf"], f1f2, [8047.8, 17479.3, 20000.0, 100.0]):
        lines = rec.splitlines(keepends=True)
        short = "".join(lines[:40]) + "#S 98  Cf\n"  # keep seeds small
        write("fuzz_f1f2_table", "record-" + sym, symbol_bytes(sym) + struct.pack("<d", energy) + short.encode())

    for name, sym in [("GaAs", "As"), ("InP", "P"), ("Si", "Si"), ("NaCl", "Cl"), ("W", "W"), ("GaNw", "N"),
                      ("GaObeta", "O")]:
        write("fuzz_structure_file", name, symbol_bytes(sym) + (BASE / (name + ".stf")).read_bytes())

    table = (BASE / "debye_waller.dat").read_text().splitlines(keepends=True)
    grid = next(i for i, line in enumerate(table) if line.startswith("temperatures"))
    for name, temperature, rows in [("shipped-head", 295.0, table[: grid + 4]),
                                    ("test-table", 150.0, (ROOT / "tests/data/Base/debye_waller.dat").read_text()),
                                    ("hexagonal", 1000.0, "temperatures 0 500 1000\nGaNw Ga B11 K 0.1 0.3 0.6\n"
                                                          "GaNw Ga B33 K 0.1 0.4 0.8\n")]:
        write("fuzz_debye_waller_table", name, struct.pack("<d", temperature) + "".join(rows).encode())


if __name__ == "__main__":
    main()
