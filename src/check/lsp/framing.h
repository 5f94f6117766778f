// The framing of the Language Server Protocol: each message a JSON body
// after a header of "Name: value" lines, of which Content-Length counts the
// body's bytes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace check::lsp {

// One message read: its body parsed, or why it could not be.
struct Frame {
  nlohmann::json message;  // null when `error` is set
  std::string error;       // a header or body that is not a message
};

// The bytes read so far that do not yet make a whole message.
struct FrameReader {
  std::string pending;
};

// Adds `bytes` to what `reader` holds and takes out every whole message.
// A header without a valid Content-Length is dropped up to its blank line
// and gives a frame with an error, as does a body that is not JSON.
std::vector<Frame> readFrames(FrameReader& reader, std::string_view bytes);

// `message` framed for sending.
std::string frame(const nlohmann::json& message);

}  // namespace check::lsp
