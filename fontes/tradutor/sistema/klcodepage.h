// Windows-1252, the code page of every text inside the system, and UTF-8 at
// its edges (glyphs, typed characters, files written for a terminal).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The Unicode code point of a Windows-1252 byte. The five bytes the code page
// leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of
// the same number, as Windows does.
uint32_t cp1252ToUnicode(uint8_t byte);

// The Windows-1252 byte of a code point, or -1 when the code page has none.
int unicodeToCp1252(uint32_t codePoint);

std::string cp1252ToUtf8(std::string_view bytes);

// Decodes UTF-8 (malformed sequences count as one U+FFFD each) and keeps the
// characters that have a Windows-1252 byte; the others are dropped.
std::string utf8ToCp1252(std::string_view text);

// Decodes one UTF-8 character at text[pos], advancing pos; U+FFFD for a
// malformed sequence (one byte consumed).
uint32_t nextUtf8(std::string_view text, size_t &pos);
