#include "core/Config.h"

#include "core/AppInfo.h"
#include "core/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

namespace pontvex {

std::string utf8Prefix(const std::string& text, size_t characters)
{
    size_t i = 0;
    for (size_t n = 0; n < characters && i < text.size(); ++n) {
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t length = 1;
        if (lead >= 0xF0 && lead < 0xF8)
            length = 4;
        else if (lead >= 0xE0)
            length = 3;
        else if (lead >= 0xC0)
            length = 2;
        bool whole = i + length <= text.size();
        for (size_t k = 1; whole && k < length; ++k)
            whole = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        i += whole ? length : 1;
    }
    return text.substr(0, i);
}

namespace {

constexpr int kLineCount = 11;
// Indexes above this cannot come from any device list; such a file is damaged.
constexpr long kIndexLimit = 100000;
// A configuration file is eleven short lines; nothing beyond this is read.
constexpr std::streamsize kReadLimit = 64 * 1024;

bool validUtf8Text(const std::string& line)
{
    for (unsigned char c : line)
        if ((c < 0x20 && c != '\t') || c == 0x7F)
            return false;
    for (size_t i = 0; i < line.size();) {
        const std::string one = utf8Prefix(line.substr(i, 4), 1);
        const auto lead = static_cast<unsigned char>(one[0]);
        if (one.size() == 1 && lead >= 0x80)
            return false;
        i += one.size();
    }
    return true;
}

// Decimal conversion as the file was always read: text that is no number
// gives 0. Returns false only for a number outside 0..limit.
bool readNumber(const std::string& line, long limit, int& value)
{
    errno = 0;
    char* end = nullptr;
    const long v = std::strtol(line.c_str(), &end, 10);
    if (end == line.c_str()) {
        value = 0;
        return true;
    }
    if (errno == ERANGE || v < 0 || v > limit)
        return false;
    value = static_cast<int>(v);
    return true;
}

} // namespace

std::string damagedConfigMessage(const std::string& path, int line)
{
    return "Файл настроек " + path + " повреждён (строка " + std::to_string(line) +
           ").\nВыбор типа и файла не восстановлен.";
}

ConfigLoad LoadConfig(const std::string& path, const std::string& caption, SavedChoice& choice,
                      UserPrompt& prompt)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return ConfigLoad::NoFile;
    std::string content(static_cast<size_t>(kReadLimit), '\0');
    in.read(content.data(), kReadLimit);
    content.resize(static_cast<size_t>(in.gcount()));

    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < content.size() && lines.size() < kLineCount) {
        size_t end = content.find('\n', pos);
        const bool ended = end != std::string::npos;
        if (!ended)
            end = content.size();
        std::string line = content.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(utf8Prefix(line, kConfigLineLimit));
        pos = ended ? end + 1 : end;
    }

    if (lines.empty() ||
        utf8Prefix(lines[0], kVersionMarkLength) != utf8Prefix(caption, kVersionMarkLength)) {
        prompt.showMessage("第一次运行新版本");
        return ConfigLoad::OtherVersion;
    }
    const auto damaged = [&](int line) {
        prompt.showMessage(damagedConfigMessage(path, line));
        return ConfigLoad::Damaged;
    };
    if (lines.size() < kLineCount)
        return damaged(static_cast<int>(lines.size()) + 1);
    for (int i = 1; i < kLineCount; ++i)
        if (!validUtf8Text(lines[i]))
            return damaged(i + 1);

    SavedChoice read;
    if (!readNumber(lines[1], kCategoryCount - 1, read.categoryIndex))
        return damaged(2);
    read.AlgorithmKey = lines[2];
    read.TypeTitle = lines[3];
    read.FileName = lines[4];
    if (!readNumber(lines[5], kIndexLimit, read.VariantIndex))
        return damaged(6);
    read.GroupName = lines[6];
    read.SectionPrefix = utf8Prefix(lines[7], kSectionPrefixLimit);
    if (!readNumber(lines[8], kIndexLimit, read.GroupIndex))
        return damaged(9);
    if (!readNumber(lines[9], kIndexLimit, read.ChipIndex))
        return damaged(10);
    read.ChipName = lines[10];
    choice = read;
    return ConfigLoad::Loaded;
}

bool SaveConfig(const std::string& path, const std::string& caption, const SavedChoice& choice,
                UserPrompt& prompt)
{
    const std::string lines[kLineCount] = {
        caption,
        std::to_string(choice.categoryIndex),
        choice.AlgorithmKey,
        choice.TypeTitle,
        choice.FileName,
        std::to_string(choice.VariantIndex),
        choice.GroupName,
        choice.SectionPrefix,
        std::to_string(choice.GroupIndex),
        std::to_string(choice.ChipIndex),
        choice.ChipName,
    };
    std::string text;
    for (const auto& line : lines)
        text += line + "\r\n";
    std::string error;
    const bool ok = writeFileAtomically(path, text, error);
    if (!ok)
        prompt.showMessage("Не удалось записать файл настроек:\n" + path);
    return ok;
}

} // namespace pontvex
