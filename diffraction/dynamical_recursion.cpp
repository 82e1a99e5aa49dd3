// The closed-form solution of each layer's Riccati equation for X = D_h/D_0
// and the recursion from the substrate to the surface.
#include "diffraction/dynamical_recursion.hpp"

#include <algorithm>
#include <cmath>

#include "runtime/math_constants.hpp"

namespace xrd {

namespace {

using Complex = std::complex<double>;

// dX/dz = a + b X + d X^2 in one layer at one angle, and its roots
// X_plus = (-b + s) / 2d, X_minus = (-b - s) / 2d with s = sqrt(b^2 - 4ad),
// Re s >= 0: integrating upwards (towards the surface) X tends to X_plus.
struct Riccati {
  Complex x_plus;
  Complex x_minus;
  Complex s;
};

struct Direction {
  double gamma_0;  // k0_z / k
  double gamma_h;  // kh_z / k
  double alpha;    // (|kh|^2 - k^2) / k^2
  double c;        // polarisation factor
};

Direction DirectionOf(const LayerWave& layer, double k, double cos_omega, double sin_omega,
                      WavePolarization polarization) {
  Direction d;
  const double kh_x = k * cos_omega + layer.h_x;
  const double kh_z = k * sin_omega + layer.h_z;
  d.gamma_0 = sin_omega;
  d.gamma_h = kh_z / k;
  // |kh|^2 - k^2 = 2 k0.h + h^2, formed without the cancelling k^2.
  const double h_squared = layer.h_x * layer.h_x + layer.h_z * layer.h_z;
  d.alpha = (2.0 * k * (cos_omega * layer.h_x + sin_omega * layer.h_z) + h_squared) / (k * k);
  d.c = 1.0;
  if (polarization == WavePolarization::Pi) {
    d.c = (k * cos_omega * kh_x + k * sin_omega * kh_z) / (k * std::hypot(kh_x, kh_z));
  }
  return d;
}

Riccati Solve(const LayerWave& layer, const Direction& d, double k) {
  const Complex i_pi_over_lambda(0.0, kPi * k);
  const Complex a = i_pi_over_lambda * d.c * layer.chi_h / d.gamma_h;
  const Complex b = i_pi_over_lambda * ((layer.chi0 - d.alpha) / d.gamma_h - layer.chi0 / d.gamma_0);
  const Complex dd = -i_pi_over_lambda * d.c * layer.chi_hbar / d.gamma_0;
  Complex s = std::sqrt(b * b - 4.0 * a * dd);
  if (s.real() < 0.0) s = -s;
  return {(-b + s) / (2.0 * dd), (-b - s) / (2.0 * dd), s};
}

// X at the top of a layer of thickness t whose bottom has X = x_bottom:
// w = (X - X_plus)/(X - X_minus) grows as exp(s z), so w(top) = w(bottom)
// exp(-s t), written without dividing by X_bottom - X_minus.
Complex Propagate(const Riccati& r, Complex x_bottom, double thickness) {
  const Complex decay = std::exp(-r.s * thickness);
  const Complex to_minus = x_bottom - r.x_minus;
  const Complex to_plus = (x_bottom - r.x_plus) * decay;
  return (r.x_plus * to_minus - r.x_minus * to_plus) / (to_minus - to_plus);
}

}  // namespace

double StackReflectivity(const std::vector<LayerWave>& layers, double wavenumber, double omega_rad,
                         WavePolarization polarization) {
  const double cos_omega = std::cos(omega_rad);
  const double sin_omega = std::sin(omega_rad);
  Complex x;
  for (std::size_t i = 0; i < layers.size(); ++i) {
    const Direction d = DirectionOf(layers[i], wavenumber, cos_omega, sin_omega, polarization);
    const Riccati r = Solve(layers[i], d, wavenumber);
    x = i == 0 ? r.x_plus : Propagate(r, x, layers[i].thickness_angstrom);
  }
  // The fluxes of the waves in vacuum: the diffracted one leaves with the
  // surface layer's tangential component of kh, at wavenumber k.
  const double exit_x = cos_omega + layers.back().h_x / wavenumber;
  const double gamma_h_vacuum = std::sqrt(std::max(0.0, 1.0 - exit_x * exit_x));
  return gamma_h_vacuum / sin_omega * std::norm(x);
}

}  // namespace xrd
