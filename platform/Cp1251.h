#pragma once
// Windows-1251, the code page of every text the converter, the program files,
// the settings file and the debug log carry.  Our own table, all 256 codes.
//
// Decoding never loses a byte: the one code the code page leaves unassigned,
// 0x98, decodes to U+0098 and encodes back to 0x98, so program bytes survive a
// round trip through text.  Encoding a character the code page cannot hold
// (and each byte of malformed UTF-8) gives '?' (0x3F).
#include <string>
#include <string_view>

namespace korlin {

inline constexpr char kCp1251Unmapped = '?';

std::string toCp1251(std::string_view utf8);
std::string fromCp1251(std::string_view bytes);
// The Unicode code point of one code, for callers that work per character.
char32_t cp1251ToUnicode(unsigned char code);

} // namespace korlin
