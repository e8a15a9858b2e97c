#pragma once

#include "cli/Cli.h"

namespace pontvex::cli {

// Ctrl-C and SIGTERM: the first ends a chip command with its supplies off
// (exit 130), a second ends the program. Installed before anything else runs.
void installInterruptHandlers();

// Carries out one parsed command line; returns the exit code.
int run(const Options& options);

} // namespace pontvex::cli
