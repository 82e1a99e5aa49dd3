// DebyeWallerFactor: the damping of an element's scattering factor by its
// thermal vibration.
#include "thermal/debye_waller_factor.hpp"

#include <cmath>

namespace xrd {

double DebyeWallerFactor(const ThermalDisplacement& displacement, double s, double along_c_share) {
  const double b = displacement.IsIsotropic() ? displacement.b_across_c
                                              : displacement.b_across_c * (1.0 - along_c_share) +
                                                    displacement.b_along_c * along_c_share;
  return std::exp(-b * (s * s));
}

double AlongCShare(double l, double c, double inverse_squared_spacing) {
  if (!(inverse_squared_spacing > 0.0)) return 0.0;
  const double along = (l / c) * (l / c);
  return along / inverse_squared_spacing;
}

}  // namespace xrd
