// Fuzz target: the formula parser with the composite's steps. The first
// byte picks the wavelength and reflection, the rest is the formula; the
// structures are read from the small test tables in Base/ beside the binary.
#include <cstddef>
#include <cstdint>
#include <string>

#include "composite/composite_structure.hpp"
#include "runtime/data_files_scope.hpp"
#include "runtime/executable_location.hpp"
#include "xrdcalc/error.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1 || size > 4096) return 0;
  const double wavelengths[4] = {1.5405929, 0.70931715, 1.0, 3.0};
  const double lambda = wavelengths[data[0] & 3];
  const double l = (data[0] >> 2) & 7;
  const double theta = (data[0] & 0x20) ? 30.0 : 0.0;
  const double lattice = (data[0] & 0x40) ? 5.65 : 0.0;
  std::string formula(reinterpret_cast<const char*>(data + 1), size - 1);
  static const xrd::DataFiles files(
      xrd::DataDirectoryBeside(xrd::ExecutableDirectory(xrd::CluesOfThisProcess(nullptr))));
  const xrd::DataFilesScope scope(files);
  xrd::TCompositeStructure composite(lattice, lattice, lattice, 0, 0, 0, lambda, 1, 1, l, theta, formula, 1.0);
  try {
    composite.ComputeStructureFactors();
    composite.ComputeOpticalConstants();
    composite.ComputeStructureScalar();
  } catch (const xrd::Error&) {
  }
  return 0;
}
