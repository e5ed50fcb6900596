// Speaking free text: numbers from recorded number words, words through the
// translator and the diphone engine, signs from their letter recordings or as
// pauses. Texts are Windows-1252.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Speaks the text and returns when it has been heard, or at once when a key
// is waiting (the key stays queued for the caller).
void speakText(std::string_view text);

// Speaks a sign (the text's first character) from its recording, then the
// pause that goes with it and with what follows it.
void speakPunctuation(std::string_view text);

// Speaks each character from its recording, stopping when a key is waiting.
void spellOut(std::string_view text);

// Pauses in 50 ms steps; a waiting key cuts the pause short.
void pauseMs(int milliseconds);

// Plays the click heard instead of a sign repeated more than four times.
void playClick();

// Upper-cases a to z, and the bytes 224 to 255 by subtracting 32.
std::string upperCaseLatin1(std::string_view text);

// What speakText would do, told piece by piece instead of being heard (for
// kalevo-fala -x). kind says what the piece is; heard is what would be heard:
// the phonetic string of words, the words of a number, a recording's name
// ("_zero", "_MENOS", "_44"), or the length of a pause in ms.
enum class TextPieceKind : uint8_t { Words, Number, Zero, Minus, Char, Pause, Click };
using TextPieceListener = void (*)(TextPieceKind kind, std::string_view piece, std::string_view heard);

// A listener set here takes the place of every sound of speakText; null
// (the default) speaks again.
void setTextPieceListener(TextPieceListener listener);
