// The names of a run's two files in the working directory.
#pragma once

namespace xrd {

inline constexpr const char* kInputFileName = "input.dat";
inline constexpr const char* kOutputFileName = "output.dat";

}  // namespace xrd
