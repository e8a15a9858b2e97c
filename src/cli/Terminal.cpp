#include "cli/Terminal.h"

#include <cstdio>
#include <iostream>
#include <unistd.h>

namespace pontvex::cli {

bool stdinIsTerminal()
{
    return isatty(STDIN_FILENO) == 1;
}
bool stdoutIsTerminal()
{
    return isatty(STDOUT_FILENO) == 1;
}
bool stderrIsTerminal()
{
    return isatty(STDERR_FILENO) == 1;
}

std::string oneLine(const std::string& text)
{
    std::string line;
    for (char c : text) {
        if (c == '\n')
            line += ' ';
        else if (c != '\r')
            line += c;
    }
    return trim(line);
}

bool CliPrompt::isIdQuestion(const std::string& text)
{
    // The families ask these when the ID read differs from the device list's.
    return text.find("Код ИД") != std::string::npos || text.find("Нет микр") != std::string::npos;
}

void CliPrompt::refuse(const std::string& text)
{
    if (isIdQuestion(text)) {
        if (!idDeclined_)
            idQuestion_ = oneLine(text);
        idDeclined_ = true;
        return;
    }
    if (!refused_)
        refusedQuestion_ = oneLine(text);
    refused_ = true;
}

bool CliPrompt::ask(const std::string& text, const char* choices)
{
    if (status_)
        status_->clearBar();
    if (ignoreId_ && isIdQuestion(text)) {
        std::cerr << oneLine(text) << " -> yes (--ignore-id)\n";
        return true;
    }
    if (answer_ != Answer::Ask) {
        std::cerr << oneLine(text) << " -> " << (answer_ == Answer::Yes ? "yes" : "no") << " ("
                  << (answer_ == Answer::Yes ? "--yes" : "--no") << ")\n";
        if (answer_ == Answer::No && isIdQuestion(text))
            refuse(text);
        return answer_ == Answer::Yes;
    }
    if (!stdinIsTerminal() || !stderrIsTerminal()) {
        // Nobody to ask: the command goes on as if answered No, the run ends as a usage error.
        refuse(text);
        return false;
    }
    for (;;) {
        std::cerr << text << " [" << choices << "] " << std::flush;
        std::string reply;
        if (!std::getline(std::cin, reply)) {
            std::cerr << "\n";
            refuse(text);
            return false;
        }
        reply = trim(reply);
        if (equalsIgnoreCase(reply, "y") || equalsIgnoreCase(reply, "yes") || reply == "д" || reply == "Д")
            return true;
        if (equalsIgnoreCase(reply, "n") || equalsIgnoreCase(reply, "no") || reply == "н" || reply == "Н") {
            if (isIdQuestion(text))
                refuse(text);
            return false;
        }
    }
}

std::optional<std::string> CliPrompt::askValue(const std::string& text, const std::string& defaultValue)
{
    if (status_)
        status_->clearBar();
    if (answer_ == Answer::Yes) {
        std::cerr << oneLine(text) << " -> " << defaultValue << " (--yes)\n";
        return defaultValue;
    }
    if (answer_ == Answer::No) {
        std::cerr << oneLine(text) << " -> cancel (--no)\n";
        return std::nullopt;
    }
    if (!stdinIsTerminal() || !stderrIsTerminal()) {
        // Nobody to ask: cancelled, and the run ends as a usage error.
        refuse(text);
        return std::nullopt;
    }
    std::cerr << text << " [" << defaultValue << "] " << std::flush;
    std::string reply;
    if (!std::getline(std::cin, reply)) {
        std::cerr << "\n";
        refuse(text);
        return std::nullopt;
    }
    reply = trim(reply);
    return reply.empty() ? defaultValue : reply;
}

bool CliPrompt::askYesNo(const std::string& text)
{
    return ask(text, "y/n");
}
bool CliPrompt::askYesCancel(const std::string& text)
{
    return ask(text, "y = yes, n = cancel");
}

void CliPrompt::showMessage(const std::string& text)
{
    if (holdAll_) {
        heldBoxes_.push_back(text);
        return;
    }
    messages_.push_back(text);
    if (status_)
        status_->clearBar();
    std::cerr << oneLine(text) << "\n";
}

void CliPrompt::showBox(const std::string& text)
{
    if (holdBoxes_)
        heldBoxes_.push_back(text);
    else
        showMessage(text);
}

void CliPrompt::holdBoxes(bool hold)
{
    holdBoxes_ = hold;
    if (!hold)
        heldBoxes_.clear();
}

void CliPrompt::holdEverything(bool hold)
{
    holdAll_ = hold;
    holdBoxes(hold);
}

std::string CliPrompt::heldText() const
{
    std::string text;
    for (const auto& t : heldBoxes_)
        text += (text.empty() ? "" : "; ") + oneLine(t);
    return text;
}

void CliPrompt::releaseBoxes()
{
    std::vector<std::string> held;
    held.swap(heldBoxes_);
    holdBoxes_ = false;
    holdAll_ = false;
    for (const auto& text : held)
        showMessage(text);
}

StatusOutput::StatusOutput() : out_(&std::cout), messagesLive_(stdoutIsTerminal()), bar_(stderrIsTerminal())
{
}

void StatusOutput::messagesToStandardError()
{
    out_ = &std::cerr;
    messagesLive_ = bar_;
}

void StatusOutput::silence()
{
    silent_ = true;
    bar_ = false;
    messagesLive_ = false;
}

void StatusOutput::begin(int64_t value, const std::string& address, const std::string& message)
{
    beginMessage_ = message;
    lastMessage_ = message;
    progressSeen_ = false;
    startValue_ = value;
    startAddress_ = address;
    started_ = std::chrono::steady_clock::now();
    lastDrawn_ = {};
    firstValue_ = -1;
}

void StatusOutput::clearBar()
{
    if (barShown_) {
        std::cerr << "\r\033[K" << std::flush;
        barShown_ = false;
    }
}

namespace {
std::string formatDuration(double seconds)
{
    auto s = static_cast<long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}
} // namespace

void StatusOutput::drawBar(int64_t value, int64_t max, const std::string& address)
{
    auto now = std::chrono::steady_clock::now();
    if (firstValue_ < 0) {
        firstValue_ = value;
        started_ = now;
    }
    if (barShown_ && now - lastDrawn_ < std::chrono::milliseconds(100) && value < max)
        return;
    lastDrawn_ = now;
    if (value > max)
        value = max;
    int percent = max > 0 ? static_cast<int>(value * 100 / max) : 100;
    constexpr int kWidth = 30;
    std::string bar(kWidth * percent / 100, '#');
    bar.resize(kWidth, '.');
    double elapsed = std::chrono::duration<double>(now - started_).count();
    double rate = elapsed > 0.2 ? static_cast<double>(value - firstValue_) / elapsed : 0.0;
    char line[160];
    if (rate > 0) {
        std::snprintf(line, sizeof line, "[%s] %3d%%  %s  %.1f KiB/s  %s left", bar.c_str(), percent,
                      address.c_str(), rate / 1024.0,
                      formatDuration(static_cast<double>(max - value) / rate).c_str());
    } else {
        std::snprintf(line, sizeof line, "[%s] %3d%%  %s", bar.c_str(), percent, address.c_str());
    }
    std::cerr << "\r\033[K" << line << std::flush;
    barShown_ = true;
}

void StatusOutput::update(const std::string& message, int64_t value, int64_t max, const std::string& address)
{
    if (message != lastMessage_) {
        lastMessage_ = message;
        if (messagesLive_ && !message.empty()) {
            clearBar();
            *out_ << oneLine(message) << std::endl;
        }
    }
    if (!progressSeen_ && (value != startValue_ || address != startAddress_))
        progressSeen_ = true;
    if (bar_ && max > 0 && progressSeen_)
        drawBar(value, max, address);
}

void StatusOutput::end(const std::string& message, bool force)
{
    clearBar();
    const bool changed = message != beginMessage_;
    if (silent_) {
        lastMessage_ = message;
        return;
    }
    if (!messagesLive_) {
        if (!message.empty() && (changed || force))
            *out_ << oneLine(message) << std::endl;
    } else if (!message.empty() && (message != lastMessage_ || (force && !changed))) {
        *out_ << oneLine(message) << std::endl;
    }
    lastMessage_ = message;
}

void StatusOutput::result(const std::string& line)
{
    clearBar();
    *out_ << line << std::endl;
}

} // namespace pontvex::cli
