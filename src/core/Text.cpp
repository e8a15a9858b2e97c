#include "core/Text.h"

#include <algorithm>
#include <cctype>

#include <cstdarg>
#include <cstdio>

namespace pontvex {

std::string format(const char* pattern, ...)
{
    char small[256];
    va_list args;
    va_start(args, pattern);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(small, sizeof small, pattern, args);
    va_end(args);
    std::string text;
    if (length < 0) {
        va_end(again);
        return text;
    }
    if (static_cast<size_t>(length) < sizeof small) {
        text.assign(small, static_cast<size_t>(length));
    } else {
        text.resize(static_cast<size_t>(length));
        std::vsnprintf(text.data(), text.size() + 1, pattern, again);
    }
    va_end(again);
    return text;
}

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

std::optional<uint64_t> parseHex(std::string_view text, const HexSyntax& syntax)
{
    size_t i = text.find_first_not_of(syntax.blanks);
    if (i == std::string_view::npos)
        return std::nullopt;
    size_t end = text.size();
    if (syntax.wholeText)
        end = text.find_last_not_of(syntax.blanks) + 1;
    if (syntax.prefix && i + 2 < end && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        hexDigit(text[i + 2]) >= 0)
        i += 2;
    uint64_t value = 0;
    int digits = 0;
    for (; i < end; ++i, ++digits) {
        const int digit = hexDigit(text[i]);
        if (digit < 0) {
            if (syntax.wholeText)
                return std::nullopt;
            break;
        }
        if (syntax.maxDigits > 0 && digits == syntax.maxDigits)
            return std::nullopt;
        if (value > (syntax.maxValue - static_cast<uint64_t>(digit)) >> 4) {
            if (!syntax.saturate)
                return std::nullopt;
            value = syntax.maxValue;
        } else {
            value = value << 4 | static_cast<uint64_t>(digit);
        }
    }
    if (digits == 0)
        return std::nullopt;
    return value;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace pontvex
