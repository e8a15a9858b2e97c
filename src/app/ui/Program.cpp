#include "app/ui/Program.h"

#include "app/ui/MainForm.h"
#include "app/ui/StartupWindow.h"
#include "boxsim/SimTransport.h"
#include "boxsim/chips/Registry.h"
#include "families/Families.h"
#include "families/ramtest/ui/TestKelmWidget.h"
#include "link/SerialPort.h"
#include "link/ui/Ep3.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdio>
#include <filesystem>

namespace pontvex {

namespace {

// Forwards to the real prompt and notes whether a question got Yes, so a
// failed probe can be told apart from a declined connection.
class AnswerWatch : public UserPrompt {
public:
    explicit AnswerWatch(UserPrompt& inner) : inner_(inner) {}
    bool askYesNo(const std::string& text) override { return note(inner_.askYesNo(text)); }
    bool askYesCancel(const std::string& text) override { return note(inner_.askYesCancel(text)); }
    void showMessage(const std::string& text) override { inner_.showMessage(text); }
    void showBox(const std::string& text) override { inner_.showBox(text); }
    bool saidYes = false;

private:
    bool note(bool yes)
    {
        saidYes = saidYes || yes;
        return yes;
    }
    UserPrompt& inner_;
};

// The user who answers No to the connection question (--offline).
class AnswerNo : public UserPrompt {
public:
    explicit AnswerNo(UserPrompt& inner) : inner_(inner) {}
    bool askYesNo(const std::string&) override { return false; }
    bool askYesCancel(const std::string&) override { return false; }
    void showMessage(const std::string& text) override { inner_.showMessage(text); }
    void showBox(const std::string& text) override { inner_.showBox(text); }

private:
    UserPrompt& inner_;
};

} // namespace

const char* programHelpText()
{
    return "Usage: pontvex [options]\n"
           "  --port PATH           use this serial device (no question, no probe)\n"
           "  --simulator           work with the simulated box in this process\n"
           "  --offline             work with files only (no box)\n"
           "  --socket-chip NAME    simulated socket: this chip model (default: the model of\n"
           "                        the chosen chip's device-list row, changing with it)\n"
           "  --socket-image [REGION=]FILE\n"
           "                        simulated socket: a memory of the chip from this file,\n"
           "                        loaded into every chip model that goes into the socket\n"
           "  --socket-dump [REGION=]FILE\n"
           "                        simulated socket: write a memory of the chip here on exit\n"
           "                        REGION: a memory of the model (pontvex-boxsim --list-chips\n"
           "                        names them), the main memory without it; once per region\n"
           "  --socket-empty        simulated socket: no chip\n"
           "  --firmware-id ID      simulated box: identity (at most 8 characters)\n"
           "  --trace FILE          simulated box: write every command it receives\n"
           "  --help                this text\n";
}

ProgramOptions parseProgramOptions(const std::vector<std::string>& args)
{
    ProgramOptions o;
    const auto setConnection = [&o](ProgramOptions::Connection c, const std::string& option) {
        if (o.connection != ProgramOptions::Connection::Ask && o.connection != c)
            o.error = option + " cannot be combined with another connection option";
        o.connection = c;
    };
    const std::pair<const char*, std::string ProgramOptions::*> valued[] = {
        {"--socket-chip", &ProgramOptions::socketChip},
        {"--firmware-id", &ProgramOptions::firmwareId},
        {"--trace", &ProgramOptions::traceFile},
        {"--port", &ProgramOptions::port},
    };
    for (size_t i = 0; i < args.size() && o.error.empty(); ++i) {
        std::string name = args[i];
        std::string value;
        bool hasValue = false;
        if (const size_t eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
            hasValue = true;
        }
        bool known = false;
        if (name == "--socket-image" || name == "--socket-dump") {
            if (!hasValue && i + 1 >= args.size()) {
                o.error = name + " needs a value";
                break;
            }
            if (!hasValue)
                value = args[++i];
            const auto problem =
                name == "--socket-image" ? o.socketFiles.addImage(value) : o.socketFiles.addDump(value);
            if (problem)
                o.error = problem->message;
            continue;
        }
        for (const auto& [option, member] : valued) {
            if (name != option)
                continue;
            known = true;
            if (!hasValue) {
                if (i + 1 >= args.size()) {
                    o.error = name + " needs a value";
                    break;
                }
                value = args[++i];
            }
            o.*member = value;
            if (name == "--port")
                setConnection(ProgramOptions::Connection::Port, name);
        }
        if (known)
            continue;
        if (name == "--simulator")
            setConnection(ProgramOptions::Connection::Simulator, name);
        else if (name == "--offline")
            setConnection(ProgramOptions::Connection::Offline, name);
        else if (name == "--socket-empty")
            o.socketEmpty = true;
        else if (name == "--help" || name == "-h")
            o.help = true;
        else
            o.error = "unknown option " + args[i];
    }
    const bool socketOptions = !o.socketChip.empty() || !o.socketFiles.empty() || o.socketEmpty ||
                               !o.firmwareId.empty() || !o.traceFile.empty();
    if (o.error.empty() && socketOptions && o.connection != ProgramOptions::Connection::Simulator)
        o.error = "the socket and box options need --simulator";
    if (o.error.empty() && o.socketEmpty && (!o.socketChip.empty() || !o.socketFiles.images().empty()))
        o.error = "--socket-empty cannot be combined with --socket-chip or --socket-image";
    if (o.error.empty() && o.firmwareId.size() > 8)
        o.error = "--firmware-id takes at most 8 characters";
    if (o.error.empty() && !o.socketChip.empty() && !boxsim::makeChipModel(o.socketChip)) {
        std::string names;
        for (const auto& n : boxsim::chipModelNames())
            names += (names.empty() ? "" : ", ") + n;
        o.error = "no chip model '" + o.socketChip + "' (" + names + ")";
    }
    // A fixed chip shows wrong regions now; a chip that follows the selection, when it goes in.
    if (o.error.empty() && !o.socketChip.empty())
        if (const auto model = boxsim::makeChipModel(o.socketChip))
            if (const auto problem = o.socketFiles.checkRegions(*model))
                o.error = problem->message;
    return o;
}

// --- the simulated box ---------------------------------------------------------------

SimulatedBox::SimulatedBox(const ProgramOptions& options, UserPrompt& prompt)
    : options_(options), prompt_(prompt)
{
    boxsim::BoxOptions boxOptions;
    if (!options.firmwareId.empty())
        boxOptions.firmwareId = options.firmwareId + std::string(8 - options.firmwareId.size(), ' ');
    box_ = std::make_shared<boxsim::Box>(boxOptions);
    socketFixed_ = !options.socketChip.empty() || options.socketEmpty;
}

SimulatedBox::~SimulatedBox() = default;

bool SimulatedBox::attach(ProgrammerLink& link)
{
    if (!options_.traceFile.empty()) {
        traceTemporary_ = options_.traceFile + ".partial";
        if (!box_->trace().toFile(traceTemporary_)) {
            prompt_.showMessage("Не удалось записать файл " + options_.traceFile);
            traceTemporary_.clear();
        }
    }
    if (!options_.socketChip.empty()) {
        if (auto model = boxsim::makeChipModel(options_.socketChip)) {
            fill(*model);
            box_->insertChip(std::move(model));
        }
    }
    return link.AttachTransport(std::make_unique<boxsim::SimTransport>(box_), "simulator");
}

void SimulatedBox::fill(boxsim::ChipModel& model)
{
    // A chip whose memories do not take the images goes in erased, and the user is told why.
    if (const auto problem = options_.socketFiles.loadImages(model))
        prompt_.showMessage("Файл " + problem->path + " не подходит к микросхеме " + model.name() + "\n" +
                            problem->message);
}

void SimulatedBox::followChip(ProgrammerLink& link, const ChipSelection& chip)
{
    if (socketFixed_ || chip.AlgorithmKey.empty())
        return;
    auto model = boxsim::makeChipForRow(chip.AlgorithmKey, chip.VariantIndex, chip.ChipName);
    if (!model || (box_->chip() && boxsim::sameChipName(box_->chip()->name(), model->name())))
        return;
    try {
        link.Flush(); // what was sent so far reaches the old chip
    } catch (const LinkLost&) {
    }
    fill(*model);
    box_->removeChip();
    box_->insertChip(std::move(model));
}

void SimulatedBox::finish(ProgrammerLink& link)
{
    try {
        if (link.Connected())
            link.Flush();
    } catch (const LinkLost&) {
    }
    for (const auto& problem : options_.socketFiles.saveDumps(box_->chip()))
        prompt_.showMessage("Не удалось записать файл " + problem.path + "\n" + problem.message);
    if (!traceTemporary_.empty()) {
        box_->trace().flush();
        std::error_code error;
        std::filesystem::rename(traceTemporary_, options_.traceFile, error);
        if (error)
            prompt_.showMessage("Не удалось записать файл " + options_.traceFile);
    }
}

// --- the program ------------------------------------------------------------------------

void connectLink(const ProgramOptions& o, ProgrammerLink& link, UserPrompt& prompt,
                 std::unique_ptr<SimulatedBox>& simulator, PortOpener& ports)
{
    const auto startSimulator = [&] {
        simulator = std::make_unique<SimulatedBox>(o, prompt);
        if (!simulator->attach(link))
            prompt.showMessage("Имитатор программатора не отвечает");
    };
    link.setPortOpener(&ports);
    switch (o.connection) {
    case ProgramOptions::Connection::Offline: {
        AnswerNo no(prompt);
        link.setPrompt(&no);
        link.Connect(true);
        link.setPrompt(&prompt);
        return;
    }
    case ProgramOptions::Connection::Port:
        link.ConnectTo(o.port);
        return;
    case ProgramOptions::Connection::Simulator:
        startSimulator();
        return;
    case ProgramOptions::Connection::Ask: {
        AnswerWatch watch(prompt);
        link.setPrompt(&watch);
        link.Connect(true);
        link.setPrompt(&prompt);
        // No box answered although the user wanted one: a new user without
        // hardware still gets a working program.
        if (!link.Connected() && watch.saidYes && prompt.askYesNo(kSimulatorOffer))
            startSimulator();
        return;
    }
    }
}

int runProgram(int argc, char** argv)
{
    // Help and our own mistakes are answered before any window system is needed;
    // the toolkit's options (single dash) are left for it.
    std::vector<std::string> ours;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--", 0) != 0)
            continue;
        ours.push_back(arg);
        for (const char* valued :
             {"--port", "--socket-chip", "--socket-image", "--socket-dump", "--firmware-id", "--trace"})
            if (arg == valued && i + 1 < argc)
                ours.emplace_back(argv[++i]);
    }
    const ProgramOptions early = parseProgramOptions(ours);
    if (early.help) {
        std::fputs(programHelpText(), stdout);
        return 0;
    }
    if (!early.error.empty()) {
        std::fprintf(stderr, "pontvex: %s\n%s", early.error.c_str(), programHelpText());
        return 2;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName("pontvex");
    // The standard dialogs (open, save, print, find) in the program's language,
    // where the system has Qt's own Russian translations.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Russian), "qtbase", "_",
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    const ProgramOptions options = parseProgramOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!options.error.empty()) {
        std::fprintf(stderr, "pontvex: %s\n%s", options.error.c_str(), programHelpText());
        return 2;
    }
    QApplication::setQuitOnLastWindowClosed(false);

    StartupWindow startup;
    startup.showNow();

    // What the whole run shares: the chip image, the link with its ports, the families.
    DeviceBuffer buffer;
    SerialPortOpener serialPorts;
    ProgrammerLink link;
    link.setPortOpener(&serialPorts);
    FamilyRegistry families;
    registerFamilies(families);
    TMainForm main(link, buffer, families);
    link.setPrompt(&main.qtPrompt());
    main.createSystemWindow();
    std::unique_ptr<SimulatedBox> simulator;
    link.onProbe = [&startup](const std::string& port) { startup.showProbe(port); };
    connectLink(options, link, main.qtPrompt(), simulator, serialPorts);
    link.onProbe = nullptr;
    main.ep3()->refreshStatus();
    main.createDialogs();

    main.onFamilyShown = [&](FamilyWindow&, bool) {
        if (simulator && main.typeSelection())
            simulator->followChip(link, main.typeSelection()->chip);
    };
    // Offline after "No" at start: the box or the simulated box from the menu.
    main.connectBox = [&] {
        link.Connect(false);
        main.ep3()->refreshStatus();
    };
    main.connectSimulator = [&] {
        auto box = std::make_unique<SimulatedBox>(options, main.qtPrompt());
        if (!box->attach(link)) {
            main.qtPrompt().showMessage("Имитатор программатора не отвечает");
            return;
        }
        simulator = std::move(box);
        if (main.typeSelection())
            simulator->followChip(link, main.typeSelection()->chip);
        main.ep3()->refreshStatus();
    };
    main.afterClose = [&] {
        if (simulator)
            simulator->finish(link);
    };
    main.createTypeSelection();
    // The service test window: created on first use, kept for the run.
    std::unique_ptr<TTestKelm1> testKelm;
    std::unique_ptr<TestKelmWidget> testKelmWidget;
    main.openTestWindow = [&] {
        if (!testKelmWidget) {
            testKelm = std::make_unique<TTestKelm1>(link);
            if (simulator)
                testKelm->reopenPort = [&](const std::string&) {
                    link.Disconnect();
                    return simulator->attach(link);
                };
            testKelmWidget = std::make_unique<TestKelmWidget>(*testKelm);
        }
        testKelmWidget->show();
        testKelmWidget->raise();
    };

    startup.close();
    main.showMaximizedOnScreen();
    QObject::connect(&main, &TMainForm::closed, &app, &QCoreApplication::quit);
    const int code = QApplication::exec();
    link.setPrompt(nullptr);
    return code;
}

} // namespace pontvex
