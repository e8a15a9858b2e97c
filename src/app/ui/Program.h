#pragma once

#include "boxsim/SocketFiles.h"
#include "catalogue/FamilyWindow.h"
#include "link/ProgrammerLink.h"

#include <memory>
#include <string>
#include <vector>

namespace pontvex {

namespace boxsim {
class Box;
}

// The command line of the program. The connection and simulated-socket
// options are those of pontvex-cli.
struct ProgramOptions {
    enum class Connection { Ask, Port, Simulator, Offline };
    Connection connection = Connection::Ask;
    std::string port;
    std::string socketChip;
    boxsim::SocketFiles socketFiles; // --socket-image and --socket-dump, [REGION=]FILE each
    bool socketEmpty = false;
    std::string firmwareId;
    std::string traceFile;
    bool help = false;
    std::string error; // non-empty when the command line is wrong
};

ProgramOptions parseProgramOptions(const std::vector<std::string>& args);
const char* programHelpText();

// The simulated box in this process, when the program runs on one.
class SimulatedBox {
public:
    SimulatedBox(const ProgramOptions& options, UserPrompt& prompt);
    ~SimulatedBox();
    // Starts the box and attaches it to the link; false (and told) on failure.
    bool attach(ProgrammerLink& link);
    // Puts the model of the chosen chip's row into the socket unless the
    // command line fixed the socket's chip; the socket keeps a chip of the
    // same name. Every model that goes in gets the command line's images.
    void followChip(ProgrammerLink& link, const ChipSelection& chip);
    // Writes the socket dumps and the trace, if asked for.
    void finish(ProgrammerLink& link);
    boxsim::Box& box() { return *box_; }

private:
    // The command line's images into a model about to go into the socket.
    void fill(boxsim::ChipModel& model);

    const ProgramOptions& options_;
    UserPrompt& prompt_;
    std::shared_ptr<boxsim::Box> box_;
    std::string traceTemporary_;
    bool socketFixed_ = false;
};

// The text of the offer made when no box answered.
inline constexpr const char* kSimulatorOffer =
    "Программатор не найден.\nРаботать с имитатором программатора? (микросхемы в его панели тоже имитация)";

// Step 4 of the start-up: the connection as the command line asks for it.
// With no option the user is asked; when no box answers although the user
// wanted one, the simulated box is offered. ports: where the ports come from
// (main()'s serial port opener, or a test's).
void connectLink(const ProgramOptions& options, ProgrammerLink& link, UserPrompt& prompt,
                 std::unique_ptr<SimulatedBox>& simulator, PortOpener& ports);

// The whole program: start-up window, main window, link, dialogs, type
// selection, then the message loop. Returns the exit code.
int runProgram(int argc, char** argv);

} // namespace pontvex
