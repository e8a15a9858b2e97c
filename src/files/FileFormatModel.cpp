#include "files/FileFormatModel.h"

#include "core/DeviceBuffer.h"
#include "core/Text.h"
#include "core/UserPrompt.h"
#include "files/DataFormats.h"
#include "files/FileTexts.h"

namespace pontvex {

const std::array<const char*, 5> FileFormatModel::FormatItems = {
    files_text::kFormatBin, files_text::kFormatHex, files_text::kFormatJed, files_text::kFormatCds,
    files_text::kFormatS19};

std::string FileFormatModel::format() const
{
    if (formatIndex < 0 || formatIndex >= static_cast<int>(FormatItems.size()))
        return {};
    return upperAscii(std::string(FormatItems[formatIndex], 4));
}

void FileFormatModel::PrepareFormatDialog(const std::string& fileName)
{
    caption = fileName;
    const std::string ext = upperAscii(fileExtension(fileName).substr(0, 4));
    int chosen = 0;
    for (int i = 0; i < static_cast<int>(FormatItems.size()); ++i)
        if (ext == upperAscii(std::string(FormatItems[i], 4)))
            chosen = i;
    for (const char* srec : {".S28", ".S37", ".SRE", ".MOT"})
        if (ext == srec)
            chosen = 4;
    OnRadioClick(chosen);
}

void FileFormatModel::preselectContent(ContentFormat content)
{
    if (content == ContentFormat::IntelHex)
        OnRadioClick(1);
    else if (content == ContentFormat::SRecords)
        OnRadioClick(4);
}

void FileFormatModel::OnRadioClick(int index)
{
    formatIndex = index;
    const bool binary = format() == ".BIN";
    addressEnabled = binary;
    modeEnabled = binary;
}

void FileFormatModel::OnClick2(int mode)
{
    if (mode < 0 || mode >= static_cast<int>(ModeTable.size()))
        return;
    modeIndex = mode;
    LaneMask = ModeTable[mode].LaneMask;
    LaneValue = ModeTable[mode].LaneValue;
}

std::optional<int64_t> FileFormatModel::startAddress() const
{
    const auto value = parseHex(startText, hex::kAddress);
    if (!value)
        return std::nullopt;
    return static_cast<int32_t>(static_cast<uint32_t>(*value));
}

std::optional<int64_t> FileFormatModel::endAddress() const
{
    const auto value = parseHex(endText, hex::kAddress);
    if (!value)
        return std::nullopt;
    return static_cast<int32_t>(static_cast<uint32_t>(*value));
}

bool FileFormatModel::OKBtnClick(UserPrompt& prompt)
{
    const auto start = startAddress();
    if (format() == ".BIN") {
        if (!start || !DeviceBuffer::contains(*start)) {
            prompt.showMessage(files_text::kBadAddress + startText);
            return false;
        }
        const auto end = endAddress();
        // An end below the start is an empty range; an end past the buffer has no bytes to save.
        if (checkEnd && (!end || *end > DeviceBuffer::kLastAddress)) {
            prompt.showMessage(files_text::kBadAddress + endText);
            return false;
        }
    }
    // Other formats load from address 0 whatever the (disabled) field says.
    LoadStart = start && DeviceBuffer::contains(*start) ? *start : 0;
    return true;
}

void FileFormatModel::CancelBtnClick()
{
    formatIndex = kNoFormat;
}

std::string fileExtension(const std::string& path)
{
    const size_t dot = path.rfind('.');
    const size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    return path.substr(dot);
}

std::string upperAscii(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

} // namespace pontvex
