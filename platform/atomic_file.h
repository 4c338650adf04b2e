#pragma once

#include <filesystem>
#include <string_view>

namespace tqm {

// Blocks on writing content to a file and flushing it to the disk, so that the file
// holds either its old bytes or all the new ones, whatever happens on the way:
// - the bytes go to a new temporary file beside the target, which is synced and then
//   renamed over the target, and the directory is synced after the rename;
// - a replaced file keeps its permission bits; a new one is 0644 less the umask;
// - through a symbolic link, the file the link points to is written and the link stays;
// - a target that exists but that the user may not write, or that is not a regular
//   file, is not replaced;
// - on every failure the temporary file is removed and the target left as it was.
// False on failure, with errno telling why.
bool writeFileAtomically(const std::filesystem::path& target, std::string_view content);

}  // namespace tqm
