// The small test tables of tests/data/Base, for the unit tests.
#pragma once

#include <fstream>
#include <iterator>
#include <string>

#include "runtime/data_files.hpp"
#include "runtime/data_files_scope.hpp"

namespace xrd::testing {

inline const char* TestDataDirectory() { return TEST_DATA_BASE; }

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Makes the test tables the data files of the computation classes on this
// thread while it lives.
class TestDataScope {
 public:
  TestDataScope() : files_(TestDataDirectory()), scope_(files_) {}
  const DataFiles& files() const { return files_; }

 private:
  DataFiles files_;
  DataFilesScope scope_;
};

}  // namespace xrd::testing
