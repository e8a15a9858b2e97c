#include "cli/Cli.h"
#include "cli/Run.h"

#include <exception>
#include <iostream>

int main(int argc, char** argv)
{
    using namespace pontvex::cli;
    installInterruptHandlers();
    std::vector<std::string> args(argv + 1, argv + argc);
    Options options;
    try {
        options = parseOptions(args);
    } catch (const CliError& e) {
        std::cerr << "pontvex-cli: " << e.what() << "\nTry 'pontvex-cli --help'.\n";
        return e.code();
    }
    if (options.help) {
        std::cout << helpText();
        return kExitOk;
    }
    if (options.version) {
        std::cout << "pontvex-cli 0.1\n";
        return kExitOk;
    }
    try {
        return run(options);
    } catch (const CliError& e) {
        std::cerr << "pontvex-cli: " << e.what() << "\n";
        return e.code();
    } catch (const std::exception& e) {
        std::cerr << "pontvex-cli: " << e.what() << "\n";
        return kExitFailed;
    }
}
