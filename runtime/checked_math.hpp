// The elementary functions whose behaviour outside their domains is part of
// the program's results. A reported error writes CR LF, "name: KIND error",
// CR LF to standard error; the computation goes on with the value given.
#pragma once

namespace xrd::math {

double sqrt(double x);  // x < 0 (not -0): DOMAIN, NaN
double asin(double x);  // |x| > 1 or NaN: DOMAIN, NaN
double sin(double x);   // |x| >= 2^53, infinity or NaN: NaN, silently
double cos(double x);   // as sin
double exp(double x);   // upper word >= that of 709.7822265625: OVERFLOW, +inf;
                        // at most -708.39599609375: 0, silently

}  // namespace xrd::math
