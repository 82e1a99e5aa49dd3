// The data files that the readers of one evaluation use. The classes of
// the computation take no context in their fixed constructors and steps,
// so an evaluation names its data files for its thread with a scope; a
// reader that runs outside every scope is a fault of the program, and
// stops with that message instead of reading from some other directory.
#pragma once

#include "runtime/data_files.hpp"

namespace xrd {

// The data files a scope on this thread has set. Throws std::logic_error
// when none is set.
const DataFiles& CurrentDataFiles();

// Makes `files` this thread's data files while the scope lives (scopes
// nest).
class DataFilesScope {
 public:
  explicit DataFilesScope(const DataFiles& files);
  ~DataFilesScope();
  DataFilesScope(const DataFilesScope&) = delete;
  DataFilesScope& operator=(const DataFilesScope&) = delete;

 private:
  const DataFiles* previous_;
};

}  // namespace xrd
