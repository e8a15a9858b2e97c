#include "cli/Cli.h"
#include "cli/Run.h"
#include "families/Families.h"
#include "link/SerialPort.h"

#include <exception>
#include <iostream>

int main(int argc, char** argv)
{
    using namespace pontvex;
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
        // What the run works on, owned here for the whole run.
        DeviceBuffer buffer;
        SerialPortOpener serialPorts;
        ProgrammerLink link;
        link.setPortOpener(&serialPorts);
        FamilyRegistry families;
        registerFamilies(families);
        return run(options, {buffer, link, families});
    } catch (const CliError& e) {
        std::cerr << "pontvex-cli: " << e.what() << "\n";
        return e.code();
    } catch (const std::exception& e) {
        std::cerr << "pontvex-cli: " << e.what() << "\n";
        return kExitFailed;
    }
}
