// Configuration lookup: finds KALEVO.INI and reads values from it with the
// program-directory macro '@' expanded.
#pragma once

#include <string>

// The current directory when the library started, without a trailing
// separator.
const std::string &startDirectory();

// Takes the start directory anew from the current directory (done once at
// library start; tests call it after changing directory).
void noteStartDirectory();

// The file name to read: the bare "KALEVO.INI" (the system directory's file)
// when the system directory has one, else the start directory's file.
std::string configFileName();

// The value of key in section ("" means KALEVO), with '@' macros expanded;
// empty when the key or the file is missing.
std::string configValue(const std::string &section, const std::string &key);

// The integer convention of the configuration: leading blanks, an optional
// sign, "$", "x", "X", "0x" or "0X" for hexadecimal; parsing stops at the
// first character that does not fit and returns what was read so far. ok is
// false when it stopped early (an empty value is not ok either).
long configInteger(const std::string &value, bool *ok = nullptr);

// The yes/no convention: yes when non-empty and the first character,
// upper-cased, is not 'N'.
bool configYes(const std::string &value);
