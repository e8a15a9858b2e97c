#include "cli/Run.h"

namespace pontvex::cli {

int run(const Options& options)
{
    throw usageError("'" + options.command + "' is not available yet");
}

} // namespace pontvex::cli
