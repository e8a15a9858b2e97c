#pragma once

#include "catalogue/FamilyRegistry.h"
#include "cli/Cli.h"
#include "core/DeviceBuffer.h"
#include "link/ProgrammerLink.h"

namespace pontvex::cli {

// Ctrl-C and SIGTERM: the first ends a chip command with its supplies off
// (exit 130), a second ends the program. Installed before anything else runs.
void installInterruptHandlers();

// What main() owns for the run and lends to it: the chip image, the link
// (with the serial port opener set) and the families built in.
struct Resources {
    DeviceBuffer& buffer;
    ProgrammerLink& link;
    const FamilyRegistry& families;
};

// Carries out one parsed command line; returns the exit code.
int run(const Options& options, const Resources& resources);

} // namespace pontvex::cli
