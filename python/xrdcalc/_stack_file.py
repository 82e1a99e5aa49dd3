"""Layer stacks written in TOML (read with Python's tomllib):

    substrate = "GaAs"
    surface = [0, 0, 1]                      # optional
    [[layer]]                                # the first lies on the substrate
    material = "Al0.3Ga0.7As"                # a formula, or a table {AlAs = 0.3, GaAs = 0.7}
    thickness_nm = 200
    relaxation = 0.0                         # optional: 0 pseudomorphic, 1 relaxed
    [[layer]]                                # a superlattice: these layers, so many times
    repeat = 20
    layers = [{material = "AlAs", thickness_nm = 5}, {material = "GaAs", thickness_nm = 10}]
"""

import tomllib

from ._rocking import Layer, Stack, repeat


def _layer(entry, where):
    if not isinstance(entry, dict):
        raise ValueError(f"{where} is not a table")
    unknown = set(entry) - {"material", "thickness_nm", "relaxation"}
    if unknown:
        raise ValueError(f"{where} has unknown keys: {', '.join(sorted(unknown))}")
    for key in ("material", "thickness_nm"):
        if key not in entry:
            raise ValueError(f"{where} has no {key}")
    return Layer(entry["material"], entry["thickness_nm"], entry.get("relaxation", 0.0))


def stack_from_toml(text):
    """The Stack that a TOML text describes (ValueError naming what is wrong)."""
    try:
        data = tomllib.loads(text)
    except tomllib.TOMLDecodeError as error:
        raise ValueError(f"not TOML: {error}") from None
    if "substrate" not in data:
        raise ValueError("no substrate")
    unknown = set(data) - {"substrate", "surface", "layer"}
    if unknown:
        raise ValueError(f"unknown keys: {', '.join(sorted(unknown))}")
    layers = []
    for n, entry in enumerate(data.get("layer", []), start=1):
        if isinstance(entry, dict) and "repeat" in entry:
            group = [_layer(inner, f"layer {n}, entry {m}") for m, inner in enumerate(entry.get("layers", []), start=1)]
            if set(entry) - {"repeat", "layers"}:
                raise ValueError(f"layer {n}: a repeated group has only repeat and layers")
            layers += repeat(group, entry["repeat"])
        else:
            layers.append(_layer(entry, f"layer {n}"))
    return Stack(data["substrate"], layers, tuple(data.get("surface", (0, 0, 1))))
