#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pontvex::cli {

// Whole file, or standard input for "-"; throws a file CliError naming the file.
std::vector<uint8_t> readWholeFile(const std::string& path);

// Writes a regular file (or a new one) through a temporary beside it and
// renames it into place, keeping an existing file's mode, so a failed write
// never leaves a half-written file where a good one was. A symlink is
// followed and stays; a pipe or a device is written in place; "-" and
// /dev/stdout are standard output. Throws a file CliError naming the file.
void writeFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes);

// Throws the file error a later write would meet when the folder of path is
// missing or not writable, or path is a folder, so a long chip command is not
// run for an output that cannot be saved.
void checkWritable(const std::string& path);

// Extension of a path in lower case without the dot ("" when none).
std::string extensionOf(const std::string& path);

} // namespace pontvex::cli
