// The thread's current data files.
#include "runtime/data_files_scope.hpp"

#include <stdexcept>

namespace xrd {

namespace {

thread_local const DataFiles* current_data_files = nullptr;

}  // namespace

const DataFiles& CurrentDataFiles() {
  if (!current_data_files) throw std::logic_error("a data file was read outside an evaluation: no data files set");
  return *current_data_files;
}

DataFilesScope::DataFilesScope(const DataFiles& files) : previous_(current_data_files) {
  current_data_files = &files;
}

DataFilesScope::~DataFilesScope() { current_data_files = previous_; }

}  // namespace xrd
