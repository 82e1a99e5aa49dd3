// The Python binding of the calculator (module xrdcalc._xrdcalc): one run
// as a call, scans over many wavelengths, formulas or mixes and
// element-level f1/f2 scans as loops here, with the GIL released, filling
// numpy arrays. Orderly stops raise xrdcalc.Error; the warnings of a call
// go through Python's warnings module as xrdcalc.DataWarning, each distinct
// one once (a scan's through the package).
#include <pybind11/complex.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <cstring>
#include <string>
#include <vector>

#include "xrdcalc/calculator.hpp"
#include "xrdcalc/rocking_curve.hpp"

namespace py = pybind11;

namespace {

PyObject* g_data_warning = nullptr;

using Mix = std::vector<std::pair<std::string, double>>;

// Each message once, in the order they first came.
void AddDistinct(std::vector<std::string>& to, const std::vector<std::string>& messages) {
  for (const std::string& message : messages) {
    if (std::find(to.begin(), to.end(), message) == to.end()) to.push_back(message);
  }
}

// Each message as a DataWarning that points at the caller of the package
// function that called the binding (stack level 2).
void Warn(const std::vector<std::string>& messages) {
  for (const std::string& message : messages) {
    // Warnings may be turned into errors by the caller's filters.
    if (PyErr_WarnEx(g_data_warning, message.c_str(), 2) != 0) throw py::error_already_set();
  }
}

std::vector<xrd::MixComponent> MixOf(const Mix& mix) {
  std::vector<xrd::MixComponent> components;
  components.reserve(mix.size());
  for (const auto& [structure, weight] : mix) components.push_back({structure, weight});
  return components;
}

// The thermal vibration a call asks for: a temperature in kelvin and B
// factors per element, each optional (a call passes None for neither).
struct Vibration {
  std::optional<double> temperature_k;
  std::optional<std::map<std::string, double>> b_factors;
};

template <class Input>
void SetVibration(Input& input, const Vibration* vibration) {
  if (!vibration) return;
  input.temperature_k = vibration->temperature_k;
  if (vibration->b_factors) input.b_factors = *vibration->b_factors;
}

xrd::RunInput InputOf(std::string formula, double wavelength, const std::array<double, 3>& hkl,
                      const std::array<double, 3>& lattice, double theta, double scale,
                      const Vibration* vibration) {
  xrd::RunInput input;
  SetVibration(input, vibration);
  input.a = lattice[0];
  input.b = lattice[1];
  input.c = lattice[2];
  input.lambda_angstrom = wavelength;
  input.h = hkl[0];
  input.k = hkl[1];
  input.l = hkl[2];
  input.theta_degrees = theta;
  input.formula = std::move(formula);
  input.scale = scale;
  return input;
}

// A formula of the run-description's formula line: one line of text.
void CheckFormula(const std::string& formula) {
  if (formula.empty()) throw xrd::Error("the formula is empty");
  if (formula.find('\n') != std::string::npos || formula.find('\0') != std::string::npos) {
    throw xrd::Error("the formula holds a line feed or a NUL character");
  }
}

xrd::Result Compute(const xrd::Calculator& calculator, std::string formula, double wavelength,
                    const std::array<double, 3>& hkl, const std::array<double, 3>& lattice, double theta,
                    double scale, const Vibration* vibration) {
  CheckFormula(formula);
  xrd::Result result =
      calculator.compute(InputOf(std::move(formula), wavelength, hkl, lattice, theta, scale, vibration));
  Warn(result.warnings);
  return result;
}

xrd::Result ComputeMix(const xrd::Calculator& calculator, const Mix& mix, double wavelength,
                       const std::array<double, 3>& hkl, const std::array<double, 3>& lattice, double theta,
                       double scale, const Vibration* vibration) {
  if (mix.empty()) throw xrd::Error("the mix has no components");
  xrd::RunInput input = InputOf({}, wavelength, hkl, lattice, theta, scale, vibration);
  input.mix = MixOf(mix);
  xrd::Result result = calculator.compute(input);
  Warn(result.warnings);
  return result;
}

// Copies the sixteen values and the messages of `result` into row `i` of
// `out` and the scan's distinct messages.
void Collect(const xrd::Result& result, double* out, std::size_t i, std::vector<std::string>& warnings,
             std::vector<std::string>& math_errors) {
  const std::array<double, 16> v = result.values();
  std::memcpy(out + 16 * i, v.data(), sizeof v);
  AddDistinct(warnings, result.warnings);
  AddDistinct(math_errors, result.math_errors);
}

// Runs of one formula at each wavelength. Returns the 16 values of each
// point as an n x 16 array, and the scan's distinct warnings and
// mathematical errors, which the caller passes on.
py::tuple Scan(const xrd::Calculator& calculator, const std::string& formula,
               py::array_t<double, py::array::c_style | py::array::forcecast> wavelengths,
               const std::array<double, 3>& hkl, const std::array<double, 3>& lattice, double theta, double scale,
               const Vibration* vibration) {
  if (wavelengths.ndim() != 1) throw py::value_error("the wavelengths must be a one-dimensional array");
  CheckFormula(formula);
  const auto n = static_cast<std::size_t>(wavelengths.shape(0));
  py::array_t<double> values({static_cast<py::ssize_t>(n), static_cast<py::ssize_t>(16)});
  double* out = values.mutable_data();
  const double* lambda = wavelengths.data();
  std::vector<std::string> warnings;
  std::vector<std::string> math_errors;
  {
    py::gil_scoped_release release;
    xrd::RunInput input = InputOf(formula, 0.0, hkl, lattice, theta, scale, vibration);
    for (std::size_t i = 0; i < n; ++i) {
      input.lambda_angstrom = lambda[i];
      Collect(calculator.compute(input), out, i, warnings, math_errors);
    }
  }
  return py::make_tuple(values, warnings, math_errors);
}

// Runs of the mixes of the structures `names` with the weights of row i
// (or the one row) of `weights` at wavelength i (or the one wavelength):
// as Scan.
py::tuple MixScan(const xrd::Calculator& calculator, const std::vector<std::string>& names,
                  py::array_t<double, py::array::c_style | py::array::forcecast> weights,
                  py::array_t<double, py::array::c_style | py::array::forcecast> wavelengths,
                  const std::array<double, 3>& hkl, const std::array<double, 3>& lattice, double theta,
                  double scale, const Vibration* vibration) {
  if (weights.ndim() != 2 || static_cast<std::size_t>(weights.shape(1)) != names.size()) {
    throw py::value_error("the weights must be an array of one row per point and one column per structure");
  }
  if (wavelengths.ndim() != 1) throw py::value_error("the wavelengths must be a one-dimensional array");
  const auto nm = static_cast<std::size_t>(weights.shape(0));
  const auto nw = static_cast<std::size_t>(wavelengths.shape(0));
  if (nm == 0 || nw == 0) throw py::value_error("no points");
  if (nm != 1 && nw != 1 && nm != nw) throw py::value_error("as many mixes as wavelengths, or one of either");
  const std::size_t n = std::max(nm, nw);
  const std::size_t m = names.size();
  py::array_t<double> values({static_cast<py::ssize_t>(n), static_cast<py::ssize_t>(16)});
  double* out = values.mutable_data();
  const double* w = weights.data();
  const double* lambda = wavelengths.data();
  std::vector<std::string> warnings;
  std::vector<std::string> math_errors;
  {
    py::gil_scoped_release release;
    xrd::RunInput input = InputOf({}, lambda[0], hkl, lattice, theta, scale, vibration);
    for (std::size_t j = 0; j < m; ++j) input.mix.push_back({names[j], w[j]});
    for (std::size_t i = 0; i < n; ++i) {
      if (nm != 1) {
        for (std::size_t j = 0; j < m; ++j) input.mix[j].weight = w[m * i + j];
      }
      if (nw != 1) input.lambda_angstrom = lambda[i];
      Collect(calculator.compute(input), out, i, warnings, math_errors);
    }
  }
  return py::make_tuple(values, warnings, math_errors);
}

// A material of the package: a formula (str) or a mix, a list of
// (structure, weight) pairs.
xrd::Material MaterialOf(const py::handle& material) {
  xrd::Material m;
  if (py::isinstance<py::str>(material)) {
    m.formula = material.cast<std::string>();
    CheckFormula(m.formula);
  } else {
    m.mix = MixOf(material.cast<Mix>());
    if (m.mix.empty()) throw xrd::Error("the mix has no components");
  }
  return m;
}

// The reflectivity of the substrate with `layers` (material, thickness in
// nm, relaxation) at each of `omega_arcsec`; returns (reflectivity array,
// the substrate's kinematic glancing angle in degrees, the layers' peaks in
// arcseconds).
py::tuple RockingCurve(const xrd::Calculator& calculator, const py::handle& substrate, const py::list& layers,
                       const std::array<double, 3>& hkl, double wavelength,
                       py::array_t<double, py::array::c_style | py::array::forcecast> omega_arcsec,
                       const std::string& polarization, bool grazing_exit, const std::array<double, 3>& surface,
                       const Vibration* vibration) {
  xrd::Stack stack{MaterialOf(substrate)};
  stack.surface_h = surface[0];
  stack.surface_k = surface[1];
  stack.surface_l = surface[2];
  for (const py::handle& layer : layers) {
    const auto t = layer.cast<py::tuple>();
    stack.layers.push_back({MaterialOf(t[0]), t[1].cast<double>(), t[2].cast<double>()});
  }
  xrd::RockingCurveInput input;
  input.lambda_angstrom = wavelength;
  input.h = hkl[0];
  input.k = hkl[1];
  input.l = hkl[2];
  if (polarization == "sigma") {
    input.polarization = xrd::Polarization::Sigma;
  } else if (polarization == "pi") {
    input.polarization = xrd::Polarization::Pi;
  } else if (polarization == "unpolarised" || polarization == "unpolarized") {
    input.polarization = xrd::Polarization::Unpolarised;
  } else {
    throw py::value_error("the polarization is \"sigma\", \"pi\" or \"unpolarised\", not \"" + polarization + "\"");
  }
  input.grazing_exit = grazing_exit;
  SetVibration(input, vibration);
  if (omega_arcsec.ndim() != 1) throw py::value_error("the angles must be a one-dimensional array");
  input.omega_arcsec.assign(omega_arcsec.data(), omega_arcsec.data() + omega_arcsec.shape(0));
  xrd::RockingCurve curve;
  {
    py::gil_scoped_release release;
    curve = xrd::ComputeRockingCurve(calculator, stack, input);
  }
  py::array_t<double> reflectivity(static_cast<py::ssize_t>(curve.reflectivity.size()));
  std::copy(curve.reflectivity.begin(), curve.reflectivity.end(), reflectivity.mutable_data());
  return py::make_tuple(reflectivity, curve.substrate_omega_deg, curve.layer_peak_arcsec);
}

// A Result as a tuple and back, for pickle.
py::tuple ResultState(const xrd::Result& r) {
  return py::make_tuple(py::make_tuple(r.sum_f1, r.sum_f2, r.f_minus, r.f_plus, r.chi0_real, r.chi0_imag,
                                       r.chi_minus, r.chi_plus, r.a, r.b, r.c, r.structure_scalar),
                        r.warnings, r.math_errors,
                        py::make_tuple(r.lambda_angstrom, r.h, r.k, r.l, r.theta_degrees),
                        py::make_tuple(r.alpha, r.beta, r.gamma));
}

xrd::Result ResultFromState(const py::tuple& state) {
  if (state.size() != 5) throw std::runtime_error("not the state of an xrdcalc.Result");
  const auto v = state[0].cast<py::tuple>();
  const auto reflection = state[3].cast<std::array<double, 5>>();
  const auto angles = state[4].cast<std::array<double, 3>>();
  xrd::Result r;
  r.sum_f1 = v[0].cast<double>();
  r.sum_f2 = v[1].cast<double>();
  r.f_minus = v[2].cast<std::complex<double>>();
  r.f_plus = v[3].cast<std::complex<double>>();
  r.chi0_real = v[4].cast<double>();
  r.chi0_imag = v[5].cast<double>();
  r.chi_minus = v[6].cast<std::complex<double>>();
  r.chi_plus = v[7].cast<std::complex<double>>();
  r.a = v[8].cast<double>();
  r.b = v[9].cast<double>();
  r.c = v[10].cast<double>();
  r.structure_scalar = v[11].cast<double>();
  r.warnings = state[1].cast<std::vector<std::string>>();
  r.math_errors = state[2].cast<std::vector<std::string>>();
  r.lambda_angstrom = reflection[0];
  r.h = reflection[1];
  r.k = reflection[2];
  r.l = reflection[3];
  r.theta_degrees = reflection[4];
  r.alpha = angles[0];
  r.beta = angles[1];
  r.gamma = angles[2];
  return r;
}

// f1 and f2 of one element at each energy (eV), as n x 2, and the distinct
// warnings, which the caller passes on.
py::tuple AnomalousScan(const xrd::Calculator& calculator, const std::string& element,
                        py::array_t<double, py::array::c_style | py::array::forcecast> energies) {
  if (energies.ndim() != 1) throw py::value_error("the energies must be a one-dimensional array");
  const auto n = static_cast<std::size_t>(energies.shape(0));
  py::array_t<double> values({static_cast<py::ssize_t>(n), static_cast<py::ssize_t>(2)});
  double* out = values.mutable_data();
  const double* energy = energies.data();
  std::vector<std::string> warnings;
  {
    py::gil_scoped_release release;
    for (std::size_t i = 0; i < n; ++i) {
      const xrd::AnomalousFactors factors = calculator.anomalous_factors(element, energy[i]);
      out[2 * i] = factors.f1;
      out[2 * i + 1] = factors.f2;
      AddDistinct(warnings, factors.warnings);
    }
  }
  return py::make_tuple(values, warnings);
}

}  // namespace

PYBIND11_MODULE(_xrdcalc, m) {
  m.doc() = "xrdcalc's calculator: structure factors and optical constants of crystals";

  py::object error = py::register_exception<xrd::Error>(m, "Error");
  error.attr("__module__") = "xrdcalc";
  error.attr("__doc__") = "An orderly stop: the input cannot be computed; the message says why.";
  g_data_warning = PyErr_NewExceptionWithDoc(
      "xrdcalc.DataWarning", "A data problem a computation survived (a missing table entry, an extrapolation).",
      PyExc_UserWarning, nullptr);
  if (!g_data_warning) throw py::error_already_set();
  m.attr("DataWarning") = py::reinterpret_borrow<py::object>(g_data_warning);

  py::list value_names;
  for (std::string_view name : xrd::kValueNames) value_names.append(py::str(name.data(), name.size()));
  m.attr("VALUE_NAMES") = py::tuple(value_names);

  m.attr("__version__") = XRDCALC_VERSION;
  m.def("photon_energy", &xrd::PhotonEnergyOf, py::arg("wavelength"),
        "Photon energy in eV of a wavelength in angstrom, as computations use it.");
  m.def("default_data_directory", &xrd::DefaultDataDirectory,
        "The data directory the library opens by default.");

  py::class_<xrd::Result>(m, "Result", "What one computation gives: the numbers of output.dat, named.")
      .def_readonly("sum_f1", &xrd::Result::sum_f1)
      .def_readonly("sum_f2", &xrd::Result::sum_f2)
      .def_readonly("f_minus", &xrd::Result::f_minus)
      .def_readonly("f_plus", &xrd::Result::f_plus)
      .def_readonly("chi0_real", &xrd::Result::chi0_real)
      .def_readonly("chi0_imag", &xrd::Result::chi0_imag)
      .def_readonly("chi_minus", &xrd::Result::chi_minus)
      .def_readonly("chi_plus", &xrd::Result::chi_plus)
      .def_readonly("a", &xrd::Result::a)
      .def_readonly("b", &xrd::Result::b)
      .def_readonly("c", &xrd::Result::c)
      .def_readonly("structure_scalar", &xrd::Result::structure_scalar)
      .def_readonly("warnings", &xrd::Result::warnings)
      .def_readonly("math_errors", &xrd::Result::math_errors)
      .def_readonly("wavelength", &xrd::Result::lambda_angstrom, "The wavelength in angstrom.")
      .def_property_readonly(
          "hkl", [](const xrd::Result& r) { return py::make_tuple(int(r.h), int(r.k), int(r.l)); },
          "The reflection's Miller indices.")
      .def_property_readonly("chi0", &xrd::Result::chi0, "chi0_real + 1j * chi0_imag.")
      .def_property_readonly(
          "cell", [](const xrd::Result& r) { return py::make_tuple(r.a, r.b, r.c, r.alpha, r.beta, r.gamma); },
          "The cell (a, b, c in angstrom, alpha, beta, gamma in degrees): the structure's, or a mix's weighted one.")
      .def_property_readonly("d_spacing", &xrd::Result::d_spacing,
                             "The spacing of the reflection's planes in angstrom (for a mix, of its weighted "
                             "lattice).")
      .def_property_readonly("bragg_angle_deg", &xrd::Result::bragg_angle_deg,
                             "The Bragg angle in degrees: theta when given, else asin(wavelength / 2d).")
      .def_property_readonly("polarisation_factor", &xrd::Result::polarisation_factor,
                             "|cos 2 theta_B|, the factor on chi_h for pi polarisation (sigma: 1).")
      .def(py::pickle(&ResultState, &ResultFromState))
      .def(
          "values",
          [](const xrd::Result& result) {
            const std::array<double, 16> v = result.values();
            py::tuple t(16);
            for (std::size_t i = 0; i < 16; ++i) t[i] = py::float_(v[i]);
            return t;
          },
          "The sixteen numbers in output.dat's order.")
      .def("__repr__", [](const xrd::Result& result) {
        return "<xrdcalc.Result F(hkl)=" + py::repr(py::cast(result.f_plus)).cast<std::string>() +
               " chi0=" + py::repr(py::float_(result.chi0_real)).cast<std::string>() + "+" +
               py::repr(py::float_(result.chi0_imag)).cast<std::string>() + "j>";
      });

  py::class_<Vibration>(m, "_Vibration")
      .def(py::init<std::optional<double>, std::optional<std::map<std::string, double>>>(),
           py::arg("temperature"), py::arg("b_factors"));

  py::class_<xrd::Calculator>(m, "Calculator", "A calculator on one data directory.")
      .def(py::init<std::string>(), py::arg("data_directory"))
      .def("_compute", &Compute)
      .def("_compute_mix", &ComputeMix)
      .def("_scan", &Scan)
      .def("_mix_scan", &MixScan)
      .def("_rocking_curve", &RockingCurve)
      .def("_anomalous_scan", &AnomalousScan)
      .def("structures", &xrd::Calculator::structures, "The structures of the data directory.")
      .def("reload", &xrd::Calculator::reload,
           "Read the data files again when they are next needed (after the tables have been replaced).")
      .def("form_factor", &xrd::Calculator::form_factor, py::arg("element"), py::arg("s"),
           "f0 of an element at s = sin(theta)/lambda (1/angstrom).")
      .def_property_readonly("data_directory", &xrd::Calculator::data_directory);
}
