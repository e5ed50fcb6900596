// The system directory and INI (profile) files, in place of the Windows
// directory and the profile API.
#pragma once

#include <cstddef>
#include <string>

// The directory that stands for the Windows directory: KALEVO_SYSDIR when
// set and not empty, else /etc. Never ends in a separator (but "/").
std::string systemDirectory();

// Reads a value like the profile API: section and key names match without
// regard to case, the value is trimmed of blanks (and of one pair of
// enclosing quotes), and at most size - 1 bytes are copied into out, which is
// always terminated. A missing file, section or key gives def. A bare file
// name (no separator) is looked up in the system directory. Returns the
// length copied.
size_t getProfileString(const char *section, const char *key, const char *def,
                        char *out, size_t size, const char *file);

// Convenience: the same with the profile API's 255-byte buffer.
std::string profileString(const char *section, const char *key, const char *def,
                          const char *file);

// Whether a file exists and is a regular file.
bool fileExists(const std::string &path);
