#include "files/Jedec.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <vector>

namespace pontvex {

namespace {

constexpr uint8_t kStx = 0x02;
constexpr uint8_t kEtx = 0x03;
// Addresses and counts above this are beyond any buffer; capping keeps the
// arithmetic from overflowing on endless digit runs.
constexpr int64_t kNumberCap = int64_t{1} << 40;

bool isSpace(uint8_t c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

int hexValue(uint8_t c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// One field's text between its identifier and its closing "*".
struct Cursor {
    std::span<const uint8_t> text;
    size_t pos = 0;

    bool atEnd() const { return pos >= text.size(); }
    void skipSpace()
    {
        while (!atEnd() && isSpace(text[pos]))
            ++pos;
    }
    // Decimal digits at the cursor; false when there are none.
    bool number(int64_t& value)
    {
        const size_t from = pos;
        value = 0;
        while (!atEnd() && text[pos] >= '0' && text[pos] <= '9') {
            value = std::min(kNumberCap, value * 10 + (text[pos] - '0'));
            ++pos;
        }
        return pos > from;
    }
    // Only white space is left.
    bool restIsSpace()
    {
        skipSpace();
        return atEnd();
    }
};

class FuseReader {
public:
    FuseReader(std::span<uint8_t> map, JedecReadReport& report) : map_(map), report_(report) {}

    void field(std::span<const uint8_t> text)
    {
        Cursor at{text, 1};
        switch (text[0]) {
        case 'L':
            fuseList(at, false);
            break;
        case 'K':
            fuseList(at, true);
            break;
        case 'F':
            defaultState(at);
            break;
        case 'Q':
            if (text.size() > 1 && text[1] == 'F')
                fuseCount(at);
            break;
        case 'C':
            checksum(at);
            break;
        default:
            break; // N, V, G, QP, QV, P, X, J and unknown fields carry no fuses
        }
    }

    void finish(int64_t minFuses)
    {
        const auto size = static_cast<int64_t>(map_.size());
        int64_t mapSize = report_.fuseCount >= 0 ? report_.fuseCount : highest_ + 1;
        if (mapSize > size) {
            report_.outside = true;
            mapSize = size;
        }
        report_.MapSize = mapSize;
        const uint8_t fill = report_.defaultFuse == 1 ? '1' : '0';
        const int64_t fillTo = std::min(size, std::max(minFuses, mapSize));
        for (int64_t i = 0; i < fillTo; ++i)
            if (i >= static_cast<int64_t>(named_.size()) || !named_[static_cast<size_t>(i)])
                map_[static_cast<size_t>(i)] = fill;
        report_.computed = JedecFuseChecksum(map_, mapSize);
    }

private:
    void store(int64_t address, bool one)
    {
        if (address >= static_cast<int64_t>(map_.size())) {
            report_.outside = true;
            return;
        }
        const auto at = static_cast<size_t>(address);
        if (at >= named_.size())
            named_.resize(std::max(at + 1, named_.size() * 2), false);
        named_[at] = true;
        map_[at] = one ? '1' : '0';
        highest_ = std::max(highest_, address);
        ++report_.fuses;
    }

    // L: a decimal address and fuse digits; K: the same with hexadecimal
    // digits of four fuses each, the lowest fuse in the digit's high bit.
    void fuseList(Cursor& at, bool hex)
    {
        int64_t address = 0;
        if (!at.number(address)) {
            report_.badField = true;
            return;
        }
        for (; !at.atEnd(); ++at.pos) {
            const uint8_t c = at.text[at.pos];
            if (isSpace(c))
                continue;
            if (!hex && (c == '0' || c == '1')) {
                store(address++, c == '1');
                continue;
            }
            const int value = hex ? hexValue(c) : -1;
            if (value < 0) {
                report_.badField = true;
                return;
            }
            for (int bit = 3; bit >= 0; --bit)
                store(address++, ((value >> bit) & 1) != 0);
        }
    }

    void defaultState(Cursor& at)
    {
        at.skipSpace();
        if (at.atEnd() || (at.text[at.pos] != '0' && at.text[at.pos] != '1')) {
            report_.badField = true;
            return;
        }
        const int state = at.text[at.pos++] - '0';
        if (!at.restIsSpace()) {
            report_.badField = true;
            return;
        }
        report_.defaultFuse = state;
    }

    void fuseCount(Cursor& at)
    {
        ++at.pos; // the F of QF
        at.skipSpace();
        int64_t count = 0;
        if (!at.number(count) || !at.restIsSpace()) {
            report_.badField = true;
            return;
        }
        report_.fuseCount = count;
    }

    void checksum(Cursor& at)
    {
        at.skipSpace();
        uint32_t sum = 0;
        int digits = 0;
        for (; !at.atEnd() && hexValue(at.text[at.pos]) >= 0; ++at.pos, ++digits)
            sum = ((sum << 4) | static_cast<uint32_t>(hexValue(at.text[at.pos]))) & 0xFFFF;
        if (digits == 0 || digits > 4 || !at.restIsSpace()) {
            report_.badField = true;
            return;
        }
        report_.hasChecksum = true;
        report_.checksum = static_cast<uint16_t>(sum);
    }

    std::span<uint8_t> map_;
    JedecReadReport& report_;
    std::vector<bool> named_;
    int64_t highest_ = -1;
};

} // namespace

uint16_t JedecFuseChecksum(std::span<const uint8_t> map, int64_t count)
{
    count = std::clamp<int64_t>(count, 0, static_cast<int64_t>(map.size()));
    uint32_t sum = 0;
    for (int64_t group = 0; group < count; group += 8) {
        uint32_t byte = 0;
        for (int64_t k = 0; k < 8 && group + k < count; ++k)
            byte |= static_cast<uint32_t>(map[static_cast<size_t>(group + k)] & 1) << k;
        sum += byte;
    }
    return static_cast<uint16_t>(sum);
}

JedecReadReport ReadJedecFuses(std::span<const uint8_t> text, std::span<uint8_t> map, int64_t minFuses)
{
    JedecReadReport report;
    FuseReader reader(map, report);

    // With STX framing only the text from STX to ETX is the transmission;
    // without it the whole text is, up to an ETX.
    size_t pos = 0;
    if (const auto stx = std::find(text.begin(), text.end(), kStx); stx != text.end())
        pos = static_cast<size_t>(stx - text.begin()) + 1;
    size_t stop = text.size();
    if (const auto etx = std::find(text.begin() + static_cast<std::ptrdiff_t>(pos), text.end(), kEtx);
        etx != text.end())
        stop = static_cast<size_t>(etx - text.begin());

    const auto fieldEnd = [&](size_t from) {
        return static_cast<size_t>(std::find(text.begin() + static_cast<std::ptrdiff_t>(from),
                                             text.begin() + static_cast<std::ptrdiff_t>(stop), '*') -
                                   text.begin());
    };

    const size_t headerEnd = fieldEnd(pos);
    if (headerEnd >= stop) {
        report.noHeader = true;
    } else {
        pos = headerEnd + 1;
        while (true) {
            while (pos < stop && isSpace(text[pos]))
                ++pos;
            if (pos >= stop)
                break;
            const size_t end = fieldEnd(pos);
            if (end >= stop)
                report.unterminated = true;
            reader.field(text.subspan(pos, end - pos));
            pos = end + 1;
        }
    }
    reader.finish(minFuses);
    return report;
}

int64_t JedecStandardFuses(const std::string& deviceName)
{
    std::string name;
    for (char c : deviceName)
        name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (name.find("16V8") != std::string::npos)
        return 2194;
    if (name.find("20V8") != std::string::npos)
        return 2706;
    if (name.find("22V10") != std::string::npos)
        return 5892;
    return 0;
}

JedecWriteLayout JedecLayoutFor(const std::string& deviceName, int rowLength, int64_t mapSize)
{
    JedecWriteLayout layout;
    layout.rowLength = rowLength;
    layout.fuses = mapSize;
    if (const int64_t standard = JedecStandardFuses(deviceName); standard > 0) {
        layout.fuses = standard;
        if (standard == 2194)
            layout.device = "GAL16V8";
        else if (standard == 2706)
            layout.device = "GAL20V8";
    }
    return layout;
}

void WriteJedecFuses(std::string& out, std::span<const uint8_t> map, const JedecWriteLayout& layout)
{
    const size_t from = out.size();
    const int64_t fuses = std::max<int64_t>(0, layout.fuses);
    const int64_t rowLength = std::max(1, layout.rowLength);
    char line[48];

    out += static_cast<char>(kStx);
    if (!layout.device.empty())
        out += layout.device + "\n";
    out += "Zelvo*\n";
    std::snprintf(line, sizeof line, "QF%lld*\nF0*\nL%04d \n", static_cast<long long>(fuses), 0);
    out += line;

    std::vector<uint8_t> written(static_cast<size_t>(fuses), '0');
    for (int64_t i = 0; i < fuses; ++i) {
        const bool one = i < static_cast<int64_t>(map.size()) && (map[static_cast<size_t>(i)] & 1) != 0;
        written[static_cast<size_t>(i)] = one ? '1' : '0';
        out += one ? '1' : '0';
        if ((i + 1) % rowLength == 0 && i + 1 < fuses)
            out += '\n';
    }
    out += "\n*\n";
    std::snprintf(line, sizeof line, "C%04X*\n", JedecFuseChecksum(written, fuses));
    out += line;
    out += static_cast<char>(kEtx);

    uint32_t sum = 0;
    for (size_t i = from; i < out.size(); ++i)
        sum += static_cast<uint8_t>(out[i]);
    std::snprintf(line, sizeof line, "%04X\n", sum & 0xFFFF);
    out += line;
}

} // namespace pontvex
