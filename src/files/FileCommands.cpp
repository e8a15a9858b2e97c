#include "files/FileCommands.h"

#include "core/AtomicFile.h"
#include "core/Text.h"
#include "core/UserPrompt.h"
#include "files/DataFormats.h"
#include "files/FileDialogs.h"
#include "files/FileTexts.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace pontvex {

namespace {

// The bytes of a file, mapped when the system allows it (no copy however
// large the file), read otherwise (pipes, special files), up to a limit.
class FileBytes {
public:
    bool open(const std::string& name, uint64_t limit)
    {
        file_.setFileName(QString::fromStdString(name));
        if (QFileInfo(file_).isDir() || !file_.open(QIODevice::ReadOnly))
            return false;
        const qint64 size = file_.size();
        if (size > 0) {
            if (uchar* p = file_.map(0, size)) {
                bytes_ = {p, static_cast<size_t>(size)};
                return true;
            }
        }
        // In pieces, so that a limit far above the file's size allocates nothing for it.
        char piece[65536];
        while (static_cast<uint64_t>(copy_.size()) < limit) {
            const qint64 want = static_cast<qint64>(std::min<uint64_t>(sizeof piece, limit - copy_.size()));
            const qint64 got = file_.read(piece, want);
            if (got < 0)
                return false;
            if (got == 0)
                break;
            copy_.append(piece, got);
        }
        bytes_ = {reinterpret_cast<const uint8_t*>(copy_.constData()), static_cast<size_t>(copy_.size())};
        return true;
    }
    std::span<const uint8_t> bytes() const { return bytes_; }

private:
    QFile file_;
    QByteArray copy_;
    std::span<const uint8_t> bytes_;
};

std::string hex6(int64_t value)
{
    return format("%06x", static_cast<unsigned>(static_cast<uint32_t>(value)));
}

} // namespace

FileCommands::FileCommands(FileSession& session, ImageViews& views, FileDialogs& dialogs, UserPrompt& prompt,
                           DeviceBuffer& buffer)
    : session_(session), views_(views), dialogs_(dialogs), prompt_(prompt), buffer_(buffer)
{
}

void FileCommands::PrepareFormatDialog()
{
    format_.PrepareFormatDialog(session_.FileName);
}

void FileCommands::LoadFileClick()
{
    const auto chosen = dialogs_.chooseFileToOpen(files_text::kOpenFilter, "*.*", session_.ProgramDir);
    if (!chosen)
        return;
    // Cancelling the format dialog leaves the data file as it was.
    const std::string previous = session_.FileName;
    session_.FileName = *chosen;
    PrepareFormatDialog();
    format_.startText = "000000";
    format_.endText = "ffffff";
    format_.checkEnd = false;
    dialogs_.showFormatDialog(format_);
    const std::string format = format_.format();
    if (format.empty()) {
        session_.FileName = previous;
        return;
    }
    session_.LoadStart = format_.LoadStart;
    if (format == ".HEX")
        LoadHexFile();
    else if (format == ".JED")
        prompt_.showMessage(files_text::kJedNotAvailable);
    else if (format == ".BIN")
        LoadBinFile(format_.LaneMask, format_.LaneValue);
    else if (format == ".CDS")
        LoadCdsFile();
}

void FileCommands::SaveBufClick()
{
    if (!views_.hexViewExists() && !views_.jedecViewExists())
        return;
    const auto chosen = dialogs_.chooseFileToSave(session_.ProgramDir);
    if (!chosen)
        return;
    const std::string previous = session_.FileName;
    session_.FileName = *chosen;
    PrepareFormatDialog();
    format_.modeEnabled = false;
    format_.endText = "000000";
    if (views_.hexViewExists())
        format_.endText = hex6(views_.EndAddress());
    format_.checkEnd = true;
    dialogs_.showFormatDialog(format_);
    const std::string format = format_.format();
    if (format.empty()) {
        session_.FileName = previous;
        return;
    }
    session_.LoadStart = format_.LoadStart;
    if (format == ".HEX") {
        // The writer reads EndAddress from the hex view; a JEDEC view alone has no byte image to write.
        if (!views_.hexViewExists())
            prompt_.showMessage(files_text::kCannotSaveInFormat);
        else
            SaveHexFile();
    } else if (format == ".JED") {
        prompt_.showMessage(files_text::kJedNotAvailable);
    } else if (format == ".BIN") {
        const auto start = format_.startAddress();
        const auto end = format_.endAddress();
        if (start && end)
            SaveBinFile(*start, *end);
        else
            prompt_.showMessage(files_text::kBadAddress + (start ? format_.endText : format_.startText));
    } else if (format == ".CDS") {
        prompt_.showMessage(files_text::kCannotSaveInFormat);
    }
}

void FileCommands::ReloadDataFile()
{
    const QFileInfo info(QString::fromStdString(session_.FileName));
    if (!info.exists() || info.isDir())
        return;
    const std::string ext = upperAscii(fileExtension(session_.FileName));
    if (ext == ".HEX") {
        LoadHexFile();
    } else if (ext == ".BIN") {
        session_.LoadStart = 0;
        LoadBinFile(0, 0);
    }
    // ".JED" is read by the PLD view, which this program does not have yet.
}

void FileCommands::tellDataLeft(int64_t lastStored)
{
    prompt_.showBox(files_text::kDataLeft + hex6(lastStored));
}

bool FileCommands::LoadBinFile(uint32_t laneMask, uint32_t laneValue)
{
    FileBytes file;
    if (!file.open(session_.FileName, kMaxBinFileBytes + 1)) {
        prompt_.showBox(files_text::kOpenBinFailed + session_.FileName);
        return false;
    }
    const BinLoadReport report =
        StoreBinBytes(file.bytes(), imageOf(buffer_), session_.LoadStart, laneMask, laneValue);
    session_.LoadEnd = report.LoadEnd;
    views_.showLoadedImage(session_.FileName, session_.LoadEnd);
    if (report.dataLeft())
        tellDataLeft(report.LoadEnd);
    return true;
}

bool FileCommands::LoadCdsFile()
{
    FileBytes file;
    if (!file.open(session_.FileName, kMaxBinFileBytes + kCdsHeaderBytes + 1)) {
        prompt_.showBox(files_text::kOpenBinFailed + session_.FileName);
        return false;
    }
    session_.LoadStart = 0;
    const BinLoadReport report = StoreCdsBytes(file.bytes(), imageOf(buffer_));
    if (report.noHeader) {
        // Shorter than its header: nothing in it is an image.
        prompt_.showBox(files_text::kBadFormat);
        return false;
    }
    session_.LoadEnd = report.LoadEnd;
    views_.showLoadedImage(session_.FileName, session_.LoadEnd);
    if (report.dataLeft())
        tellDataLeft(report.LoadEnd);
    return true;
}

bool FileCommands::LoadHexFile()
{
    FileBytes file;
    if (!file.open(session_.FileName, UINT64_MAX)) {
        prompt_.showBox(files_text::kOpenFileFailed + session_.FileName);
        return false;
    }
    const HexReadReport report = ReadHexRecords(file.bytes(), imageOf(buffer_));
    session_.LoadEnd = report.last;
    views_.showLoadedImage(session_.FileName, session_.LoadEnd);
    if (report.fault != HexFault::None)
        prompt_.showBox(std::string(files_text::kBadFormat) + files_text::kLineBefore +
                        std::to_string(report.line) + files_text::kLineAfter);
    else if (report.dataLeft)
        tellDataLeft(report.last);
    return report.fault == HexFault::None;
}

bool FileCommands::writeFile(const char* data, size_t size)
{
    // A failed save never leaves half a file where the old one was.
    std::string reason;
    const bool ok = writeFileAtomically(session_.FileName, std::string_view(data, size), reason);
    if (!ok)
        prompt_.showBox(files_text::kCannotWrite + session_.FileName);
    else
        ++writes_;
    return ok;
}

bool FileCommands::SaveBinFile(int64_t start, int64_t end)
{
    if (!DeviceBuffer::contains(start)) {
        prompt_.showMessage(files_text::kBadAddress + hex6(start));
        return false;
    }
    if (end > DeviceBuffer::kLastAddress) {
        prompt_.showMessage(files_text::kBadAddress + hex6(end));
        return false;
    }
    const size_t size = end >= start ? static_cast<size_t>(end - start + 1) : 0;
    return writeFile(reinterpret_cast<const char*>(buffer_.data() + start), size);
}

bool FileCommands::SaveHexFile()
{
    std::string text;
    WriteHexRecords(text, imageOf(buffer_), views_.EndAddress());
    return writeFile(text.data(), text.size());
}

} // namespace pontvex
