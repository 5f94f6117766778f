// The framing of messages: whole, split anywhere, several at once, and the
// headers and bodies that are not a message, each answered and passed over.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "check/lsp/framing.h"

namespace {

using check::lsp::FrameReader;
using check::lsp::readFrames;

std::string framed(const std::string& body) {
  return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

struct FramingCase {
  const char* what;
  std::vector<std::string> chunks;  // as read, one after another
  std::vector<std::string> frames;  // each message's "id", or "error"
  std::size_t pending = 0;          // bytes still held at the end
};

const std::string kOne = R"({"jsonrpc":"2.0","id":1,"method":"a"})";
const std::string kTwo = R"({"jsonrpc":"2.0","id":2,"method":"b"})";

const FramingCase kFramingCases[] = {
    {"one whole message", {framed(kOne)}, {"1"}},
    {"two in one read", {framed(kOne) + framed(kTwo)}, {"1", "2"}},
    {"split in the header, the blank line and the body",
     {"Content-Len", "gth: 37\r\n\r", "\n{\"jsonrpc\":\"2.0\",", "\"id\":1,\"method\":\"a\"}"},
     {"1"}},
    {"a body not yet whole is held", {framed(kOne).substr(0, 30)}, {}, 30},
    {"other headers around it, any case and leading zeros",
     {"Content-Type: x\r\ncontent-length: 000000000037\r\nX-Other: y\r\n\r\n" + kOne},
     {"1"}},
    {"bytes in the body that are not UTF-8 text",
     {framed(R"({"id":1,"method":"a","x":")" + std::string("\xE9") + "\"}")},
     {"error"}},
    {"no Content-Length, then a message",
     {"Content-Type: x\r\n\r\n" + framed(kTwo)},
     {"error", "2"}},
    {"a length that is not a number",
     {"Content-Length: 3x\r\n\r\n" + framed(kTwo)},
     {"error", "2"}},
    {"a header line without a colon", {"Content-Length 37\r\n\r\n" + framed(kTwo)}, {"error", "2"}},
    {"a body that is not JSON, then a message", {framed("{nope") + framed(kOne)}, {"error", "1"}},
    {"a body that is JSON but no object", {framed("[1,2]")}, {"error"}},
    {"an empty body", {"Content-Length: 0\r\n\r\n" + framed(kOne)}, {"error", "1"}},
    {"a length shorter than the body",
     {"Content-Length: 10\r\n\r\n" + kOne},
     {"error"},
     kOne.size() - 10},
};

class Framing : public testing::TestWithParam<FramingCase> {};

TEST_P(Framing, ReadsEachMessageOnce) {
  const FramingCase& c = GetParam();
  FrameReader reader;
  std::vector<std::string> frames;
  for (const std::string& chunk : c.chunks) {
    for (const check::lsp::Frame& f : readFrames(reader, chunk)) {
      frames.push_back(f.error.empty() ? f.message.at("id").dump() : "error");
      EXPECT_EQ(f.error.empty(), f.message.is_object());
    }
  }
  EXPECT_EQ(frames, c.frames);
  EXPECT_EQ(reader.pending.size(), c.pending);
}

INSTANTIATE_TEST_SUITE_P(Messages, Framing, testing::ValuesIn(kFramingCases));

TEST(Framing, WritesWhatItReads) {
  const nlohmann::json message = {{"jsonrpc", "2.0"}, {"id", 7}, {"result", "d\u00e9j\u00e0"}};
  FrameReader reader;
  const auto frames = readFrames(reader, check::lsp::frame(message) + check::lsp::frame(message));
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[1].message, message);
  EXPECT_EQ(check::lsp::frame(message), framed(message.dump()));  // a body of one line
}

}  // namespace
