#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pontvex::cli {

// Whole file, or standard input for "-"; throws a file CliError naming the file.
std::vector<uint8_t> readWholeFile(const std::string& path);

// Writes through a temporary beside the target and renames it into place, so a
// failed write never leaves a half-written file where a good one was. "-" is
// standard output. Throws a file CliError naming the file.
void writeFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes);

// Throws the file error a later write would meet when the folder of path is
// missing or not writable, or path is a folder, so a long chip command is not
// run for an output that cannot be saved.
void checkWritable(const std::string& path);

// Extension of a path in lower case without the dot ("" when none).
std::string extensionOf(const std::string& path);

} // namespace pontvex::cli
