"""The command line of the package:

    python3 -m xrdcalc compute In0.53Ga0.47As --hkl 0 0 4 --energy 8047.8
    python3 -m xrdcalc scan --element Ga --energy 10200:10550:2 [--plot f.png]
    python3 -m xrdcalc scan --formula GaAs --hkl 0 0 4 --energy 10200:10550:2
    python3 -m xrdcalc scan --composition In Ga --partner As --x 0:1:0.05 --hkl 0 0 4 --wavelength 1.5405929
    python3 -m xrdcalc rocking --stack STACK.toml --hkl 0 0 4 --wavelength 1.5405929 --omega -3000:1000:1
    python3 -m xrdcalc fit --stack STACK.toml --data MEASURED.csv --free thickness_nm[0] --free x[0] ...

compute prints one point as a table of names and values; scan writes the
scan as CSV (standard output or --out FILE) and, with --plot, a figure:
f' and f'' of an element, or chi0 and |chi_h| of a crystal, against
energy or composition. rocking simulates the rocking curve of a layer
stack (TOML, see _stack_file) as CSV and a figure; fit fits chosen
parameters of the stack to a measured curve (CSV of omega in arcsec and
intensity) and prints them with their uncertainties.
"""

import argparse
import csv
import os
import re
import sys
import warnings

import numpy as np

import xrdcalc
from ._stack_file import stack_from_toml

# The CSV columns of a crystal scan: output.dat's values, "f_minus_re" for
# the real part of f_minus.
_CRYSTAL_COLUMNS = [name.replace(".real", "_re").replace(".imag", "_im") for name in xrdcalc.VALUE_NAMES]


def _range(text):
    """START:STOP:STEP (STOP included when the steps reach it) or one number."""
    parts = text.split(":")
    try:
        numbers = [float(p) for p in parts]
    except ValueError:
        raise argparse.ArgumentTypeError(f"{text!r} is not START:STOP:STEP or a number") from None
    if len(numbers) == 1:
        return np.array(numbers)
    if len(numbers) != 3:
        raise argparse.ArgumentTypeError(f"{text!r} is not START:STOP:STEP or a number")
    start, stop, step = numbers
    if not (step > 0 and stop >= start and np.isfinite([start, stop, step]).all()):
        raise argparse.ArgumentTypeError(f"{text!r}: the step must be positive and STOP at least START")
    count = int(np.floor((stop - start) / step + 1e-9)) + 1
    return start + step * np.arange(count)


def _miller_index(text):
    try:
        return int(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"a Miller index is a whole number, not {text!r}") from None


def _positive(text):
    try:
        value = float(text)
    except ValueError:
        value = float("nan")
    if not (value > 0 and np.isfinite(value)):
        raise argparse.ArgumentTypeError(f"{text!r} is not a positive number")
    return value


def _add_crystal_options(command, hkl_help):
    command.add_argument("--hkl", nargs=3, type=_miller_index, metavar=("H", "K", "L"), help=hkl_help)
    command.add_argument("--lattice", nargs=3, type=float, metavar=("A", "B", "C"), default=[0.0, 0.0, 0.0],
                         help="lattice constants in angstrom (default 0 0 0: from the structure files)")
    command.add_argument("--theta", type=float, default=0.0, help="Bragg angle in degrees (default 0: derived)")
    command.add_argument("--scale", type=float, default=1.0)
    command.add_argument("--base", help="data directory (default: the installed one)")


def _parser():
    parser = argparse.ArgumentParser(prog="python3 -m xrdcalc",
                                     description="X-ray structure factors and optical constants of crystals.")
    commands = parser.add_subparsers(dest="command", required=True)
    compute = commands.add_parser("compute", help="one reflection of one crystal or mix, printed as a table")
    compute.add_argument("formula", help="a structure or mix (GaAs, Ga7In3As, In0.53Ga0.47As)")
    at = compute.add_mutually_exclusive_group(required=True)
    at.add_argument("--energy", type=_positive, help="photon energy in eV")
    at.add_argument("--wavelength", type=_positive, help="wavelength in angstrom")
    _add_crystal_options(compute, "the reflection (required)")
    compute.add_argument("--temperature", type=float, metavar="K",
                         help="damp by the atoms' thermal vibration at K kelvin (B from debye_waller.dat)")
    scan = commands.add_parser("scan", help="compute over a range of energies or compositions; CSV and a figure")
    what = scan.add_mutually_exclusive_group(required=True)
    what.add_argument("--element", help="f' and f'' of an element (e.g. Ga)")
    what.add_argument("--formula", help="a structure or mix (GaAs, Ga7In3As, In0.53Ga0.47As)")
    what.add_argument("--composition", nargs=2, metavar=("FIRST", "SECOND"),
                      help="FIRST_x SECOND_(1-x) PARTNER over --x")
    scan.add_argument("--partner", default="As", help="partner of a composition (default As; '' for none)")
    scan.add_argument("--x", type=_range, help="compositions START:STOP:STEP in [0, 1]")
    scan.add_argument("--energy", type=_range, help="photon energies in eV, START:STOP:STEP")
    scan.add_argument("--wavelength", type=_range, help="wavelengths in angstrom, START:STOP:STEP or one")
    _add_crystal_options(scan, "the reflection (required for --formula and --composition)")
    scan.add_argument("--out", help="CSV file (default: standard output)")
    scan.add_argument("--plot", metavar="FILE.png", help="also draw the scan into this image")
    for name, text in (("rocking", "the rocking curve of a layer stack: CSV and a figure"),
                       ("fit", "fit parameters of a layer stack to a measured rocking curve")):
        command = commands.add_parser(name, help=text)
        command.add_argument("--stack", required=True, help="the stack as TOML")
        command.add_argument("--hkl", nargs=3, type=_miller_index, metavar=("H", "K", "L"), required=True)
        at = command.add_mutually_exclusive_group(required=True)
        at.add_argument("--energy", type=_positive, help="photon energy in eV")
        at.add_argument("--wavelength", type=_positive, help="wavelength in angstrom")
        command.add_argument("--polarization", default="sigma", choices=["sigma", "pi", "unpolarised"])
        command.add_argument("--grazing", default="incidence", choices=["incidence", "exit"],
                             help="for an asymmetric reflection (default incidence)")
        command.add_argument("--resolution", type=_positive, help="Gaussian resolution, FWHM in arcsec")
        command.add_argument("--base", help="data directory (default: the installed one)")
        command.add_argument("--plot", metavar="FILE.png", help="also draw the curve into this image")
        command.add_argument("--out", help="CSV file (default: standard output)")
        if name == "rocking":
            command.add_argument("--omega", type=_range, required=True,
                                 help="angles in arcsec from the substrate's Bragg angle, START:STOP:STEP")
        else:
            command.add_argument("--data", required=True, help="CSV of omega_arcsec and intensity (header optional)")
            command.add_argument("--free", action="append", required=True, metavar="NAME[=START]",
                                 help="thickness_nm[i], relaxation[i] or x[i] of layer i, its start after '=' "
                                      "(default: the stack's value); repeatable")
    return parser


def _read_stack(path):
    try:
        with open(path, encoding="utf-8") as stream:
            return stack_from_toml(stream.read())
    except ValueError as error:
        raise ValueError(f"{path}: {error}") from None


def _curve_options(args):
    return dict(wavelength=args.wavelength, energy=args.energy, polarization=args.polarization,
                resolution_arcsec=args.resolution, grazing=args.grazing)


def _read_measurement(path):
    """(omega, intensity) from the first two numeric columns of a CSV file."""
    omega, intensity = [], []
    with open(path, newline="", encoding="utf-8") as stream:
        for n, row in enumerate(csv.reader(stream), start=1):
            if not row or row[0].lstrip().startswith("#"):
                continue
            try:
                omega.append(float(row[0]))
                intensity.append(float(row[1]))
            except (ValueError, IndexError):
                if omega:
                    raise ValueError(f"{path}, line {n}: not two numbers: {row!r}") from None
    return np.array(omega), np.array(intensity)


def _start_of(stack, name):
    match = xrdcalc._fit._FREE.match(name)
    if not match:
        raise ValueError(f"{name!r} is no free parameter: thickness_nm[i], relaxation[i] or x[i]")
    quantity, index = match.group(1), int(match.group(2))
    if index >= len(stack.layers):
        raise ValueError(f"{name!r}: the stack has {len(stack.layers)} layers")
    layer = stack.layers[index]
    if quantity == "x":
        if not hasattr(layer.material, "items"):
            raise ValueError(f"{name!r}: layer {index}'s material must be a table of two structures")
        return next(iter(layer.material.values()))
    return getattr(layer, quantity)


def _free_of(args, stack):
    free = {}
    for item in args.free:
        name, _, start = item.partition("=")
        free[name] = float(start) if start else _start_of(stack, name)
    return free


def _plot_curve(path, omega, curves, title):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    fig, ax = plt.subplots(figsize=(8, 4.5), layout="constrained")
    for label, values, style in curves:
        ax.semilogy(omega, values, style, label=label, linewidth=1)
    ax.set_xlabel("ω − ω_B of the substrate (arcsec)")
    ax.set_ylabel("reflectivity" if len(curves) == 1 else "intensity")
    ax.set_title(title)
    if len(curves) > 1:
        ax.legend()
    ax.grid(True, color="0.9")
    fig.savefig(path, dpi=110)
    plt.close(fig)


def _rocking(args, calculator):
    stack = _read_stack(args.stack)
    curve = calculator.rocking_curve(stack, args.hkl, args.omega, **_curve_options(args))
    header = ["omega_arcsec", "reflectivity"]
    rows = zip(curve.omega_arcsec, curve.reflectivity)
    hkl = " ".join(str(i) for i in args.hkl)
    title = f"{len(stack.layers)} layers on {stack.substrate}, {hkl}"
    return header, rows, lambda path: _plot_curve(path, curve.omega_arcsec, [("", curve.reflectivity, "-")], title)


def _fitting(args, calculator):
    stack = _read_stack(args.stack)
    omega, measured = _read_measurement(args.data)
    fit = xrdcalc.fit_rocking_curve(omega, measured, stack, args.hkl, _free_of(args, stack), calculator=calculator,
                                    **_curve_options(args))
    for name, value in fit.values.items():
        print(f"# {name} = {value!r} +- {fit.uncertainties[name]!r}")
    header = ["omega_arcsec", "measured", "fit"]
    rows = zip(omega, measured, fit.curve)
    title = "fit: " + ", ".join(f"{k} = {v:.4g}" for k, v in fit.values.items() if k not in ("scale", "background"))
    return header, rows, lambda path: _plot_curve(path, omega, [("measured", measured, "."), ("fit", fit.curve, "-")],
                                                  title)


def _compute_table(args, calculator):
    """The lines of compute's table: names and values."""
    if args.hkl is None:
        raise SystemExit("compute needs --hkl H K L")
    r = calculator.compute(args.formula, args.wavelength, args.hkl, lattice=args.lattice, theta=args.theta,
                           scale=args.scale, energy=args.energy, temperature=args.temperature)
    rows = [("formula", args.formula), ("hkl", " ".join(str(i) for i in args.hkl)),
            ("wavelength_a", r.wavelength), ("energy_ev", xrdcalc.HC / r.wavelength),
            ("d_spacing_a", r.d_spacing), ("bragg_angle_deg", r.bragg_angle_deg),
            ("polarisation_factor", r.polarisation_factor)]
    rows += list(zip(_CRYSTAL_COLUMNS, r.values()))
    rows += [("abs_chi_h", abs(r.chi_plus))]
    width = max(len(name) for name, _ in rows)
    return [f"{name:<{width}}  {value if isinstance(value, str) else repr(float(value))}" for name, value in rows]


def _scan(args, calculator):
    """(x name, x values, CSV header, CSV rows, the scan) for the arguments."""
    if args.element:
        if args.energy is None:
            raise SystemExit("--element needs --energy")
        f = calculator.anomalous_factors(args.element, args.energy)
        header = ["energy_ev", "f1", "f2", "f_prime", "f_double_prime"]
        rows = zip(f.energy, f.f1, f.f2, f.f_prime, f.f_double_prime)
        return "energy", f.energy, header, rows, f
    hkl, options = args.hkl, dict(lattice=args.lattice, theta=args.theta, scale=args.scale)
    if hkl is None:
        raise SystemExit(f"--{'formula' if args.formula else 'composition'} needs --hkl H K L")
    if args.formula:
        if (args.energy is None) == (args.wavelength is None):
            raise SystemExit("--formula needs --energy or --wavelength")
        if args.energy is not None:
            s = calculator.scan_energy(args.formula, args.energy, hkl, **options)
        else:
            s = calculator.scan_wavelength(args.formula, args.wavelength, hkl, **options)
        x_name, x = ("energy", s.energy) if args.energy is not None else ("wavelength", s.wavelength)
        header = ["energy_ev", "wavelength_a"] + _CRYSTAL_COLUMNS + ["abs_chi_h"]
        rows = ([e, w, *v, abs(c)] for e, w, v, c in zip(s.energy, s.wavelength, s.values(), s.chi_plus))
        return x_name, x, header, rows, s
    if args.x is None:
        raise SystemExit("--composition needs --x")
    if args.energy is not None and args.wavelength is None and len(args.energy) == 1:
        wavelength = xrdcalc.HC / args.energy[0]
    elif args.wavelength is not None and args.energy is None and len(args.wavelength) == 1:
        wavelength = args.wavelength[0]
    else:
        raise SystemExit("--composition needs one --wavelength or one --energy")
    first, second = args.composition
    s = calculator.scan_composition(first, second, args.partner, args.x, hkl, wavelength, **options)
    header = ["x"] + _CRYSTAL_COLUMNS + ["abs_chi_h"]
    rows = ([x, *v, abs(c)] for x, v, c in zip(s.x, s.values(), s.chi_plus))
    return "x", s.x, header, rows, s


def _write_csv(stream, header, rows):
    writer = csv.writer(stream, lineterminator="\n")
    writer.writerow(header)
    for row in rows:
        writer.writerow([v if isinstance(v, str) else repr(float(v)) for v in row])


def _plot(path, args, x_name, x, scan):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    x_label = {"energy": "photon energy (eV)", "wavelength": "wavelength (Å)",
               "x": f"x in {args.composition[0] if args.composition else ''}$_x$"
                    f"{args.composition[1] if args.composition else ''}$_{{1-x}}${args.partner}"}[x_name]
    if args.element:
        fig, ax = plt.subplots(figsize=(7, 4.5), layout="constrained")
        ax.plot(x, scan.f_prime, label="f′ = f1 − f0(0)")
        ax.plot(x, scan.f_double_prime, label="f″ = f2")
        ax.axhline(0.0, color="0.7", linewidth=0.8)
        ax.set_ylabel("electrons")
        ax.set_xlabel(x_label)
        ax.legend()
        ax.set_title(f"Anomalous scattering factors of {args.element}")
    else:
        hkl = " ".join(f"{v:g}" for v in args.hkl)
        name = args.formula or "".join(args.composition) + args.partner
        fig, axes = plt.subplots(3, 1, sharex=True, figsize=(7, 8), layout="constrained")
        axes[0].plot(x, scan.chi0_real, color="C0")
        axes[0].set_ylabel("Re χ0")
        axes[1].plot(x, scan.chi0_imag, color="C1")
        axes[1].set_ylabel("Im χ0")
        axes[2].plot(x, np.abs(scan.chi_plus), color="C2", label=f"|χh|, h = {hkl}")
        axes[2].plot(x, np.abs(scan.chi_minus), color="C3", linestyle="--", label="|χ−h|")
        axes[2].set_ylabel("|χh|")
        axes[2].legend()
        axes[2].set_xlabel(x_label)
        for ax in axes:
            ax.ticklabel_format(axis="y", style="sci", scilimits=(0, 0))
            ax.grid(True, color="0.9")
        axes[0].set_title(f"Susceptibilities of {name}, reflection {hkl}")
    fig.savefig(path, dpi=110)
    plt.close(fig)


def _run(args):
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always", xrdcalc.DataWarning)
        calculator = xrdcalc.Calculator(args.base)
        if args.command == "compute":
            lines = _compute_table(args, calculator)
        elif args.command == "rocking":
            header, rows, plot = _rocking(args, calculator)
        elif args.command == "fit":
            header, rows, plot = _fitting(args, calculator)
        else:
            x_name, x, header, rows, scan = _scan(args, calculator)
            plot = lambda path: _plot(path, args, x_name, x, scan)  # noqa: E731
    for w in caught:
        print(f"warning: {w.message}", file=sys.stderr)
    if args.command == "compute":
        print("\n".join(lines))
        return
    if args.out:
        with open(args.out, "w", newline="") as stream:
            _write_csv(stream, header, rows)
    else:
        _write_csv(sys.stdout, header, rows)
    if args.plot:
        plot(args.plot)


def _with_negative_ranges(argv):
    """argv with "--omega -600:200:2" written "--omega=-600:200:2", which
    argparse would otherwise take for an option."""
    joined = []
    for arg in argv:
        if joined and joined[-1] in _RANGE_OPTIONS and re.match(r"-[\d.]", arg):
            joined[-1] = f"{joined[-1]}={arg}"
        else:
            joined.append(arg)
    return joined


_RANGE_OPTIONS = ("--omega", "--x", "--energy", "--wavelength")


def main(argv=None):
    args = _parser().parse_args(_with_negative_ranges(sys.argv[1:] if argv is None else list(argv)))
    try:
        _run(args)
        sys.stdout.flush()
    except BrokenPipeError:
        # The reader has gone (| head): end quietly, without a second error
        # when Python flushes standard output at exit.
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        return 1
    except (xrdcalc.Error, ValueError, OSError) as error:
        print(f"xrdcalc: {error}", file=sys.stderr)
        return 1
    return 0
