#include "cli/Run.h"

#include "cli/DataFiles.h"

namespace pontvex::cli {

namespace {

int runConvert(const Options& options)
{
    const std::string& in = options.arguments[0];
    const std::string& out = options.arguments[1];
    // Check the output format before reading anything.
    formatFor(out, options.outFormat, true);
    DeviceBuffer& buffer = DeviceBuffer::instance();
    const int64_t loadEnd = loadImage(options, in, buffer);
    saveImage(options, out, buffer, loadEnd);
    return kExitOk;
}

} // namespace

int run(const Options& options)
{
    if (options.command == "convert")
        return runConvert(options);
    throw usageError("'" + options.command + "' is not available yet");
}

} // namespace pontvex::cli
