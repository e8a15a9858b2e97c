#pragma once

#include <string>

namespace pontvex {

// The maker's web site, named in the caption and the two help messages.
inline constexpr const char* kWebAddress = "www.pontvex.example";

// The main window's caption; its first 18 characters are the version mark of
// the configuration file.
inline std::string mainCaption()
{
    return std::string("Pontvex55 версия 1.0 (for Win95/98/2000/me/xp)") + " " + kWebAddress;
}

inline constexpr int kVersionMarkLength = 18;

// The first n characters (not bytes) of a UTF-8 text. A broken sequence counts
// each of its bytes as one character, so binary text is cut safely.
std::string utf8Prefix(const std::string& text, size_t characters);

} // namespace pontvex
