#include "check/lsp/framing.h"

#include <algorithm>
#include <cstddef>
#include <optional>

#include "platform/codepage.h"

namespace check::lsp {

namespace {

// The value of Content-Length in `header`, when it is a number.
std::optional<std::size_t> contentLength(std::string_view header) {
  std::optional<std::size_t> length;
  std::size_t start = 0;
  while (start < header.size()) {
    std::size_t end = header.find("\r\n", start);
    if (end == std::string_view::npos) end = header.size();
    const std::string_view line = header.substr(start, end - start);
    start = end + 2;
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    if (platform::asciiLowered(std::string(line.substr(0, colon))) != "content-length") continue;
    std::string_view value = line.substr(colon + 1);
    while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
    while (!value.empty() && value.back() == ' ') value.remove_suffix(1);
    if (value.empty() || value.size() > 12) return std::nullopt;
    std::size_t n = 0;
    for (const char c : value) {
      if (c < '0' || c > '9') return std::nullopt;
      n = n * 10 + static_cast<std::size_t>(c - '0');
    }
    length = n;
  }
  return length;
}

}  // namespace

std::vector<Frame> readFrames(FrameReader& reader, std::string_view bytes) {
  std::vector<Frame> frames;
  reader.pending.append(bytes);
  std::size_t used = 0;
  for (;;) {
    const std::size_t blank = reader.pending.find("\r\n\r\n", used);
    if (blank == std::string::npos) break;
    const std::optional<std::size_t> length =
        contentLength(std::string_view(reader.pending).substr(used, blank - used));
    const std::size_t body = blank + 4;
    if (!length) {
      frames.push_back({nullptr, "no valid Content-Length in the header"});
      used = body;
      continue;
    }
    if (reader.pending.size() - body < *length) break;
    Frame& f = frames.emplace_back();
    f.message = nlohmann::json::parse(
        reader.pending.begin() + static_cast<std::ptrdiff_t>(body),
        reader.pending.begin() + static_cast<std::ptrdiff_t>(body + *length), nullptr, false);
    if (f.message.is_discarded() || !f.message.is_object()) {
      f.message = nullptr;
      f.error = "the body is not a JSON object";
    }
    used = body + *length;
  }
  reader.pending.erase(0, used);
  return frames;
}

std::string frame(const nlohmann::json& message) {
  const std::string body = message.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

}  // namespace check::lsp
