// One run of the program: input.dat in, output.dat out, in the working
// directory, with the data files of the data directory.
#pragma once

#include <optional>
#include <string>

namespace xrd {

// Reads input.dat, computes with the data files of `data_directory` (again,
// should they change meanwhile), prints the warnings and mathematical-error
// messages and writes output.dat. With a temperature, the atoms' thermal
// vibration at it damps the structure factors. Throws Error on unusable
// input, data that stop the run or an output.dat that cannot be written.
void RunProgram(const std::string& data_directory, std::optional<double> temperature_k = std::nullopt);

}  // namespace xrd
