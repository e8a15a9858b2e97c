#pragma once

#include "cli/Cli.h"
#include "core/DeviceBuffer.h"

#include <cstdint>
#include <string>

namespace pontvex::cli {

enum class FileFormat { Bin, Hex, Cds, Jed };

// The format of a path: the named one, else by extension (.hex, .cds, .jed;
// anything else is binary, as the file format dialog preselects it).
FileFormat formatFor(const std::string& path, const std::string& named, bool forSaving);

// Loads a file into the buffer as the load command does (binary with --lane and
// --start, HEX, CDS); returns LoadEnd. A file that cannot be read, a broken
// record, or data that would not fit is a file error.
int64_t loadImage(const Options& options, const std::string& path, DeviceBuffer& buffer);

// Saves the buffer: binary from --start (default 0) to --end (default
// defaultEnd), HEX always from 0 to --end (default defaultEnd). Written atomically.
void saveImage(const Options& options, const std::string& path, const DeviceBuffer& buffer,
               int64_t defaultEnd);

} // namespace pontvex::cli
