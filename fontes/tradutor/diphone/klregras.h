// Letter-to-sound rules and exception lists: the rule file (regras.rgr, and
// Orvia's portug.nrl) and the exception file (portug.exc), their loaders, the
// selection of the diphone translator's rule for one position of a word, and
// the lookup of a word in the exception list.
//
// Words are Windows-1252 byte strings. Positions are 1-based, as the
// translator counts them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// A string of at most Capacity bytes; bytes beyond are dropped silently.
template <size_t Capacity>
struct RuleText {
  uint8_t length = 0;
  char bytes[Capacity] = {};

  void append(char c) {
    if (length < Capacity) bytes[length++] = c;
  }
  size_t size() const { return length; }
  bool empty() const { return length == 0; }
  char operator[](size_t i) const { return bytes[i]; }  // 0-based
  std::string_view view() const { return {bytes, length}; }
};

constexpr size_t RULE_CONTEXT_CAPACITY = 5;
constexpr size_t RULE_REPLACEMENT_CAPACITY = 11;
constexpr size_t ORVIA_RULE_REPLACEMENT_CAPACITY = 20;

// One rule line: left(focus)right=replacement. Contexts and focus are kept
// as written, in text order.
struct LetterRule {
  RuleText<RULE_CONTEXT_CAPACITY> left;
  RuleText<RULE_CONTEXT_CAPACITY> focus;
  RuleText<RULE_CONTEXT_CAPACITY> right;
  // The diphone loader stores at most RULE_REPLACEMENT_CAPACITY bytes here.
  RuleText<ORVIA_RULE_REPLACEMENT_CAPACITY> replacement;
  LetterRule *next = nullptr;  // next rule of the same key, in the order tried
};

// One exception line: word=substitute.
struct palavra_alias {
  std::string word;
  std::string substitute;
};

constexpr size_t EXCEPTION_CAPACITY = 15000;
// Bytes of an exception line that are read; the rest of the line is skipped.
constexpr size_t EXCEPTION_LINE_CAPACITY = 255;

// --- The diphone translator's tables ---

// Empties the rule index and the exception list, then reads a rule file.
// False when the file cannot be opened or read.
bool LoadRules(const std::string &path);

// Frees every rule and empties the rule index.
void ReleaseRules();

// The first rule of W[pos]'s key whose focus, left and right contexts all
// match at pos (1 <= pos <= word.size()); null when none does.
const LetterRule *FindRule(std::string_view word, int pos);

// Empties the exception list, reads an exception file (at most 15 000
// entries) and sorts it. False when the file cannot be opened or read.
bool LoadExceptions(const std::string &path);

// Replaces the word by its substitute when it, or the word without trailing
// s and m letters, is in the list; the stripped letters follow the
// substitute. Returns whether an entry was found (the word is unchanged
// otherwise). Of several entries with the same word, the first in the file
// is used.
bool LookUpException(std::string &word);

size_t ExceptionCount();

// --- Orvia's tables: the same file formats, with the differences Orvia needs
// (comment lines, 20-byte replacements, keys 32 to 255, rules of one key need
// not stand together, exception lines upper-cased, S and M suffixes). ---

// Empties Orvia's rule index only, then reads a rule file.
bool LoadOrviaRules(const std::string &path);
void ReleaseOrviaRules();

// The first rule of a key in Orvia's index, in file order (follow next);
// null for keys below 32 or without rules.
const LetterRule *FirstOrviaRule(unsigned char key);

// Empties Orvia's exception list (the engine's start-up does this before it
// loads its rules).
void ClearOrviaExceptions();
bool LoadOrviaExceptions(const std::string &path);
bool LookUpOrviaException(std::string &word);
size_t OrviaExceptionCount();

// The character classes of the diphone translator's words: only the 52
// ASCII letters are letters; the accent marks are the bytes " ' ^ ` ~ that
// follow their vowel.
bool IsAsciiVowel(unsigned char c);
bool IsAsciiLetter(unsigned char c);
bool IsAsciiConsonant(unsigned char c);
bool IsAccentMark(unsigned char c);

// Windows-1252 upper case as the system's ANSI upper-casing gives it
// (accented letters included).
unsigned char AnsiUpperCase(unsigned char c);
