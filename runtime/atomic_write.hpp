// Writing a text file so that it is always either complete or absent.
#pragma once

#include <string>
#include <string_view>

namespace xrd {

// Writes `text` in text mode to `path` so that the file is always either
// complete or absent: the file is written unnamed (O_TMPFILE) and linked
// into place through /proc/self/fd when complete, so that no temporary file
// outlives the call even when the process is killed. Where the file system
// refuses O_TMPFILE or /proc is missing, a temporary file "<path>.XXXXXX" is
// renamed into place instead, with the terminating signals blocked
// meanwhile: only SIGKILL between its creation and the rename can leave it
// behind. Throws Error when the file cannot be written.
void WriteTextFileAtomically(const std::string& path, std::string_view text);

}  // namespace xrd
