// Where the running program's executable lies, so that its data directory
// Base/ is found beside it whatever the working directory: from
// /proc/self/exe, else from the path the program was started by (the
// kernel's AT_EXECFN, then argv[0], searched in PATH when it has no
// slash), the executable's own symlinks resolved. Never a guess: where
// none of these leads to the executable, the program stops.
#pragma once

#include <string>

namespace xrd {

// What a process knows of how it was started.
struct ExecutableClues {
  std::string proc_link = "/proc/self/exe";  // the kernel's link to the executable
  std::string exec_path;                     // the path given to execve (AT_EXECFN), if known
  std::string argv0;                         // the program's name as started
  std::string search_path;                   // the PATH the program was started with
};

// The clues of this process.
ExecutableClues CluesOfThisProcess(const char* argv0);

// The directory that holds the executable (symlinks to it resolved; a
// relative one is relative to the working directory the program started
// in, which it never leaves). Throws Error saying what was tried when no
// clue leads to an executable file.
std::string ExecutableDirectory(const ExecutableClues& clues);

// The data directory beside the executable: its directory followed by "/Base".
std::string DataDirectoryBeside(const std::string& executable_directory);

}  // namespace xrd
