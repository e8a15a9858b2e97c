#pragma once

#include "cli/Cli.h"
#include "core/DeviceBuffer.h"

#include <cstdint>
#include <span>
#include <string>

namespace pontvex::cli {

enum class FileFormat { Bin, Hex, Srec, Cds, Jed };

// The format of a path: the named one, else by extension (.hex; .s19 .s28
// .s37 .srec .mot; .cds, .jed; anything else is binary). Loads look at the
// content first (see loadImage); this is what a save uses.
FileFormat formatFor(const std::string& path, const std::string& named, bool forSaving);

// The format a load uses: the named one, else HEX or S-records when the
// content is such text whatever the name, else by extension (so a damaged
// .hex is read as HEX and reported), else binary.
FileFormat loadFormatFor(const std::string& path, const std::string& named, std::span<const uint8_t> bytes);

// Loads a file into the buffer as the load command does (binary with --lane and
// --start, HEX, S-records, CDS); returns LoadEnd. A file that cannot be read, a
// broken record, or data that would not fit is a file error. What is worth
// knowing but no error (no end record, text loaded as binary) is a note on
// standard error.
int64_t loadImage(const Options& options, const std::string& path, DeviceBuffer& buffer);

// Saves the buffer: binary from --start (default 0) to --end (default
// defaultEnd), HEX and S-records always from 0 to --end (default defaultEnd).
void saveImage(const Options& options, const std::string& path, const DeviceBuffer& buffer,
               int64_t defaultEnd);

} // namespace pontvex::cli
