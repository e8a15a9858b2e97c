#include "cli/Run.h"

#include "boxsim/Box.h"
#include "boxsim/Faults.h"
#include "boxsim/SimTransport.h"
#include "boxsim/chips/Registry.h"
#include "catalogue/HeadlessHost.h"
#include "cli/Catalogue.h"
#include "cli/DataFiles.h"
#include "cli/FileIo.h"
#include "cli/PortTrace.h"
#include "cli/Ports.h"
#include "cli/Terminal.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <set>
#include <sstream>

namespace pontvex::cli {

namespace {

// Ctrl-C during a chip command must not leave programming voltage on the
// chip: the first signal ends the command at its next repaint, where the
// command frame's guard switches the supplies off; a second one ends the
// program at once.
volatile std::sig_atomic_t gInterrupted = 0;

extern "C" void onInterrupt(int signal)
{
    if (gInterrupted) {
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    gInterrupted = signal;
}

// A signal that came before anything was done ends the run before it starts.
void stopIfInterrupted(const char* what)
{
    if (gInterrupted)
        throw CliError(kExitInterrupted, std::string("interrupted ") + what);
}

int runConvert(const Options& options, DeviceBuffer& buffer)
{
    const std::string& in = options.arguments[0];
    const std::string& out = options.arguments[1];
    // Check the output format before reading anything.
    formatFor(out, options.outFormat, true);
    const int64_t loadEnd = loadImage(options, in, buffer);
    stopIfInterrupted("before the output was written");
    saveImage(options, out, buffer, loadEnd);
    return kExitOk;
}

// The rest of the program as the family sees it: questions on the terminal,
// the message line and progress on the console.
class CliHost : public HeadlessHost {
public:
    CliHost(CliPrompt& prompt, StatusOutput& status, DeviceBuffer& buffer)
        : HeadlessHost(buffer), prompt_(prompt), status_(status)
    {
    }
    UserPrompt& prompt() override { return prompt_; }
    void familyChanged(FamilyWindow& family) override
    {
        if (!reporting)
            return;
        status_.update(family.message(), family.progressValue(), family.progressMax(), family.addressText());
        // The command ends at its next progress step, through its frame, with the supplies off.
        if (gInterrupted)
            family.requestStop();
    }
    bool reporting = false;

private:
    CliPrompt& prompt_;
    StatusOutput& status_;
};

std::string lowerAscii(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool matchesName(const std::string& wanted, std::initializer_list<const std::string*> names)
{
    for (const std::string* n : names)
        if (!n->empty() && (*n == wanted || equalsIgnoreCase(trim(*n), trim(wanted))))
            return true;
    return false;
}

// One run of a chip command: connection, simulated box, chosen family.
class Session {
public:
    Session(const Options& options, const Resources& resources)
        : o_(options), prompt_(options.answer, options.ignoreId), host_(prompt_, status_, resources.buffer),
          link_(resources.link), buffer_(resources.buffer), families_(resources.families)
    {
        link_.setPrompt(&prompt_);
        prompt_.setStatus(&status_);
        host_.dataFile = dataFileOf(options);
        if (options.output == "-" || options.output == "/dev/stdout")
            status_.messagesToStandardError();
        if (options.quiet)
            status_.silence();
        silenceNotes(options.quiet);
    }

    ~Session()
    {
        // Leave a real box idle; nothing left to tell if it is gone.
        try {
            if (window_)
                window_->close();
            if (link_.Connected()) {
                link_.PowerDown();
                link_.Flush();
            }
        } catch (const LinkLost&) {
        }
        link_.Disconnect();
        link_.setPrompt(nullptr);
        if (!traceTemporary_.empty()) {
            std::error_code ec;
            std::filesystem::remove(traceTemporary_, ec);
        }
    }

    static constexpr const char* kBeforeStart = "before the command started";

    // The data file a family's side documents live beside: the image the
    // command reads from, else the one it writes; none for the other commands.
    static std::string dataFileOf(const Options& o)
    {
        if ((o.command == "write" || o.command == "verify" || o.command == "auto") && !o.arguments.empty())
            return o.arguments[0];
        if (o.command == "press" && o.arguments.size() > 1)
            return o.arguments[1];
        if (!o.output.empty() && o.output != "-")
            return o.output;
        return {};
    }

    int run()
    {
        const int category = o_.category.empty() ? -1 : parseCategory(o_.category);
        stopIfInterrupted(kBeforeStart);
        connect();
        selection_ = std::make_unique<TypeSelection>(link_, host_, families_);
        if (o_.command == "list")
            return finish(list(category));

        choose(category);
        applySettings();
        if (o_.verbose && link_.Connected())
            std::cerr << "pontvex-cli: box on " << link_.PortName() << ", identity \"" << link_.FirmwareId()
                      << "\", round trip " << link_.RoundTripMs() << " ms; chip " << chip_.ChipName << " ("
                      << window_->className() << ")\n";
        int code = kExitOk;
        try {
            stopIfInterrupted(kBeforeStart);
            code = command();
        } catch (const CliError& e) {
            // An interrupted run still leaves its socket dump and trace behind.
            if (e.code() == kExitInterrupted)
                finish(e.code());
            throw;
        }
        return finish(code);
    }

private:
    // --- connection -------------------------------------------------------------

    void connect()
    {
        if (!o_.traceFile.empty() && o_.connection != Connection::Simulator &&
            o_.connection != Connection::Offline) {
            portTrace_ = std::make_unique<TracingPortOpener>();
            traceTemporary_ = o_.traceFile + ".partial";
            if (!portTrace_->open(traceTemporary_))
                throw fileError("cannot write " + o_.traceFile);
            link_.setPortOpener(portTrace_.get());
        }
        switch (o_.connection) {
        case Connection::Offline:
            return;
        case Connection::Port:
            if (!connectTo(o_.port)) {
                const std::string problem = portProblem(o_.port);
                throw CliError(kExitNoBox, problem.empty() ? "no box answered on " + o_.port + told()
                                                           : "cannot open " + o_.port + ": " + problem);
            }
            return;
        case Connection::Default:
            // Listing chips and controls needs no box; nothing is probed for them.
            if (o_.command == "list" || o_.command == "controls")
                return;
            for (const std::string& name : probedPorts(link_.settingsPath()))
                if (portProblem(name).empty() && connectTo(name))
                    return;
            throw CliError(kExitNoBox, "no box answered on the last used port, COM1..COM4 or a USB serial "
                                       "adapter; give --port PATH, or --simulator for the simulated box");
        case Connection::Simulator:
            startSimulator();
            return;
        }
    }

    // One port, its link texts held back for the one error line.
    bool connectTo(const std::string& name)
    {
        prompt_.holdEverything(true);
        const bool connected = link_.ConnectTo(name);
        held_ = prompt_.heldText();
        if (!connected) {
            prompt_.holdEverything(false);
            return false;
        }
        prompt_.releaseBoxes();
        return true;
    }

    std::string told() const { return held_.empty() ? std::string() : " (" + held_ + ")"; }

    void startSimulator()
    {
        boxsim::BoxOptions boxOptions;
        if (!o_.firmwareId.empty())
            boxOptions.firmwareId = o_.firmwareId + std::string(8 - o_.firmwareId.size(), ' ');
        box_ = std::make_shared<boxsim::Box>(boxOptions);
        if (!o_.traceFile.empty()) {
            traceTemporary_ = o_.traceFile + ".partial";
            if (!box_->trace().toFile(traceTemporary_))
                throw fileError("cannot write " + o_.traceFile);
        }
        for (const auto& fault : o_.faults) {
            std::string error;
            if (!faults_.add(fault, error))
                throw usageError("--fault " + fault + ": " + error);
        }
        // Identity and socket faults now; stuck cells once the chip is in.
        boxsim::FaultPlan now = faults_;
        now.stuckCells.clear();
        now.applyTo(*box_);
        std::unique_ptr<Transport> transport = std::make_unique<boxsim::SimTransport>(box_);
        if (faults_.lineFaults())
            transport = std::make_unique<boxsim::FaultyTransport>(std::move(transport), faults_);
        // The chip goes in once it is known; the identity and the list probe need none.
        if (!link_.AttachTransport(std::move(transport), "simulator"))
            throw CliError(kExitNoBox, "the simulated box did not answer");
        // A run against no real chip must never pass for one.
        std::cerr << kSimulatorNotice << "\n";
    }

    std::unique_ptr<boxsim::ChipModel> socketModel()
    {
        if (!o_.socketChip.empty()) {
            auto model = boxsim::makeChipModel(o_.socketChip);
            if (!model) {
                std::string names;
                for (const auto& n : boxsim::chipModelNames())
                    names += (names.empty() ? "" : ", ") + n;
                throw usageError("no chip model '" + o_.socketChip + "' (" + names + ")");
            }
            return model;
        }
        // The model of the chosen device-list row.
        return boxsim::makeChipForRow(chip_.AlgorithmKey, chip_.VariantIndex, chip_.ChipName);
    }

    void fillSocket()
    {
        if (!box_ || o_.socketEmpty)
            return;
        auto model = socketModel();
        if (!model) {
            if (!o_.socketFiles.images().empty())
                throw usageError("--socket-image: no simulated model of " + chip_.ChipName +
                                 " to fill (see --socket-chip)");
            std::cerr << "pontvex-cli: no simulated model of " << chip_.ChipName
                      << "; the simulated socket stays empty (see --socket-chip)\n";
            return;
        }
        // Region names are wrong before any file is right.
        std::optional<boxsim::SocketFileError> error = o_.socketFiles.checkRegions(*model);
        if (!error)
            error = o_.socketFiles.loadImages(*model);
        if (error)
            throw CliError(error->kind == boxsim::SocketFileError::Kind::Usage ? kExitUsage : kExitFile,
                           error->message);
        for (const auto& cell : faults_.stuckCells)
            model->addStuckCell(cell);
        link_.Flush();
        box_->insertChip(std::move(model));
    }

    // --- chip ---------------------------------------------------------------------

    // The device list; its "no list" box gives way to one line naming what is missing.
    std::vector<CatalogueEntry> catalogue(int category)
    {
        prompt_.holdBoxes(true);
        std::vector<CatalogueEntry> entries;
        try {
            entries = readCatalogue(*selection_, category, o_.group);
        } catch (...) {
            prompt_.holdBoxes(false);
            throw;
        }
        prompt_.releaseBoxes();
        return entries;
    }

    void choose(int category)
    {
        ChipSelection chip;
        int chipCategory = category >= 0 ? category : 0;
        if (!o_.key.empty()) {
            chip.AlgorithmKey = o_.key;
            chip.VariantIndex = *o_.variant;
            chip.ChipName = o_.key;
            // Name and signature from the list when it has this chip.
            for (const auto& e : catalogue(category))
                if (e.parsed.key == o_.key && e.parsed.variant == *o_.variant) {
                    chip.ChipName = e.name;
                    chip.ExpectedSignature = e.parsed.signature;
                    chipCategory = e.category;
                    break;
                }
        } else if (!o_.chip.empty()) {
            const auto entries = catalogue(category);
            const CatalogueEntry& e = findChip(entries, o_.chip);
            chip.AlgorithmKey = e.parsed.key;
            chip.VariantIndex = e.parsed.variant;
            chip.ChipName = e.name;
            chip.ExpectedSignature = e.parsed.signature;
            chipCategory = e.category;
            selection_->GroupName = e.group;
        } else {
            throw usageError("'" + o_.command + "' needs a chip: --chip NAME or --key KEY --variant N");
        }
        chip_ = chip;

        const DispatchRow* row = dispatchRow(chip.AlgorithmKey);
        if (!row)
            throw usageError("chip '" + chip.ChipName + "': unknown algorithm key '" + chip.AlgorithmKey +
                             "'");
        if (!selection_->families().built(row->key))
            throw usageError("chip '" + chip.ChipName + "': its family " + row->windowClass + " (key " +
                             row->key + ") is not built into this program yet");

        // The ID reader looks at the category the chip came from.
        selection_->categorySelection = chipCategory;
        selection_->CategoryIndex = chipCategory;
        selection_->chip = chip;
        host_.idReader = [this] {
            selection_->ReadIdCode();
            return selection_->idField;
        };
        selection_->DispatchAlgorithm();
        window_ = selection_->currentWindow();
        if (!window_)
            throw usageError("chip '" + chip.ChipName + "': no family window opened");
        if (!window_->variantValid(chip.VariantIndex))
            throw usageError("chip '" + chip.ChipName + "': variant " + std::to_string(chip.VariantIndex) +
                             " is no row of " + window_->className() + " (1.." +
                             std::to_string(window_->rowCount()) + ")");
        fillSocket();
    }

    void applySettings()
    {
        for (const auto& [name, value] : o_.settings) {
            if (OptionGroup* group = findOption(name)) {
                window_->selectOption(group->name, optionItem(*group, value));
                continue;
            }
            if (AddressField* field = findField(name)) {
                parseHex(value, "--set " + name);
                window_->editField(field->name, value);
                continue;
            }
            if (FlagControl* flag = findFlag(name)) {
                window_->setFlag(flag->name, flagValue(*flag, value));
                continue;
            }
            if (ValueField* field = findValue(name)) {
                if (!window_->editValue(field->name, value))
                    throw usageError("--set " + name + ": '" + value + "' is no " + rangeText(*field));
                continue;
            }
            std::string known;
            auto add = [&known](const std::string& shortName, const std::string& caption) {
                known += (known.empty() ? "" : ", ") + (shortName.empty() ? caption : shortName);
            };
            for (const auto& g : window_->options())
                add(g.shortName, g.caption);
            for (const auto& f : window_->fields())
                add(f.shortName, f.caption);
            for (const auto& f : window_->flags())
                add(f.shortName, f.caption);
            for (const auto& v : window_->values())
                add(v.shortName, v.caption);
            throw usageError("--set: " + window_->className() + " has no option, field or box '" + name +
                             "'" + (known.empty() ? std::string() : " (" + known + ")"));
        }
    }

    OptionGroup* findOption(const std::string& name)
    {
        if (OptionGroup* g = window_->findOption(name))
            return g;
        for (auto& g : window_->options())
            if (matchesName(name, {&g.name, &g.caption, &g.shortName}))
                return &g;
        return nullptr;
    }

    AddressField* findField(const std::string& name)
    {
        if (AddressField* f = window_->findField(name))
            return f;
        for (auto& f : window_->fields())
            if (matchesName(name, {&f.name, &f.caption, &f.shortName}))
                return &f;
        return nullptr;
    }

    FlagControl* findFlag(const std::string& name)
    {
        if (FlagControl* f = window_->findFlag(name))
            return f;
        for (auto& f : window_->flags())
            if (matchesName(name, {&f.name, &f.caption, &f.shortName}))
                return &f;
        return nullptr;
    }

    ValueField* findValue(const std::string& name)
    {
        if (ValueField* v = window_->findValue(name))
            return v;
        for (auto& v : window_->values())
            if (matchesName(name, {&v.name, &v.caption, &v.shortName}))
                return &v;
        return nullptr;
    }

    static bool flagValue(const FlagControl& flag, const std::string& value)
    {
        const std::string v = lowerAscii(trim(value));
        if (v == "1" || v == "on" || v == "yes" || v == "true" || v == "x")
            return true;
        if (v == "0" || v == "off" || v == "no" || v == "false" || v == "")
            return false;
        throw usageError("--set " + (flag.shortName.empty() ? flag.caption : flag.shortName) + ": '" + value +
                         "' is no check box state (1/0, on/off, yes/no)");
    }

    static std::string rangeText(const ValueField& field)
    {
        char text[96];
        if (field.base == ValueField::Base::Hex)
            std::snprintf(text, sizeof text, "hexadecimal %llx..%llx",
                          static_cast<unsigned long long>(field.minimum),
                          static_cast<unsigned long long>(field.maximum));
        else
            std::snprintf(text, sizeof text, "decimal %lld..%lld", static_cast<long long>(field.minimum),
                          static_cast<long long>(field.maximum));
        return text;
    }

    static int optionItem(const OptionGroup& group, const std::string& value)
    {
        const std::string wanted = trim(value);
        for (size_t i = 0; i < group.items.size(); ++i)
            if (group.items[i] == value || equalsIgnoreCase(trim(group.items[i]), wanted))
                return static_cast<int>(i);
        if (!wanted.empty() && wanted.size() < 4 &&
            wanted.find_first_not_of("0123456789") == std::string::npos) {
            int index = std::stoi(wanted);
            if (index < static_cast<int>(group.items.size()))
                return index;
        }
        int found = -1;
        for (size_t i = 0; i < group.items.size(); ++i)
            if (!wanted.empty() && lowerAscii(group.items[i]).rfind(lowerAscii(wanted), 0) == 0) {
                if (found >= 0) {
                    found = -2;
                    break;
                }
                found = static_cast<int>(i);
            }
        if (found >= 0)
            return found;
        std::string items;
        for (size_t i = 0; i < group.items.size(); ++i)
            items += (i ? ", " : "") + std::to_string(i) + " \"" + group.items[i] + "\"";
        throw usageError("--set " + (group.shortName.empty() ? group.caption : group.shortName) +
                         ": no item '" + value + "' (" + items + ")");
    }

    // --- commands -----------------------------------------------------------------

    int command()
    {
        const std::string& c = o_.command;
        // Outputs that cannot be saved are found before the chip is touched.
        if (!o_.output.empty()) {
            formatFor(o_.output, o_.outFormat, true);
            checkWritable(o_.output);
        }
        for (const auto& dump : o_.socketFiles.dumps())
            checkWritable(dump.path);
        if (c == "controls")
            return controls();
        if (c == "read") {
            int code = press(Role::Read, c);
            if (code == kExitOk)
                saveImage(o_, o_.output, buffer_, readEnd());
            return code;
        }
        if (c == "write") {
            loadFile(o_.arguments[0]);
            checkId();
            int code = press(Role::Write, c);
            if (code == kExitOk && o_.verifyAfterWrite && window_->findButton(Role::Verify))
                code = press(Role::Verify, "verify");
            return code;
        }
        if (c == "verify") {
            loadFile(o_.arguments[0]);
            return press(Role::Verify, c);
        }
        if (c == "auto")
            return autoSequence();
        if (c == "press") {
            if (o_.arguments.size() > 1)
                loadFile(o_.arguments[1]);
            int code = press(o_.arguments[0]);
            if (code == kExitOk && !o_.output.empty())
                saveImage(o_, o_.output, buffer_, readEnd());
            return code;
        }
        static const std::pair<const char*, Role> kCommands[] = {
            {"blank", Role::Blank}, {"erase", Role::Erase}, {"checksum", Role::CheckSum},
            {"id", Role::Id},       {"lock", Role::Lock},
        };
        for (const auto& [name, role] : kCommands) {
            if (c != name)
                continue;
            int code = press(role, c);
            // A family that shows the ID in its message line has printed it already.
            const std::string& id = window_->idText();
            if (role == Role::Id && !id.empty() && window_->message().find(id) == std::string::npos)
                status_.result(id);
            return code;
        }
        throw usageError("unknown command '" + c + "'");
    }

    // The last address a read filled: the chip's end, or the family's length field when shorter.
    int64_t readEnd()
    {
        int64_t end = host_.endAddress();
        if (const AddressField* length = window_->findField(Role::Length); length && length->value < end)
            end = length->value;
        return end;
    }

    void loadFile(const std::string& path)
    {
        const int64_t loadEnd = loadImage(o_, path, buffer_);
        // A loaded file opens the hex view, as the load command does; a
        // JEDEC file the PLD view instead.
        const bool fuseMap = formatFor(path, o_.inFormat, false) == FileFormat::Jed;
        host_.hexView = !fuseMap;
        host_.pldView = fuseMap;
        const int64_t chipEnd = host_.endAddress();
        if (loadEnd <= chipEnd)
            return;
        const std::string what = (path == "-" ? std::string("standard input") : path) + " ends at " +
                                 hexText(loadEnd) + "; " + chip_.ChipName + " takes " +
                                 std::to_string(chipEnd + 1) + " bytes (0.." + hexText(chipEnd) + ")";
        if (!o_.allowSizeMismatch)
            throw fileError(what + "; --allow-size-mismatch uses the first " + std::to_string(chipEnd + 1));
        note(what + "; the rest is not used");
    }

    static std::string hexText(int64_t value)
    {
        char text[32];
        std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(value));
        return text;
    }

    ButtonControl* findButton(const std::string& which)
    {
        if (ButtonControl* b = window_->findButton(which))
            return b;
        for (auto& b : window_->buttons())
            if (matchesName(which, {&b.name, &b.handler, &b.caption, &b.shortName}))
                return &b;
        return nullptr;
    }

    // press NAME: a button by any of its names, or the frame's Auto and Exit.
    int press(const std::string& which)
    {
        if (ButtonControl* button = findButton(which))
            return run(button, [button] { button->run(); });
        for (const Role role : {Role::Auto, Role::Exit})
            if (lowerAscii(which) == roleName(role))
                return press(role, which);
        std::string known;
        for (const auto& b : window_->buttons())
            known += (known.empty() ? "" : ", ") + (b.shortName.empty() ? b.caption : b.shortName);
        throw usageError(window_->className() + " has no button '" + which + "' (" + known + ")");
    }

    // A command word: the family's button of that role (Auto and Exit are the frame's own).
    int press(Role role, const std::string& command)
    {
        ButtonControl* button = window_->findButton(role);
        if (!button && role != Role::Auto && role != Role::Exit) {
            std::string known;
            for (const auto& b : window_->buttons())
                known += (known.empty() ? "" : ", ") + (b.shortName.empty() ? b.caption : b.shortName);
            throw usageError(window_->className() + " has no button '" + command + "' (" + known + ")");
        }
        return run(button, [this, role] { window_->press(role); });
    }

    int run(const ButtonControl* button, const std::function<void()>& pressIt)
    {
        if (button && !button->enabled)
            throw CliError(kExitFailed, "'" + button->caption + "' is disabled for " + chip_.ChipName);
        window_->resetOutcome();
        status_.begin(window_->progressValue(), window_->addressText(), window_->message());
        host_.reporting = true;
        const auto started = std::chrono::steady_clock::now();
        pressIt();
        host_.reporting = false;
        if (o_.verbose) {
            const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
            char text[32];
            std::snprintf(text, sizeof text, "%.2f s", took.count());
            std::cerr << "pontvex-cli: " << (button ? button->caption : window_->className() + " Auto")
                      << ": " << text << "\n";
        }
        if (gInterrupted) {
            // The command has returned, so its frame has switched the supplies off.
            status_.end(window_->message(), false);
            throw CliError(kExitInterrupted, "interrupted; the socket supplies are off");
        }
        status_.end(window_->message(), !link_.Connected());
        const int code = outcome();
        if (o_.quiet && code != kExitOk && !window_->message().empty())
            std::cerr << oneLine(window_->message()) << "\n";
        return code;
    }

    int autoSequence()
    {
        if (o_.steps) {
            std::set<AutoStep*> ticked;
            std::stringstream list(*o_.steps);
            std::string name;
            while (std::getline(list, name, ',')) {
                if (trim(name).empty())
                    continue;
                AutoStep* step = window_->findAutoStep(trim(name));
                for (auto& s : window_->autoSteps())
                    if (!step && matchesName(name, {&s.name, &s.caption, &s.shortName}))
                        step = &s;
                if (!step) {
                    std::string known;
                    for (const auto& s : window_->autoSteps())
                        known +=
                            (known.empty() ? "" : ", ") + (s.shortName.empty() ? s.caption : s.shortName);
                    throw usageError("--steps: " + window_->className() + " has no Auto step '" + trim(name) +
                                     "' (" + known + ")");
                }
                ticked.insert(step);
            }
            for (auto& s : window_->autoSteps())
                s.checked = ticked.count(&s) > 0;
        }
        bool needsImage = false;
        for (const auto& s : window_->autoSteps())
            needsImage =
                needsImage || (s.checked && s.enabled && (s.role == Role::Write || s.role == Role::Verify));
        if (!o_.arguments.empty())
            loadFile(o_.arguments[0]);
        else if (needsImage)
            throw usageError(
                "'auto' writes or verifies: give the image FILE (or --steps without write and verify)");
        checkId();
        return press(Role::Auto, "auto");
    }

    // --check-id: the memory's ID against the device list's signature, before anything is programmed.
    void checkId()
    {
        if (!o_.checkId)
            return;
        if (selection_->categorySelection > 1)
            throw usageError("--check-id reads the ID of memories; the " + window_->className() +
                             " family checks its chip's ID itself");
        const auto& want = chip_.ExpectedSignature;
        if (want[0] == 0 && want[1] == 0) {
            note(chip_.ChipName + " has no signature in the device list; --check-id has nothing to compare");
            return;
        }
        selection_->ReadIdCode();
        if (!link_.Connected())
            throw CliError(kExitNoBox, "no box to read the ID of " + chip_.ChipName + " from");
        const auto& got = selection_->IdBytes;
        char text[96];
        std::snprintf(text, sizeof text, "ID %02x,%02x, the device list's %02x,%02x", got[0], got[1], want[0],
                      want[1]);
        if (got[0] != want[0] || got[1] != want[1])
            throw CliError(kExitWrongChip, "the chip in the socket is not " + chip_.ChipName + " (" + text +
                                               "); nothing was programmed");
        if (o_.verbose)
            std::cerr << "pontvex-cli: " << text << "\n";
    }

    int outcome()
    {
        if (prompt_.idDeclined())
            throw CliError(kExitWrongChip, "the chip in the socket is not " + chip_.ChipName + " (" +
                                               prompt_.idQuestion() + "); --ignore-id goes on all the same");
        if (prompt_.refused())
            throw usageError("question not answered (no terminal; give --yes or --no): " +
                             prompt_.refusedQuestion());
        if (!link_.Connected()) {
            if (o_.connection == Connection::Offline)
                std::cerr << "pontvex-cli: offline: no box to run '" << o_.command << "' on\n";
            return kExitNoBox;
        }
        return window_->ErrorFlag() != 0 ? kExitFailed : kExitOk;
    }

    int controls()
    {
        FamilyWindow& w = *window_;
        std::ostringstream out;
        out << "family\t" << w.className() << "\n";
        out << "chip\t" << chip_.ChipName << "\tkey " << chip_.AlgorithmKey << "\tvariant "
            << chip_.VariantIndex;
        if (w.variantValid(chip_.VariantIndex))
            out << "\trow \"" << w.rowName(chip_.VariantIndex) << "\"";
        out << "\n";
        for (const auto& b : w.buttons())
            out << "button\t" << b.shortName << "\t" << b.caption << "\t" << b.name << "\t" << b.handler
                << (b.enabled ? "" : "\t(disabled)") << "\n";
        for (const auto& g : w.options()) {
            out << "option\t" << g.shortName << "\t" << g.caption << "\t= " << g.selected;
            for (size_t i = 0; i < g.items.size(); ++i)
                out << "\t" << i << " \"" << g.items[i] << "\"";
            out << "\n";
        }
        for (const auto& f : w.fields())
            out << "field\t" << f.shortName << "\t" << f.caption << "\t= " << f.text << "\n";
        for (const auto& f : w.flags())
            out << "flag\t" << f.shortName << "\t" << f.caption << "\t" << (f.checked ? "[x]" : "[ ]")
                << (f.enabled ? "" : "\t(disabled)") << "\n";
        for (const auto& v : w.values())
            out << "value\t" << v.shortName << "\t" << v.caption << "\t= " << v.text << "\t(" << rangeText(v)
                << ")" << (v.enabled ? "" : "\t(disabled)") << "\n";
        for (const auto& s : w.autoSteps())
            out << "step\t" << s.shortName << "\t" << s.caption << "\t" << (s.checked ? "[x]" : "[ ]")
                << "\n";
        for (const auto& d : w.sideDocuments()) {
            const std::string path = w.sideDocumentPath(d);
            out << "document\t" << d.extension << "\t" << (path.empty() ? "(none)" : path) << "\n";
        }
        std::cout << out.str() << std::flush;
        return kExitOk;
    }

    int list(int category)
    {
        std::ostringstream out;
        for (const auto& e : catalogue(category)) {
            out << categoryName(e.category) << "\t" << e.group << "\t" << e.name << "\t" << e.parsed.key
                << " " << e.parsed.variant;
            if (!selection_->families().built(e.parsed.key))
                out << "\t(family not built)";
            out << "\n";
        }
        std::cout << out.str() << std::flush;
        return kExitOk;
    }

    // --- end of the run -------------------------------------------------------------

    // The trace file takes its name once the run is over (it stays open for the last bytes).
    int keepTrace(int code)
    {
        if (traceTemporary_.empty())
            return code;
        if (portTrace_)
            portTrace_->flush();
        else
            box_->trace().flush();
        std::error_code ec;
        std::filesystem::rename(traceTemporary_, o_.traceFile, ec);
        if (ec) {
            std::cerr << "pontvex-cli: cannot write " << o_.traceFile << ": " << ec.message() << "\n";
            return code != kExitOk ? code : kExitFile;
        }
        traceTemporary_.clear();
        return code;
    }

    int finish(int code)
    {
        if (!box_)
            return keepTrace(code);
        // Whatever the command left queued reaches the simulated box before the dump.
        try {
            if (link_.Connected())
                link_.Flush();
        } catch (const LinkLost&) {
        }
        int fileCode = kExitOk;
        for (const auto& error : o_.socketFiles.saveDumps(box_->chip())) {
            std::cerr << "pontvex-cli: " << error.message << "\n";
            if (fileCode == kExitOk)
                fileCode = error.kind == boxsim::SocketFileError::Kind::Usage ? kExitUsage : kExitFile;
        }
        if (keepTrace(kExitOk) != kExitOk)
            fileCode = kExitFile;
        const std::string problems = box_->errorReport();
        if (!problems.empty()) {
            std::istringstream lines(problems);
            std::string line;
            while (std::getline(lines, line))
                std::cerr << "simulator: " << line << "\n";
        }
        return code != kExitOk ? code : fileCode;
    }

    const Options& o_;
    CliPrompt prompt_;
    StatusOutput status_;
    CliHost host_;
    ProgrammerLink& link_;
    DeviceBuffer& buffer_;
    const FamilyRegistry& families_;
    std::shared_ptr<boxsim::Box> box_;
    boxsim::FaultPlan faults_;
    std::string traceTemporary_;
    std::string held_;
    std::unique_ptr<TracingPortOpener> portTrace_;
    std::unique_ptr<TypeSelection> selection_;
    FamilyWindow* window_ = nullptr;
    ChipSelection chip_;
};

} // namespace

void installInterruptHandlers()
{
    // Without SA_RESTART, so a question waiting on the terminal gives way too.
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A parent may have started us with the signals blocked; one that is
    // already pending is taken now, by the handler.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigprocmask(SIG_UNBLOCK, &signals, nullptr);
}

int run(const Options& options, const Resources& resources)
{
    if (options.command == "convert")
        return runConvert(options, resources.buffer);
    Session session(options, resources);
    return session.run();
}

} // namespace pontvex::cli
