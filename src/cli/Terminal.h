#pragma once

#include "cli/Cli.h"
#include "core/UserPrompt.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace pontvex::cli {

bool stdinIsTerminal();
bool stdoutIsTerminal();
bool stderrIsTerminal();

// Questions answered by --yes/--no, on the terminal, or refused when there is
// nobody to ask (a refused question answers No and makes the run a usage error).
class StatusOutput;

class CliPrompt : public UserPrompt {
public:
    explicit CliPrompt(Answer answer, bool ignoreId = false) : answer_(answer), ignoreId_(ignoreId) {}
    // A question asked because the chip's ID is not the chosen chip's (or it has none).
    static bool isIdQuestion(const std::string& text);
    // The progress bar is taken off the terminal before anything is asked or shown.
    void setStatus(StatusOutput* status) { status_ = status; }
    bool askYesNo(const std::string& text) override;
    bool askYesCancel(const std::string& text) override;
    // --yes takes the default, --no cancels; on a terminal an empty line takes it.
    std::optional<std::string> askValue(const std::string& text, const std::string& defaultValue) override;
    void showMessage(const std::string& text) override;
    void showBox(const std::string& text) override;

    // Keeps message boxes back while the caller may replace them by its own error line.
    void holdBoxes(bool hold);
    // Holds back plain messages as well.
    void holdEverything(bool hold);
    // What is held back, on one line.
    std::string heldText() const;
    // Shows what was held back and stops holding.
    void releaseBoxes();

    bool refused() const { return refused_; }
    // An ID question was answered No, asked or not: the chip is not the one chosen.
    bool idDeclined() const { return idDeclined_; }
    const std::string& idQuestion() const { return idQuestion_; }
    const std::string& refusedQuestion() const { return refusedQuestion_; }
    const std::vector<std::string>& messages() const { return messages_; }

private:
    bool ask(const std::string& text, const char* choices);
    void refuse(const std::string& text);

    Answer answer_;
    bool ignoreId_;
    bool idDeclined_ = false;
    std::string idQuestion_;
    StatusOutput* status_ = nullptr;
    bool holdBoxes_ = false;
    bool holdAll_ = false;
    std::vector<std::string> heldBoxes_;
    bool refused_ = false;
    std::string refusedQuestion_;
    std::vector<std::string> messages_;
};

// The family's message line on stdout and a progress bar on stderr.
class StatusOutput {
public:
    StatusOutput();
    // Standard output carries data (-o -): messages and results go to standard error.
    void messagesToStandardError();
    // --quiet: neither message lines nor the bar; the caller shows a failure's message.
    void silence();
    // A command starts: progress counts from here; the bar appears once the
    // family reports an address other than the one it showed before.
    // The message shown before the command is no result of it.
    void begin(int64_t value, const std::string& address, const std::string& message);
    // The family's visible state; called often inside loops.
    void update(const std::string& message, int64_t value, int64_t max, const std::string& address);
    // The command ended: clears the bar; when piped prints the final message if
    // the command changed it (or force: a refusal repeats the text it had).
    void end(const std::string& message, bool force);
    // Prints a result line on stdout (id text, checksum and the like).
    void result(const std::string& line);

    void clearBar();

private:
    void drawBar(int64_t value, int64_t max, const std::string& address);

    std::ostream* out_;
    bool messagesLive_;
    bool bar_;
    bool barShown_ = false;
    bool silent_ = false;
    std::string lastMessage_;
    std::string beginMessage_;
    std::chrono::steady_clock::time_point started_, lastDrawn_;
    int64_t firstValue_ = -1;
    bool progressSeen_ = false;
    int64_t startValue_ = 0;
    std::string startAddress_;
};

// One line that wraps a multi-line family text for stderr.
std::string oneLine(const std::string& text);

} // namespace pontvex::cli
