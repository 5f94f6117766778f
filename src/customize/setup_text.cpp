#include "customize/setup_text.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

// How many of the next `bytes` belong to the text, which ends at the first
// NUL or 0x1A byte.
std::size_t textLength(SetupDecoder& decoder, std::string_view bytes) {
  if (bytes.empty()) return 0;
  if (decoder.ended) {
    decoder.cutShort = true;
    return 0;
  }
  std::size_t length = bytes.size();
  if (const void* nul = std::memchr(bytes.data(), '\0', length)) {
    length = static_cast<std::size_t>(static_cast<const char*>(nul) - bytes.data());
    decoder.ended = true;
  }
  if (const void* eof = std::memchr(bytes.data(), '\x1a', length)) {
    length = static_cast<std::size_t>(static_cast<const char*>(eof) - bytes.data());
    decoder.ended = true;
  }
  if (decoder.ended && length + 1 < bytes.size()) decoder.cutShort = true;
  return length;
}

// Sixteen bytes, compared all at once where the processor can.
using Bytes16 = unsigned char __attribute__((vector_size(16)));

// The position of the first LF in `bytes` that no CR comes right before, or
// npos; `crBefore`: the byte before `bytes` was a CR. Sixteen bytes at a
// time, since most pieces of a setup file hold a line end every few dozen
// bytes and none that needs a CR.
std::size_t firstBareLf(std::string_view bytes, bool crBefore) {
  if (bytes.empty()) return std::string_view::npos;
  if (bytes[0] == '\n' && !crBefore) return 0;
  std::size_t at = 1;  // each byte from here on is compared with the one before it
  for (; at + 16 <= bytes.size(); at += 16) {
    Bytes16 current;
    Bytes16 before;
    std::memcpy(&current, bytes.data() + at, 16);
    std::memcpy(&before, bytes.data() + at - 1, 16);
    const auto bare = (current == '\n') & (before != '\r');
    std::uint64_t halves[2];
    std::memcpy(halves, &bare, 16);
    if ((halves[0] | halves[1]) != 0) break;  // found among these sixteen
  }
  for (; at < bytes.size(); ++at) {
    if (bytes[at] == '\n' && bytes[at - 1] != '\r') return at;
  }
  return std::string_view::npos;
}

}  // namespace

void decodeSetupBytes(SetupDecoder& decoder, std::string_view bytes, std::string& text) {
  const std::size_t length = textLength(decoder, bytes);
  const char* in = bytes.data();
  const char* const end = in + length;
  if (decoder.crHeld && in != end) {
    decoder.crHeld = false;
    if (*in != '\n') text += '\r';  // only the CR of a CR LF pair goes
  }
  // The text is never longer than the bytes it came from.
  const std::size_t start = text.size();
  text.resize(start + length);
  char* out = text.data() + start;
  while (in != end) {
    const auto* cr =
        static_cast<const char*>(std::memchr(in, '\r', static_cast<std::size_t>(end - in)));
    const char* stop = cr == nullptr ? end : cr;
    std::memcpy(out, in, static_cast<std::size_t>(stop - in));
    out += stop - in;
    in = stop;
    if (cr == nullptr) break;
    ++in;
    if (in == end) {
      decoder.crHeld = true;  // the next byte decides
    } else if (*in != '\n') {
      *out++ = '\r';
    }
  }
  text.resize(static_cast<std::size_t>(out - text.data()));
}

void finishSetupDecode(SetupDecoder& decoder, std::string& text) {
  if (decoder.crHeld) text += '\r';
  decoder.crHeld = false;
}

std::string_view recodeSetupBytes(SetupDecoder& decoder, std::string_view bytes,
                                  std::string& scratch) {
  bytes = bytes.substr(0, textLength(decoder, bytes));
  if (bytes.empty()) return bytes;
  scratch.clear();
  // A CR that a decode held back goes out now, whatever follows it.
  if (decoder.crHeld) {
    scratch += '\r';
    decoder.crHeld = false;
    decoder.crPassed = true;
  }
  // Only an LF without a CR before it changes: most pieces pass unchanged.
  std::size_t done = 0;
  bool crBefore = decoder.crPassed;
  for (std::size_t from = 0;; crBefore = false) {
    const std::size_t found = firstBareLf(bytes.substr(from), crBefore);
    if (found == std::string_view::npos) break;
    const std::size_t lf = from + found;
    scratch.append(bytes.substr(done, lf - done));
    scratch += '\r';
    done = lf;
    from = lf + 1;
  }
  decoder.crPassed = bytes.back() == '\r';
  if (done == 0 && scratch.empty()) return bytes;
  scratch.append(bytes.substr(done));
  return scratch;
}

void encodeSetupText(std::string_view text, std::string& bytes) {
  const std::size_t start = bytes.size();
  bytes.resize(start + text.size() +
               static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')));
  char* out = bytes.data() + start;
  const char* in = text.data();
  const char* const end = in + text.size();
  while (in != end) {
    const auto* lf =
        static_cast<const char*>(std::memchr(in, '\n', static_cast<std::size_t>(end - in)));
    const char* stop = lf == nullptr ? end : lf;
    std::memcpy(out, in, static_cast<std::size_t>(stop - in));
    out += stop - in;
    in = stop;
    if (lf == nullptr) break;
    *out++ = '\r';
    *out++ = '\n';
    ++in;
  }
}

namespace {

// Passes `text` on unchanged, counting its lines.
void passOn(SubstitutionFilter& filter, std::string_view text, std::string& out) {
  filter.linesDone += static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  out.append(text);
}

// Replaces the occurrence at `at` of `text`, whose bytes before it have not
// been passed on yet, and passes the rest of `text` on.
void replaceAt(SubstitutionFilter& filter, std::string_view text, std::size_t at,
               std::string& out) {
  passOn(filter, text.substr(0, at), out);
  filter.found = true;
  filter.line = 1 + filter.linesDone;
  out.append(filter.substitution.replacement);
  out.append(text.substr(at + filter.substitution.searched.size()));
}

// Passes on all but the last `keep` bytes of `text` and holds those back.
void passAllBut(SubstitutionFilter& filter, std::string_view text, std::size_t keep,
                std::string& out) {
  const std::size_t cut = text.size() > keep ? text.size() - keep : 0;
  passOn(filter, text.substr(0, cut), out);
  filter.held.assign(text.substr(cut));
}

}  // namespace

void filterSetupText(SubstitutionFilter& filter, std::string_view text, std::string& out) {
  if (filter.found) {
    out.append(text);
    return;
  }
  const std::string& searched = filter.substitution.searched;
  // Fewer bytes than the searched text cannot hold all of it, but may begin it.
  const std::size_t keep = searched.empty() ? 0 : searched.size() - 1;
  if (text.size() < keep) {
    // A small piece: search it together with the held bytes.
    filter.window.assign(filter.held);
    filter.window.append(text);
    filter.held.clear();
    const std::size_t at = filter.window.find(searched);
    if (at != std::string::npos) {
      replaceAt(filter, filter.window, at, out);
    } else {
      passAllBut(filter, filter.window, keep, out);
    }
    return;
  }
  // An occurrence that begins in the held bytes ends within the next `keep`
  // bytes of the piece; any other lies wholly in the piece.
  if (!filter.held.empty()) {
    filter.window.assign(filter.held);
    filter.window.append(text.substr(0, keep));
    const std::size_t at = filter.window.find(searched);
    if (at != std::string::npos) {
      const std::size_t heldSize = filter.held.size();
      filter.held.clear();
      passOn(filter, std::string_view(filter.window).substr(0, at), out);
      filter.found = true;
      filter.line = 1 + filter.linesDone;
      out.append(filter.substitution.replacement);
      out.append(text.substr(at + searched.size() - heldSize));
      return;
    }
    passOn(filter, filter.held, out);
    filter.held.clear();
  }
  const std::size_t at = text.find(searched);
  if (at != std::string_view::npos) {
    replaceAt(filter, text, at, out);
  } else {
    passAllBut(filter, text, keep, out);
  }
}
