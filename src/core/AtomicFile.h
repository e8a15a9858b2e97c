#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace pontvex {

// Replaces the file at path with bytes, or leaves it as it was: the bytes go
// to a temporary in the same folder, which is flushed to the disk and renamed
// over path only when all of it is written. A failure removes the temporary,
// answers false and puts the system's reason into error. A new file gets the
// usual mode (0666 less the umask); a replaced one keeps its mode. A path that
// is a symbolic link replaces the file the link points to.
bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string& error);
bool writeFileAtomically(const std::string& path, std::span<const uint8_t> bytes, std::string& error);

} // namespace pontvex
