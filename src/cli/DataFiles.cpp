#include "cli/DataFiles.h"

#include "cli/FileIo.h"
#include "files/DataFormats.h"
#include "files/Jedec.h"

#include <algorithm>
#include <cstdio>
#include <iostream>

namespace pontvex::cli {

namespace {

std::string hex(int64_t value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(value));
    return text;
}

std::string shownName(const std::string& path)
{
    return path == "-" ? std::string("standard input") : path;
}

// Fuses per line of a written file: the chosen GAL's row length.
int jedecRowLength(int64_t standardFuses)
{
    return standardFuses == 2706 ? 40 : standardFuses == 5892 ? 44 : 32;
}

// A JEDEC file's faults are told, but the map read stays loaded: a user may
// still want to look at or program a file whose checksum alone is wrong.
int64_t loadJedec(const Options& options, const std::string& name, const std::vector<uint8_t>& bytes,
                  std::span<uint8_t> image)
{
    const int64_t device = JedecStandardFuses(options.chip);
    const JedecReadReport report = ReadJedecFuses(bytes, image, std::max(device, kJedecDefaultFuses));
    const auto warn = [&](const std::string& what) {
        std::cerr << "pontvex-cli: warning: " << name << ": " << what << "\n";
    };
    if (report.noHeader)
        warn("no \"*\" ends the design header; no fuses were read");
    if (report.unterminated)
        warn("the last field has no closing \"*\"");
    if (report.badField)
        warn("a fuse, count or checksum field holds something else");
    if (report.outside)
        warn("fuses beyond the 8 MiB buffer were left out");
    if (report.checksumWrong()) {
        char text[80];
        std::snprintf(text, sizeof text, "fuse checksum %04X in the file, %04X of the fuses read",
                      report.checksum, report.computed);
        warn(text);
    }
    if (device > 0 && report.fuseCount >= 0 && report.fuseCount != device)
        warn(std::to_string(report.fuseCount) + " fuses in the file, " + std::to_string(device) + " in " +
             options.chip);
    return report.MapSize - 1;
}

} // namespace

namespace {

FileFormat byName(const std::string& path, const std::string& named, bool forSaving)
{
    std::string name = named.empty() ? extensionOf(path == "-" ? std::string() : path) : named;
    for (char& c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (name == "hex" || name == "ihx")
        return FileFormat::Hex;
    if (name == "srec" || name == "s19" || name == "s28" || name == "s37" || name == "mot")
        return FileFormat::Srec;
    if (name == "cds")
        return FileFormat::Cds;
    if (name == "jed")
        return FileFormat::Jed;
    if (!named.empty() && name != "bin")
        throw usageError(std::string(forSaving ? "--out-format" : "--in-format") + ": unknown format '" +
                         named + "' (bin, hex, srec, jed" + (forSaving ? ")" : ", cds)"));
    return FileFormat::Bin;
}

void checkSupported(FileFormat format, const std::string& path, bool forSaving)
{
    if (format == FileFormat::Cds && forSaving)
        throw usageError(path + ": CDS files can be loaded, not saved");
}

} // namespace

FileFormat formatFor(const std::string& path, const std::string& named, bool forSaving)
{
    const FileFormat format = byName(path, named, forSaving);
    checkSupported(format, path, forSaving);
    return format;
}

FileFormat loadFormatFor(const std::string& path, const std::string& named, std::span<const uint8_t> bytes)
{
    if (!named.empty())
        return formatFor(path, named, false);
    switch (DetectContentFormat(bytes)) {
    case ContentFormat::IntelHex:
        return FileFormat::Hex;
    case ContentFormat::SRecords:
        return FileFormat::Srec;
    case ContentFormat::Binary:
        break;
    }
    // Neither kind of text. A name that promises records still reads as such,
    // so a damaged first line is reported rather than its text programmed.
    return formatFor(path, named, false);
}

int64_t loadImage(const Options& options, const std::string& path, DeviceBuffer& buffer)
{
    // The named format is checked before anything is read.
    if (!options.inFormat.empty())
        formatFor(path, options.inFormat, false);
    if (options.start && !DeviceBuffer::contains(*options.start))
        throw usageError("--start " + hex(*options.start) + " is outside the 8 MiB buffer");

    const std::vector<uint8_t> bytes = readWholeFile(path);
    const FileFormat format = loadFormatFor(path, options.inFormat, bytes);
    const std::string name = shownName(path);
    if (format != FileFormat::Bin && (options.lane || options.start))
        throw usageError("--lane and --start apply to binary loads only (" + name + " reads as " +
                         (format == FileFormat::Hex    ? "Intel HEX"
                          : format == FileFormat::Srec ? "S-records"
                          : format == FileFormat::Jed  ? "JEDEC"
                                                       : "CDS") +
                         "; --in-format bin loads it as binary)");
    std::span<uint8_t> image = imageOf(buffer);

    if (format == FileFormat::Jed)
        return loadJedec(options, name, bytes, image);

    if (format == FileFormat::Hex || format == FileFormat::Srec) {
        const bool srec = format == FileFormat::Srec;
        HexReadReport report = srec ? ReadSRecords(bytes, image) : ReadHexRecords(bytes, image);
        if (report.fault != HexFault::None) {
            std::string where = report.line > 0 ? ": line " + std::to_string(report.line) : std::string();
            throw fileError(name + where + ": " + describe(report.fault));
        }
        if (report.dataLeft)
            throw fileError(name + ": data from address " + hex(report.firstLeft) +
                            " on lies beyond what a " + (srec ? "S-record" : "HEX") + " load fills (" +
                            hex(kHexLastAddress) + ")");
        // S-record writers commonly end without S7/S8/S9; a HEX file without its end record is rarer.
        if (!srec && report.stop == HexStop::EndOfText)
            note(name + " has no end record; loaded the " + std::to_string(report.records) +
                 " records it holds");
        return report.last;
    }

    if (format == FileFormat::Bin && !options.inFormat.empty()) {
        const ContentFormat looks = DetectContentFormat(bytes);
        if (looks != ContentFormat::Binary)
            note(name + " looks like " + (looks == ContentFormat::IntelHex ? "Intel HEX" : "S-record") +
                 " text; loaded as binary, as --in-format bin asks");
    }
    BinLoadReport report;
    if (format == FileFormat::Cds) {
        report = StoreCdsBytes(bytes, image);
        if (report.noHeader)
            throw fileError(name + ": shorter than the two header bytes of a CDS file");
    } else {
        const LaneMode& mode = ModeTable[static_cast<size_t>(options.lane.value_or(0))];
        report = StoreBinBytes(bytes, image, options.start.value_or(0), mode.LaneMask, mode.LaneValue);
    }
    if (report.fileCut)
        throw fileError(name + ": longer than the 8 MiB a binary load reads");
    if (report.bufferEnd)
        throw fileError(name + ": does not fit into the buffer from address " +
                        hex(options.start.value_or(0)));
    return report.LoadEnd;
}

void saveImage(const Options& options, const std::string& path, const DeviceBuffer& buffer,
               int64_t defaultEnd)
{
    const FileFormat format = formatFor(path, options.outFormat, true);
    const int64_t end = options.end.value_or(defaultEnd);
    if (options.end && !DeviceBuffer::contains(end))
        throw usageError("--end " + hex(end) + " is outside the 8 MiB buffer");

    std::vector<uint8_t> bytes;
    if (format == FileFormat::Jed) {
        // The fuses from 0: the chosen GAL's standard count, else through --end.
        std::string text;
        const int64_t standard = JedecStandardFuses(options.chip);
        WriteJedecFuses(
            text, imageOf(buffer),
            JedecLayoutFor(options.chip, jedecRowLength(standard), std::max<int64_t>(0, end + 1)));
        bytes.assign(text.begin(), text.end());
    } else if (format == FileFormat::Hex || format == FileFormat::Srec) {
        // Text records always start at address 0; --start only placed the binary load.
        std::string text;
        if (format == FileFormat::Hex)
            WriteHexRecords(text, imageOf(buffer), end);
        else
            WriteSRecords(text, imageOf(buffer), end);
        bytes.assign(text.begin(), text.end());
        if (end > kHexLastAddress)
            note(path + ": written up to " + hex(end) + ", but this program reads " +
                 (format == FileFormat::Hex ? "HEX" : "S-record") +
                 " files only up to 1 MiB (fffff); a binary file keeps it all");
    } else {
        const int64_t start = options.start.value_or(0);
        if (!DeviceBuffer::contains(start))
            throw usageError("--start " + hex(start) + " is outside the 8 MiB buffer");
        if (end >= start)
            bytes.assign(buffer.data() + start, buffer.data() + end + 1);
    }
    writeFileAtomically(path, bytes);
}

} // namespace pontvex::cli
