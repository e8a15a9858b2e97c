#include "cli/Cli.h"

#include "core/Text.h"

#include <array>
#include <cctype>
#include <iostream>
#include <map>

namespace pontvex::cli {

namespace {

struct CommandShape {
    int minArgs;
    int maxArgs;
};

const std::map<std::string, CommandShape>& commands()
{
    static const std::map<std::string, CommandShape> table = {
        {"list", {0, 0}},  {"controls", {0, 0}}, {"read", {0, 0}},     {"write", {1, 1}}, {"verify", {1, 1}},
        {"blank", {0, 0}}, {"erase", {0, 0}},    {"checksum", {0, 0}}, {"id", {0, 0}},    {"lock", {0, 0}},
        {"auto", {0, 1}},  {"press", {1, 2}},    {"convert", {2, 2}},
    };
    return table;
}

// Options that take a value; the rest are flags.
const std::map<std::string, std::string Options::*>& textOptions()
{
    static const std::map<std::string, std::string Options::*> table = {
        {"--port", &Options::port},
        {"--socket-chip", &Options::socketChip},
        {"--firmware-id", &Options::firmwareId},
        {"--trace", &Options::traceFile},
        {"--chip", &Options::chip},
        {"--key", &Options::key},
        {"--category", &Options::category},
        {"--group", &Options::group},
        {"--output", &Options::output},
        {"-o", &Options::output},
        {"--in-format", &Options::inFormat},
        {"--out-format", &Options::outFormat},
    };
    return table;
}

const char* const kOtherValueOptions[] = {"--variant", "--set",   "--steps",        "--lane",       "--start",
                                          "--end",     "--fault", "--socket-image", "--socket-dump"};

bool takesValue(const std::string& name)
{
    if (textOptions().count(name))
        return true;
    for (const char* o : kOtherValueOptions)
        if (name == o)
            return true;
    return false;
}

void setConnection(Options& o, Connection c, const std::string& flag)
{
    if (o.connection != Connection::Default && o.connection != c)
        throw usageError(flag + " cannot be combined with another of --port, --simulator, --offline");
    o.connection = c;
}

int parseDecimal(const std::string& text, const std::string& what)
{
    if (text.empty() || text.size() > 9)
        throw usageError(what + ": '" + text + "' is not a number");
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            throw usageError(what + ": '" + text + "' is not a number");
    return std::stoi(text);
}

// The load modes of the file format dialog, by their dialog text.
const std::array<const char*, 8> kLaneTexts = {"All",
                                               "Defualt",
                                               "1th char of word16",
                                               "2th char of word16",
                                               "1th char of word32",
                                               "2th char of word32",
                                               "3th char of word32",
                                               "4th char of word32"};
const std::array<const char*, 8> kLaneNames = {"all",      "default",  "word16-1", "word16-2",
                                               "word32-1", "word32-2", "word32-3", "word32-4"};

bool gNotesSilenced = false;

} // namespace

void note(const std::string& text)
{
    if (!gNotesSilenced)
        std::cerr << "pontvex-cli: note: " << text << "\n";
}

void silenceNotes(bool silent)
{
    gNotesSilenced = silent;
}

std::string trim(const std::string& text)
{
    size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

int64_t parseHex(const std::string& text, const std::string& what)
{
    const auto value = pontvex::parseHex(text, hex::kPrefixedAddress);
    if (!value)
        throw usageError(what + ": '" + text + "' is not a hexadecimal address");
    return static_cast<int64_t>(*value);
}

int parseLane(const std::string& text)
{
    std::string t = trim(text);
    if (t.size() == 1 && t[0] >= '0' && t[0] <= '7')
        return t[0] - '0';
    for (size_t i = 0; i < kLaneNames.size(); ++i)
        if (equalsIgnoreCase(t, kLaneNames[i]) || equalsIgnoreCase(t, kLaneTexts[i]))
            return static_cast<int>(i);
    throw usageError("--lane: unknown load mode '" + text +
                     "' (0..7, all, word16-1, word16-2, word32-1 .. word32-4)");
}

Options parseOptions(const std::vector<std::string>& args)
{
    Options o;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        bool isOption = !optionsEnded && arg.size() > 1 && arg[0] == '-';
        if (!isOption) {
            if (o.command.empty()) {
                if (!commands().count(arg))
                    throw usageError("unknown command '" + arg + "'");
                o.command = arg;
            } else {
                o.arguments.push_back(arg);
            }
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = arg, value;
        bool hasValue = false;
        if (size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            hasValue = true;
        }
        if (takesValue(name)) {
            if (!hasValue) {
                if (i + 1 >= args.size())
                    throw usageError(name + " needs a value");
                value = args[++i];
            }
        } else if (hasValue) {
            throw usageError(name + " takes no value");
        }

        if (auto t = textOptions().find(name); t != textOptions().end()) {
            if (value.empty())
                throw usageError(name + " needs a value");
            o.*(t->second) = value;
            if (name == "--port")
                setConnection(o, Connection::Port, name);
        } else if (name == "--variant") {
            o.variant = parseDecimal(value, "--variant");
        } else if (name == "--set") {
            size_t eq = value.find('=');
            if (eq == std::string::npos || eq == 0)
                throw usageError("--set needs NAME=VALUE, got '" + value + "'");
            o.settings.emplace_back(value.substr(0, eq), value.substr(eq + 1));
        } else if (name == "--fault") {
            o.faults.push_back(value);
        } else if (name == "--socket-image" || name == "--socket-dump") {
            const auto error =
                name == "--socket-image" ? o.socketFiles.addImage(value) : o.socketFiles.addDump(value);
            if (error)
                throw usageError(error->message);
        } else if (name == "--steps") {
            o.steps = value;
        } else if (name == "--lane") {
            o.lane = parseLane(value);
        } else if (name == "--start") {
            o.start = parseHex(value, "--start");
        } else if (name == "--end") {
            o.end = parseHex(value, "--end");
        } else if (name == "--simulator") {
            setConnection(o, Connection::Simulator, name);
        } else if (name == "--offline") {
            setConnection(o, Connection::Offline, name);
        } else if (name == "--socket-empty") {
            o.socketEmpty = true;
        } else if (name == "--yes" || name == "-y") {
            if (o.answer == Answer::No)
                throw usageError("--yes and --no exclude each other");
            o.answer = Answer::Yes;
        } else if (name == "--no") {
            if (o.answer == Answer::Yes)
                throw usageError("--yes and --no exclude each other");
            o.answer = Answer::No;
        } else if (name == "--check-id") {
            o.checkId = true;
        } else if (name == "--quiet" || name == "-q") {
            o.quiet = true;
        } else if (name == "--verbose" || name == "-v") {
            o.verbose = true;
        } else if (name == "--ignore-id") {
            o.ignoreId = true;
        } else if (name == "--allow-size-mismatch") {
            o.allowSizeMismatch = true;
        } else if (name == "--no-verify") {
            o.verifyAfterWrite = false;
        } else if (name == "--help" || name == "-h") {
            o.help = true;
        } else if (name == "--version") {
            o.version = true;
        } else {
            throw usageError("unknown option '" + name + "'");
        }
    }
    if (o.help || o.version)
        return o;
    if (o.command.empty())
        throw usageError("no command given");

    const CommandShape shape = commands().at(o.command);
    int n = static_cast<int>(o.arguments.size());
    if (n < shape.minArgs)
        throw usageError("'" + o.command + "' needs " +
                         (shape.minArgs == 1 ? "an argument" : "two arguments"));
    if (n > shape.maxArgs)
        throw usageError("'" + o.command + "': unexpected argument '" + o.arguments[shape.maxArgs] + "'");

    if (o.command == "read" && o.output.empty())
        throw usageError("'read' needs -o FILE");
    if (o.steps && o.command != "auto")
        throw usageError("--steps belongs to 'auto'");
    if (!o.key.empty() && !o.chip.empty())
        throw usageError("give either --chip or --key, not both");
    if (o.variant && o.key.empty())
        throw usageError("--variant belongs to --key");
    if (!o.key.empty() && !o.variant)
        throw usageError("--key needs --variant N");
    bool socketOptions = !o.socketChip.empty() || !o.socketFiles.empty() || o.socketEmpty ||
                         !o.firmwareId.empty() || !o.faults.empty();
    if (socketOptions && o.connection != Connection::Simulator)
        throw usageError("the --socket-*, --firmware-id and --fault options belong to the simulator "
                         "(give --simulator)");
    if (!o.traceFile.empty() && o.connection == Connection::Offline)
        throw usageError("--trace needs a box: --port, --simulator, or none of them to look for one");
    if (o.socketEmpty && (!o.socketChip.empty() || !o.socketFiles.images().empty()))
        throw usageError("--socket-empty excludes --socket-chip and --socket-image");
    if (o.quiet && o.verbose)
        throw usageError("--quiet and --verbose exclude each other");
    if (o.checkId && o.command != "write" && o.command != "auto")
        throw usageError("--check-id belongs to 'write' and 'auto'");
    if (o.firmwareId.size() > 8)
        throw usageError("--firmware-id: at most 8 characters");
    bool formatOptions = !o.inFormat.empty() || !o.outFormat.empty() || o.lane;
    if (formatOptions && o.command == "list")
        throw usageError("format options do not apply to 'list'");
    return o;
}

const char* helpText()
{
    return R"(Usage: pontvex-cli [OPTIONS] COMMAND [ARGUMENTS]

Drives the chip families of Pontvex from the command line, against a real
box, the built-in box simulator, or no box at all.

Commands:
  list [--category C] [--group G]   chips of the device list (category, group, chip, key)
  controls                           buttons, options, Auto steps and fields of the chosen family
  read -o FILE                       read the chip into FILE
  write FILE                         program FILE into the chip, then verify (--no-verify skips it)
  verify FILE                        compare the chip with FILE
  blank | erase | checksum | id | lock
                                     run that command of the family
  auto [FILE] [--steps S1,S2,...]    the family's Auto sequence (only the named steps when --steps)
  press BUTTON [FILE] [-o OUT]       press any button (caption, handler or short name); FILE is
                                     loaded before, OUT saved after
  convert IN OUT                     load IN and save OUT through Pontvex's own file formats

Connection (default: the box is looked for on the port that answered last,
COM1..COM4 and USB serial adapters; exit 3 when none answers):
  --port PATH          the box on this serial device (COM1..COM4 or a device path)
  --simulator          the built-in box simulator (said on standard error)
  --offline            no box: chip commands are refused
  --trace FILE         write every byte to and from the box to FILE, with its time
                       (simulated time, or ms since the port opened) and meaning
Simulated socket:
  --socket-chip NAME   chip model in the socket (default: the model of the chosen chip's
                       device-list row; an unknown name lists the models)
  --socket-image [REGION=]FILE
                       fill a memory of the chip before the run (binary)
  --socket-dump [REGION=]FILE
                       save a memory of the chip after the run (binary)
                       REGION: a memory of the model (code, data, config, id, lock, fuses,
                       array, rows, as the model has them; pontvex-boxsim --list-chips names
                       them); without it the main memory. Once per region; words with more
                       than 8 bits take two or more bytes, least significant first
  --socket-empty       no chip in the socket
  --firmware-id ID     identity the simulated box answers (8 characters)
  --fault FAULT        inject a fault, repeatable: vanish-after=N, drop-reply=N, drop-rate=P,
                       short-identity, mute, stuck-pin=P:L, short-pins=P:Q,
                       stuck-cell=ADDR:MASK:BITS (hex), seed=N

Chip:
  --chip NAME          device-list name; exact, or a unique case-insensitive match
  --category C         narrow --chip and list: EPROM, FLASH/EEPROM, MPU, SERIAL EEPROM,
                       GAL, TEST RAM, TEST TTL/COMS (or 0..6)
  --group G            narrow --chip and list to one group
  --key KEY --variant N   algorithm key and variant row instead of --chip
  --set NAME=VALUE     set a family option (caption or short name; value = item text or
                       number) or an address field (hexadecimal); repeatable
  --yes | --no         answer every question of the family; otherwise questions are
                       asked on the terminal and refused when there is none
  --check-id           memories: read the chip's ID before write or auto and refuse
                       (exit 5) one that differs from the device list's signature; off by
                       default, as the ID read puts 12 V on A9
  --ignore-id          go on when the chip's ID is not the chosen chip's (that question
                       only; refused or answered No it ends the run with exit code 5)

Files (--in-format/--out-format: bin, hex, srec, cds (load only), jed; without
--in-format a load reads Intel HEX or S-record text by its content, whatever
the name; saves go by --out-format or the extension: .hex .ihx, .s19 .s28 .s37
.srec .mot, .jed, else binary; '-' is standard input or output):
  -o, --output FILE    output file of read and press
  --lane MODE          binary load mode: 0..7, all, word16-1, word16-2, word32-1 .. word32-4
  --start ADDR         hexadecimal: where a binary load starts in the buffer, and the first
                       address of a binary save
  --end ADDR           hexadecimal: the last address saved
  --allow-size-mismatch
                       load a file larger than the chip (a note instead of exit 4)

Other:
  -q, --quiet          errors only (and the results asked for: id, checksum)
  -v, --verbose        also the port, the box identity and each command with its time
  -h, --help           this text
  --version            the program's version

Output: the family's message line on standard output (every change on a terminal,
the final line when piped); a progress bar on standard error when it is a terminal.

Exit codes:
  0  success
  1  the operation failed (the family's message says why)
  2  usage: bad command line, unknown chip, option, step or format, question not answered
  3  no box, offline, or the link was lost
  4  file error: a file could not be read or written, or is larger than the chip
  5  the chip in the socket is not the chip chosen: its ID differs (see --ignore-id)
  130  interrupted (Ctrl-C): the command stopped with the socket supplies off
)";
}

} // namespace pontvex::cli
