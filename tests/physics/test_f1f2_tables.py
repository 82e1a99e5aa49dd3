"""Base/f1f2.dat and its generator, tools/make_tables.py (needs python3-xraydb
and python3-xrayutilities, as the generator does): the shipped tables are
what the generator writes, `--f1f2 henke` writes the former Henke table byte
for byte, and f1 is the whole real part (just below Z far above the K edge)."""

import hashlib
import pathlib
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parents[2]
# SHA-256 of the Henke Base/f1f2.dat shipped before the Chantler table (c843374).
HENKE_SHA256 = "5a753d4ec297370bdadf6748fa0399f6bce75212b03432f66dac687efe967d1a"
LIGHT = "H He Li Be B C N O F Ne Na Mg Al Si P S Cl Ar K Ca Sc Ti V Cr Mn Fe Co Ni Cu Zn".split()


def test_generator_writes_the_shipped_tables_and_with_henke_the_former_file(tmp_path):
    for name, extra in (("chantler", []), ("henke", ["--f1f2", "henke"])):
        done = subprocess.run([sys.executable, ROOT / "tools" / "make_tables.py", "--out", tmp_path / name,
                               *extra], capture_output=True, text=True)
        assert done.returncode == 0, done.stderr
    for name in ("f1f2.dat", "f0_xop.dat"):
        assert (tmp_path / "chantler" / name).read_bytes() == (ROOT / "Base" / name).read_bytes(), name
    written = (tmp_path / "henke" / "f1f2.dat").read_bytes()
    assert written.startswith(b"#F f1f2_Henke.dat\n") and hashlib.sha256(written).hexdigest() == HENKE_SHA256


def test_f1_includes_z():
    """At 200 keV, far above the K edge of Z = 1..30, f1 lies just below Z
    (relativistic and nuclear Thomson corrections)."""
    rows, symbol = {}, None
    for line in (ROOT / "Base" / "f1f2.dat").read_text(encoding="ascii").split("\n"):
        if line.startswith("#S"):
            symbol = line.split()[2]
        elif line and not line.startswith("#"):
            rows.setdefault(symbol, []).append(tuple(float(x) for x in line.split()))
    for z, sym in enumerate(LIGHT, start=1):
        below = max(r for r in rows[sym] if r[0] <= 200000.0)
        above = min(r for r in rows[sym] if r[0] > 200000.0)
        f1 = below[1] + (200000.0 - below[0]) / (above[0] - below[0]) * (above[1] - below[1])
        assert z - 0.2 < f1 <= z, (sym, f1)
