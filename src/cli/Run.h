#pragma once

#include "cli/Cli.h"

namespace pontvex::cli {

// Carries out one parsed command line; returns the exit code.
int run(const Options& options);

} // namespace pontvex::cli
