// The text of a setup file: its line-end rules and its substitutions, as pure
// transforms over bytes that arrive in pieces of any size.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A text-mode read in progress: CR LF becomes LF, any other CR stays, and the
// text ends at the first 0x1A or NUL byte.
struct SetupDecoder {
  bool crHeld = false;    // the last byte seen was a CR, which an LF may follow
  bool crPassed = false;  // recoding: the last byte passed on was a CR
  bool ended = false;     // a NUL or 0x1A ended the text
  bool cutShort = false;  // bytes follow that end: writing the text back would lose them
};

// Appends the text of the next `bytes` of the file to `text`.
void decodeSetupBytes(SetupDecoder& decoder, std::string_view bytes, std::string& text);

// Ends the file: appends a CR held back at its end to `text`.
void finishSetupDecode(SetupDecoder& decoder, std::string& text);

// Appends the bytes that a text-mode write of `text` produces to `bytes`:
// every LF becomes CR LF. Pieces may be encoded one by one.
void encodeSetupText(std::string_view text, std::string& bytes);

// The text-mode read and write together, for pieces of a file that no
// substitution changes any more: the next `bytes` with a CR put before every
// LF that lacks one, up to a NUL or 0x1A. Returns `bytes` itself when that
// changes nothing, else the bytes made in `scratch`.
std::string_view recodeSetupBytes(SetupDecoder& decoder, std::string_view bytes,
                                  std::string& scratch);

struct Substitution {
  std::string searched;
  std::string replacement;
};

// One substitution over a text that arrives in pieces: its first occurrence
// of `searched` becomes `replacement`. Until then it holds back only the last
// bytes that may begin an occurrence.
struct SubstitutionFilter {
  Substitution substitution;
  bool found = false;
  std::size_t line = 0;       // once found: the line, from 1, on which it was
  std::size_t linesDone = 0;  // LF bytes passed on before the find
  std::string held;           // fewer bytes than `searched`, not yet passed on
  std::string window;         // room to search the held bytes with the next piece
};

// Appends what the filter passes on of the next piece of `text` to `out`.
void filterSetupText(SubstitutionFilter& filter, std::string_view text, std::string& out);
