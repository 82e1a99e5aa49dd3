// The mathematical constants of the computation, each the double nearest
// to its value, so that every angle and phase is formed with the same bits.
#pragma once

namespace xrd {

inline constexpr double kPi = 3.141592653589793;
inline constexpr double kTwoPi = 6.283185307179586;
inline constexpr double kInversePi = 0.3183098861837907;
inline constexpr double kOneOver180 = 1.0 / 180.0;

}  // namespace xrd
