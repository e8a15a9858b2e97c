#pragma once

#include "boxsim/SocketFiles.h"
#include "core/Text.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace pontvex::cli {

// Exit codes, as --help and docs/cli.md promise them.
enum ExitCode : int {
    kExitOk = 0,
    kExitFailed = 1,        // the family reported a failure (ErrorFlag)
    kExitUsage = 2,         // bad command line, unknown chip, option, step or format
    kExitNoBox = 3,         // no box answered, offline, or the link was lost
    kExitFile = 4,          // a file could not be read or written
    kExitWrongChip = 5,     // the chip in the socket is not the chip chosen (its ID differs)
    kExitInterrupted = 130, // Ctrl-C or SIGTERM ended a chip command (supplies switched off)
};

// Ends the run with one line on standard error and an exit code.
class CliError : public std::runtime_error {
public:
    CliError(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
    int code() const { return code_; }

private:
    int code_;
};

inline CliError usageError(const std::string& message)
{
    return CliError(kExitUsage, message);
}
inline CliError fileError(const std::string& message)
{
    return CliError(kExitFile, message);
}

enum class Connection { Default, Port, Simulator, Offline };
enum class Answer { Ask, Yes, No };

struct Options {
    // Connection and simulated socket.
    Connection connection = Connection::Default;
    std::string port;
    std::string socketChip;
    boxsim::SocketFiles socketFiles; // --socket-image and --socket-dump, [REGION=]FILE each
    bool socketEmpty = false;
    std::string firmwareId;
    std::string traceFile;
    std::vector<std::string> faults; // simulated faults, as pontvex-boxsim --fault takes them

    // Chip choice.
    std::string chip;
    std::string key;
    std::optional<int> variant;
    std::string category;
    std::string group;
    std::vector<std::pair<std::string, std::string>> settings; // --set NAME=VALUE, in order
    Answer answer = Answer::Ask;
    bool ignoreId = false;          // --ignore-id: go on when the chip's ID differs
    bool allowSizeMismatch = false; // a file larger than the chip is a note, not an error
    bool checkId = false;           // memories: read the ID before write and Auto, refuse a different one
    bool quiet = false;             // errors (and asked-for results) only
    bool verbose = false;           // port, box identity, each command with its time

    // Command and its arguments.
    std::string command;
    std::vector<std::string> arguments;
    std::string output; // -o
    std::optional<std::string> steps;
    bool verifyAfterWrite = true;

    // File formats.
    std::string inFormat;
    std::string outFormat;
    std::optional<int> lane;
    std::optional<int64_t> start;
    std::optional<int64_t> end;

    bool help = false;
    bool version = false;
};

// Notes on standard error ("pontvex-cli: note: ..."), unless --quiet has silenced them.
void note(const std::string& text);
void silenceNotes(bool silent);

// Parses argv (without argv[0]); throws a usage CliError.
Options parseOptions(const std::vector<std::string>& args);

// Parses a hexadecimal number as the program's edit fields do (an optional 0x is allowed).
int64_t parseHex(const std::string& text, const std::string& what);

// Load mode of a binary load: index 0..7 from a number, a short name or the dialog's text.
int parseLane(const std::string& text);

const char* helpText();

// Case-insensitive comparison of ASCII letters; other bytes compare as they are.
std::string trim(const std::string& text);

} // namespace pontvex::cli
