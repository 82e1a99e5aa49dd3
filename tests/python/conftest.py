"""What the Python tests share: one calculator, and xrayutilities' zincblende
crystals as the reference."""

import pytest

import xrdcalc


@pytest.fixture(scope="session")
def calc():
    return xrdcalc.Calculator()


@pytest.fixture(scope="session")
def xu():
    return pytest.importorskip("xrayutilities")


@pytest.fixture(scope="session")
def zincblende(xu):
    """A zincblende crystal of xrayutilities (space group 216): [(element, occupation)] on the cation (4a) and
    the anion (4c) sites, the lattice constant, B per element (default 0) and, for layer stacks, our scalar
    nu as c12 / (c11 + c12). Si on both sites is diamond."""
    def make(cations, anions, a, b_factors={}, nu=None):
        sites = [(el, "4a", f) for el, f in cations] + [(el, "4c", f) for el, f in anions]
        elements, positions, occupations = zip(*sites)
        lattice = xu.materials.SGLattice(216, a, atoms=[getattr(xu.materials.elements, e) for e in elements],
                                         pos=positions, occ=occupations,
                                         b=[b_factors.get(e, 0.0) for e in elements])
        elastic = None if nu is None else xu.materials.CubicElasticTensor(100e9, 100e9 * nu / (1 - nu), 50e9)
        return xu.materials.Crystal("".join(elements), lattice, elastic)
    return make
