"""Results of scans: the numbers of many computations as numpy arrays, one
per field of a single result, with the scan's axes and its warnings."""

from ._xrdcalc import VALUE_NAMES


class Scan:
    """Many computations: sum_f1, sum_f2, chi0_real, chi0_imag, a, b, c and
    structure_scalar are float arrays, f_minus, f_plus, chi_minus and chi_plus
    complex arrays, one element per point; energy (eV) and wavelength
    (angstrom) are the points' photon energies and wavelengths (a composition
    scan adds x and formulas). warnings and math_errors hold each distinct
    message of the scan once."""

    def __init__(self, values, warnings, math_errors, **axes):
        self._values = values
        # The columns in output.dat's order, named by VALUE_NAMES; a complex
        # field's real part comes before its imaginary part.
        for name, column in zip(VALUE_NAMES, values.T):
            field, _, part = name.partition(".")
            if part == "imag":
                setattr(self, field, getattr(self, field) + 1j * column)
            else:
                setattr(self, field, column)
        self.warnings = list(warnings)
        self.math_errors = list(math_errors)
        for name, value in axes.items():
            setattr(self, name, value)

    def values(self):
        """The sixteen numbers of each point in output.dat's order: an n x 16 array."""
        return self._values

    def __len__(self):
        return len(self._values)

    def __repr__(self):
        return f"<xrdcalc.Scan of {len(self)} points>"


class AnomalousFactors:
    """An element's anomalous scattering factors at photon energies (eV):
    f1 (total, f0(0) + f'), f2, f_prime = f1 - f0 and f_double_prime = f2,
    with f0 = f0(s = 0) of the form-factor table."""

    def __init__(self, element, energy, values, f0, warnings):
        self.element = element
        self.energy = energy
        self.f1 = values[:, 0]
        self.f2 = values[:, 1]
        self.f0 = f0
        self.f_prime = self.f1 - f0
        self.f_double_prime = self.f2
        self.warnings = list(warnings)

    def __len__(self):
        return len(self.energy)

    def __repr__(self):
        return f"<xrdcalc.AnomalousFactors of {self.element} at {len(self)} energies>"
