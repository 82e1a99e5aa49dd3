// The small test tables of tests/data/Base written out as numbers, and a
// run computed from them with the textbook formulas, so that tests know what
// a run must give without the program's code: f0 = c + sum a exp(-b s^2),
// f1 and f2 linear in energy between the rows, f = f0(s) + f1 - f0(0) + i f2
// at every site, F(hkl) = sum f exp(+2 pi i (hx + ky + lz)), sin(theta) =
// lambda / 2d with 1/d^2 = h^2/a^2 + k^2/b^2 + l^2/c^2, Gamma = r_e lambda^2
// / (pi a b c).
#pragma once

#include <array>
#include <cmath>
#include <complex>
#include <map>
#include <string>
#include <vector>

namespace xrd::testing {

struct ElementModel {
  std::array<double, 5> a;
  double c;
  std::array<double, 5> b;
  std::vector<std::array<double, 3>> rows;  // energy (eV), f1, f2, ascending

  double F0(double s) const {
    double f0 = c;
    for (int i = 0; i < 5; ++i) f0 += a[i] * std::exp(-b[i] * s * s);
    return f0;
  }
  // f1 and f2 on the line through the two rows around `energy_ev` (the later
  // of two rows at one energy; the end rows outside the table).
  std::complex<double> F1F2(double energy_ev) const {
    std::size_t above = 1;
    while (above + 1 < rows.size() && rows[above][0] <= energy_ev) ++above;
    const auto &p = rows[above - 1], &q = rows[above];
    const double t = (energy_ev - p[0]) / (q[0] - p[0]);
    return {p[1] + t * (q[1] - p[1]), p[2] + t * (q[2] - p[2])};
  }
  // f = f0(s) + f1 - f0(0) + i f2 at the wavelength `lambda` (angstrom).
  std::complex<double> F(double s, double lambda) const {
    const std::complex<double> f1f2 = F1F2(12398.100046 / lambda);
    return {F0(s) + f1f2.real() - F0(0), f1f2.imag()};
  }
};

inline const std::map<std::string, ElementModel>& Elements() {
  static const std::map<std::string, ElementModel> elements = {
      {"Ga", {{10, 8, 6, 4, 2}, 1, {1, 2, 3, 4, 5},
              {{5000, 29, 1.5}, {10000, 27, 0.5}, {10367, 25, 0.6}, {10367, 26, 3.8}, {15000, 30, 2},
               {20000, 31, 1}}}},
      {"As", {{11, 9, 7, 3, 2}, 1, {0.5, 1, 2, 4, 8},
              {{5000, 32, 2}, {10000, 31, 1}, {15000, 33, 2.5}, {20000, 33.5, 1.5}}}},
      {"In", {{20, 10, 10, 5, 3}, 1, {1, 1, 1, 1, 1},
              {{5000, 47, 8}, {10000, 48, 4}, {15000, 48.5, 2}, {20000, 48.8, 1}}}},
      {"Si", {{5.275329, 3.191038, 1.511514, 1.356849, 2.519114}, 0.145073,
              {2.631338, 33.730728, 0.081119, 86.28864, 1.170087},
              {{5000, 14.1, 0.5}, {10000, 14.2, 0.2}, {15000, 14.3, 0.1}}}},
  };
  return elements;
}

struct Site { const char* element; double x, y, z; };

// The structures of the test tables: their lattice constant (a), scalar and
// sites; and GaAsw, a wurtzite that tests write beside them.
struct StructureModel { double lattice, scalar; std::vector<Site> sites; };

inline constexpr double kThird = 1.0 / 3, kTwoThirds = 2.0 / 3;

inline const std::map<std::string, StructureModel>& Structures() {
  static const std::map<std::string, StructureModel> structures = {
      {"Ga", {4.0, 0.1, {{"Ga", 0, 0, 0}}}},
      {"In", {4.4, 0.2, {{"In", 0, 0, 0}}}},
      {"GaAs", {5.0, 0.3, {{"Ga", 0, 0, 0}, {"As", 0.1, 0.25, 0.4}}}},
      {"InAs", {6.0, 0.35, {{"In", 0, 0, 0}, {"As", 0.1, 0.25, 0.4}}}},
      {"Si", {5.43102, 0.2785, {{"Si", 0, 0, 0}, {"Si", 0, 0.5, 0.5}, {"Si", 0.5, 0, 0.5},
                                 {"Si", 0.5, 0.5, 0}, {"Si", 0.25, 0.25, 0.25}, {"Si", 0.25, 0.75, 0.75},
                                 {"Si", 0.75, 0.25, 0.75}, {"Si", 0.75, 0.75, 0.25}}}},
      {"GaAsw", {4.0, 0.25, {{"Ga", kThird, kTwoThirds, 0}, {"Ga", kTwoThirds, kThird, 0.5},
                             {"As", kThird, kTwoThirds, 0.375}, {"As", kTwoThirds, kThird, 0.875}}}},
  };
  return structures;
}

inline constexpr double kPiModel = 3.141592653589793;

// What one structure gives: the sums of f1 and f2 and F(-h-k-l), F(hkl).
struct Sums { double f1 = 0, f2 = 0; std::complex<double> f_minus, f_plus; };

// The Bragg angle in degrees of (h k l) at `lambda` in an orthogonal cell a b c.
inline double BraggAngle(double h, double k, double l, double a, double b, double c, double lambda) {
  const double inverse_d = std::sqrt(h * h / (a * a) + k * k / (b * b) + l * l / (c * c));
  return std::asin(lambda * inverse_d / 2) * 180 / kPiModel;
}

// The sums of `name`, each element's f damped by exp(-B s^2) with its B in `b`.
inline Sums StructureSums(const std::string& name, double h, double k, double l, double theta_degrees,
                          double lambda, const std::map<std::string, double>& b = {}) {
  Sums sums;
  const double s = std::sin(theta_degrees * kPiModel / 180) / lambda;
  for (const Site& site : Structures().at(name).sites) {
    const ElementModel& e = Elements().at(site.element);
    const auto given = b.find(site.element);
    const std::complex<double> f = e.F(s, lambda) * std::exp(-(given == b.end() ? 0 : given->second) * s * s);
    const double phase = 2 * kPiModel * (h * site.x + k * site.y + l * site.z);
    sums.f1 += e.F1F2(12398.100046 / lambda).real();
    sums.f2 += e.F1F2(12398.100046 / lambda).imag();
    sums.f_plus += f * std::polar(1.0, phase);
    sums.f_minus += f * std::polar(1.0, -phase);
  }
  return sums;
}

// Gamma = r_e lambda^2 / (pi V), V = a b c, r_e in angstrom.
inline double Gamma(double lambda, double a, double b, double c) {
  return 2.817938e-5 * lambda * lambda / (kPiModel * a * b * c);
}

}  // namespace xrd::testing
