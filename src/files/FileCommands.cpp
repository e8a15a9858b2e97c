#include "files/FileCommands.h"

#include "core/AtomicFile.h"
#include "core/Text.h"
#include "core/UserPrompt.h"
#include "files/DataFormats.h"
#include "files/FileDialogs.h"
#include "files/FileTexts.h"
#include "files/Jedec.h"

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

std::string FileCommands::askFormat(const std::string& chosen, const std::function<void()>& setUp)
{
    // Cancelling the format dialog leaves the data file as it was.
    const std::string previous = session_.FileName;
    session_.FileName = chosen;
    PrepareFormatDialog();
    setUp();
    dialogs_.showFormatDialog(format_);
    std::string format = format_.format();
    if (format.empty())
        session_.FileName = previous;
    else
        session_.LoadStart = format_.LoadStart;
    return format;
}

void FileCommands::LoadFileClick()
{
    const auto chosen = dialogs_.chooseFileToOpen(files_text::kOpenFilter, "*.*", session_.ProgramDir);
    if (!chosen)
        return;
    ContentFormat content = ContentFormat::Binary;
    const std::string format = askFormat(*chosen, [&] {
        content = contentOfFile();
        format_.preselectContent(content);
        format_.startText = "000000";
        format_.endText = "ffffff";
        format_.checkEnd = false;
    });
    if (format.empty())
        return;
    if (format == ".HEX") {
        LoadHexFile();
    } else if (format == ".S19") {
        LoadSrecFile();
    } else if (format == ".JED") {
        LoadJedFile();
    } else if (format == ".BIN") {
        // The user's choice holds; what the file looks like is said.
        if (LoadBinFile(format_.LaneMask, format_.LaneValue) && content != ContentFormat::Binary)
            prompt_.showMessage(std::string(files_text::kLooksLikeText) +
                                (content == ContentFormat::IntelHex ? "Intel HEX" : "Motorola S-record"));
    } else if (format == ".CDS") {
        LoadCdsFile();
    }
}

void FileCommands::SaveBufClick()
{
    if (!views_.hexViewExists() && !views_.jedecViewExists())
        return;
    const auto chosen = dialogs_.chooseFileToSave(session_.ProgramDir);
    if (!chosen)
        return;
    const std::string format = askFormat(*chosen, [&] {
        format_.modeEnabled = false;
        format_.endText = "000000";
        if (views_.hexViewExists())
            format_.endText = hex6(views_.EndAddress());
        format_.checkEnd = true;
    });
    if (format.empty())
        return;
    if (format == ".HEX") {
        // The writer reads EndAddress from the hex view; a JEDEC view alone has no byte image to write.
        if (!views_.hexViewExists())
            prompt_.showMessage(files_text::kCannotSaveInFormat);
        else
            SaveHexFile();
    } else if (format == ".S19") {
        if (!views_.hexViewExists())
            prompt_.showMessage(files_text::kCannotSaveInFormat);
        else
            SaveSrecFile();
    } else if (format == ".JED") {
        SaveJedFile();
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
    const ContentFormat content = contentOfFile();
    FileFormatModel byName;
    byName.PrepareFormatDialog(session_.FileName);
    if (content == ContentFormat::IntelHex || (content == ContentFormat::Binary && ext == ".HEX")) {
        LoadHexFile();
    } else if (content == ContentFormat::SRecords ||
               (content == ContentFormat::Binary && byName.format() == ".S19")) {
        LoadSrecFile();
    } else if (ext == ".BIN") {
        session_.LoadStart = 0;
        LoadBinFile(0, 0);
    } else if (ext == ".JED") {
        LoadJedFile();
    }
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

ContentFormat FileCommands::contentOfFile() const
{
    // The first line decides; a record line is far shorter than this.
    FileBytes file;
    if (!file.open(session_.FileName, 4096))
        return ContentFormat::Binary;
    return DetectContentFormat(file.bytes().first(std::min<size_t>(file.bytes().size(), 4096)));
}

bool FileCommands::LoadHexFile()
{
    return loadRecords(false);
}

bool FileCommands::LoadSrecFile()
{
    return loadRecords(true);
}

bool FileCommands::loadRecords(bool srec)
{
    FileBytes file;
    if (!file.open(session_.FileName, UINT64_MAX)) {
        prompt_.showBox(files_text::kOpenFileFailed + session_.FileName);
        return false;
    }
    const HexReadReport report =
        srec ? ReadSRecords(file.bytes(), imageOf(buffer_)) : ReadHexRecords(file.bytes(), imageOf(buffer_));
    session_.LoadEnd = report.last;
    views_.showLoadedImage(session_.FileName, session_.LoadEnd);
    if (report.fault != HexFault::None)
        prompt_.showBox(std::string(files_text::kBadFormat) + files_text::kLineBefore +
                        std::to_string(report.line) + files_text::kLineAfter);
    else if (report.dataLeft)
        tellDataLeft(report.last);
    return report.fault == HexFault::None;
}

bool FileCommands::LoadJedFile()
{
    FileBytes file;
    if (!file.open(session_.FileName, UINT64_MAX)) {
        prompt_.showBox(files_text::kOpenFileFailed + session_.FileName);
        return false;
    }
    if (!views_.openJedecView(session_.FileName)) {
        prompt_.showMessage(files_text::kJedNotAvailable);
        return false;
    }
    // Unnamed fuses are cleared over the whole view and the chosen chip, so
    // nothing of an earlier map shows through.
    const std::string device = views_.chosenDevice();
    const int64_t standard = JedecStandardFuses(device);
    const int64_t view = (int64_t{views_.jedecRowCount()} + 6) * views_.jedecRowLength();
    const JedecReadReport report =
        ReadJedecFuses(file.bytes(), imageOf(buffer_), std::max({kJedecDefaultFuses, view, standard}));
    views_.showJedecMap(report.MapSize);

    std::string told;
    const auto tell = [&](const std::string& line) { told += (told.empty() ? "" : "\n") + line; };
    if (report.noHeader)
        tell(files_text::kJedNoHeader);
    if (report.unterminated)
        tell(files_text::kJedUnterminated);
    if (report.badField)
        tell(files_text::kJedBadField);
    if (report.outside)
        tell(files_text::kJedOutside);
    if (report.checksumWrong())
        tell(format(files_text::kJedChecksum, report.checksum, report.computed));
    if (standard > 0 && report.fuseCount >= 0 && report.fuseCount != standard)
        tell(format(files_text::kJedFuseCount, static_cast<long long>(report.fuseCount), device.c_str(),
                    static_cast<long long>(standard)));
    if (!told.empty())
        prompt_.showBox(told);
    return told.empty();
}

bool FileCommands::SaveJedFile()
{
    const std::string& name = session_.FileName;
    const size_t slash = name.find_last_of('/');
    const size_t dot = name.find_last_of('.');
    session_.FileName = (dot != std::string::npos && (slash == std::string::npos || dot > slash))
                            ? name.substr(0, dot) + ".JED"
                            : name + ".JED";
    const int rowLength = views_.jedecViewExists() ? views_.jedecRowLength() : 32;
    const int rowCount = views_.jedecViewExists() ? views_.jedecRowCount() : 64;
    std::string text;
    WriteJedecFuses(text, imageOf(buffer_),
                    JedecLayoutFor(views_.chosenDevice(), rowLength, (int64_t{rowCount} + 6) * rowLength));
    return writeFile(text.data(), text.size());
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
    return saveRecords(false);
}

bool FileCommands::SaveSrecFile()
{
    return saveRecords(true);
}

bool FileCommands::saveRecords(bool srec)
{
    std::string text;
    const int64_t end = views_.EndAddress();
    if (srec)
        WriteSRecords(text, imageOf(buffer_), end);
    else
        WriteHexRecords(text, imageOf(buffer_), end);
    const bool ok = writeFile(text.data(), text.size());
    // Every byte is written, but a load of this file stops at 1 MiB.
    if (ok && end > kHexLastAddress)
        prompt_.showMessage(files_text::kTextAbove1MiB);
    return ok;
}

} // namespace pontvex
