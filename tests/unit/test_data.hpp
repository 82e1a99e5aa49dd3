// The small test tables of tests/data/Base, and the helpers the unit tests
// share: scratch directories and an error's message.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "runtime/data_files.hpp"
#include "runtime/data_files_scope.hpp"
#include "xrdcalc/error.hpp"

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

// A directory of this process's own under the temporary directory, empty or
// a copy of the test tables, removed with everything in it at the end.
class ScratchDirectory {
 public:
  explicit ScratchDirectory(const std::string& name, bool with_tables = false)
      : path_(std::filesystem::temp_directory_path() / (name + "-" + std::to_string(getpid()))) {
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
    if (with_tables) std::filesystem::copy(TestDataDirectory(), path_);
  }
  ~ScratchDirectory() { std::filesystem::remove_all(path_); }
  const std::filesystem::path& path() const { return path_; }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(path_ / name, std::ios::binary) << bytes;
  }

 private:
  std::filesystem::path path_;
};

// The message of the Error `run` throws, or "no error".
template <class Run>
std::string ErrorOf(Run&& run) {
  try { run(); } catch (const Error& error) { return error.what(); }
  return "no error";
}

}  // namespace xrd::testing
