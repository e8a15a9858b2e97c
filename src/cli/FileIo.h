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

// Extension of a path in lower case without the dot ("" when none).
std::string extensionOf(const std::string& path);

} // namespace pontvex::cli
