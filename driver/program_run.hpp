// One run of the program: input.dat in, output.dat out, in the working
// directory, with the data files of the data directory.
#pragma once

#include <string>

namespace xrd {

// Reads input.dat, computes with the data files of `data_directory` (again,
// should they change meanwhile), prints the warnings and mathematical-error
// messages and writes output.dat. Throws Error on unusable input, data that
// stop the run or an output.dat that cannot be written.
void RunProgram(const std::string& data_directory);

}  // namespace xrd
