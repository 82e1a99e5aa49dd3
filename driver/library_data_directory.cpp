// Where the library finds its data by default: <prefix>/lib/xrdcalc/Base
// beside the installed shared library, else the installation prefix it was
// configured for, else (before installation) the source tree's Base/.
#include <dlfcn.h>
#include <sys/stat.h>

#include "xrdcalc/calculator.hpp"

#ifndef XRDCALC_INSTALLED_DATA_DIR
#define XRDCALC_INSTALLED_DATA_DIR ""
#endif
#ifndef XRDCALC_SOURCE_DATA_DIR
#define XRDCALC_SOURCE_DATA_DIR ""
#endif

namespace xrd {

namespace {

bool IsDirectory(const std::string& path) {
  struct stat info {};
  return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// <dir>/xrdcalc/Base beside the file that holds this code, where that is
// an installed shared library (<prefix>/lib/libxrdcalc.so): so an installed
// tree finds its data wherever it was installed to.
std::string DataDirectoryBesideLibrary() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&DataDirectoryBesideLibrary), &info) == 0 || !info.dli_fname) return {};
  const std::string library = info.dli_fname;
  const std::size_t slash = library.rfind('/');
  if (slash == std::string::npos) return {};
  return library.substr(0, slash) + "/xrdcalc/Base";
}

}  // namespace

std::string DefaultDataDirectory() {
  for (const std::string& candidate :
       {DataDirectoryBesideLibrary(), std::string(XRDCALC_INSTALLED_DATA_DIR), std::string(XRDCALC_SOURCE_DATA_DIR)}) {
    if (IsDirectory(candidate)) return candidate;
  }
  return XRDCALC_INSTALLED_DATA_DIR;
}

}  // namespace xrd
