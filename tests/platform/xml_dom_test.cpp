// The DOM's answers that both platforms must give alike: where elements and
// attributes are written, the walk over the elements, the declared encoding
// and why a file does not load.
#include "platform/xml_dom.h"

#include <gtest/gtest.h>

#include <bit>
#include <cctype>

#include "row_names.h"
#include "test_support.h"

namespace {

using namespace std::string_literals;
using platform::XmlPosition;
using testing_support::TempDir;
using testing_support::writeFile;

platform::XmlDocument load(const TempDir& dir, const std::string& bytes,
                           platform::XmlLoadError& error) {
  writeFile(dir / "config.xml", bytes);
  return platform::loadXmlDocument((dir / "config.xml").u16string(), error);
}

// UTF-16 with a byte-order mark, little-endian (this machine's own order) or big-endian.
static_assert(std::endian::native == std::endian::little);
std::string utf16(const std::u16string& text) {
  return "\xFF\xFE" + std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}
std::string utf16be(const std::u16string& text) {
  std::string bytes = "\xFE\xFF";
  for (const char16_t unit : text) bytes += {static_cast<char>(unit >> 8), static_cast<char>(unit)};
  return bytes;
}

// The first element, in document order, that has an attribute "x", reached
// through the walk rather than a query.
platform::XmlNode firstWithX(platform::XmlNode node) {
  for (const auto& [name, value] : platform::nodeAttributes(node)) {
    if (name == u"x") return node;
  }
  for (auto& child : platform::childElements(node)) {
    if (auto found = firstWithX(std::move(child))) return found;
  }
  return nullptr;
}

struct PositionCase {
  const char* what;
  std::string config;
  XmlPosition element;  // of the first element with an attribute "x"
  XmlPosition x;        // of that attribute
};

const PositionCase kPositionCases[] = {
    {"LF, an element of the same name before",
     "<config>\n  <b/><b x=\"1\"/>\n</config>\n",
     {2, 7},
     {2, 10}},
    {"CR LF", "<config>\r\n  <b/><b x=\"1\"/>\r\n</config>\r\n", {2, 7}, {2, 10}},
    {"lone CR", "<config>\r  <b/><b x=\"1\"/>\r</config>\r", {2, 7}, {2, 10}},
    {"tabs count one", "<config>\n\t\t<b\tx=\"1\"/></config>", {2, 3}, {2, 6}},
    {"UTF-8 text before, beyond two bytes and four",
     "<config>\n<a>\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80</a><b x='1'/></config>",
     {2, 12},
     {2, 15}},
    {"UTF-8 byte-order mark", "\xef\xbb\xbf<config><b x=\"1\"/></config>", {1, 9}, {1, 12}},
    {"UTF-16 file",
     utf16(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<config>\u00e9\U0001F600<b x=\"1\"/>"
           u"</config>"),
     {2, 12},
     {2, 15}},
    {"UTF-16 big-endian file", utf16be(u"<config>\n\u00e9<b x=\"1\"/></config>"), {2, 2}, {2, 5}},
    {"windows-1252 file",
     "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<config>\x80\xe9<b x=\"1\"/></config>",
     {2, 11},
     {2, 14}},
    {"after a comment of several lines holding a tag",
     "<config><!-- a\n<b x=\"0\"/>\n --><b x=\"1\"/></config>",
     {3, 5},
     {3, 8}},
    {"after CDATA of several lines",
     "<config><![CDATA[\n<b x=\"0\">\n]]><b x=\"1\"/></config>",
     {3, 4},
     {3, 7}},
    {"attribute on the second line of the start tag",
     "<config>\n  <b\n     y=\"0\" x=\"1\"/></config>",
     {2, 3},
     {3, 12}},
    {"a prefixed name",
     "<config xmlns:p=\"urn:p\">\n<p:b p:y=\"0\" x=\"1\"/></config>",
     {2, 1},
     {2, 14}},
    {"past line 65535",
     "<config>" + std::string(70000, '\n') + "<b x=\"1\"/></config>",
     {70001, 1},
     {70001, 4}},
};

class ElementPosition : public testing::TestWithParam<PositionCase> {};

TEST_P(ElementPosition, IsWhereTheTagIsWritten) {
  const PositionCase& c = GetParam();
  TempDir dir;
  platform::XmlLoadError error;
  const platform::XmlDocument document = load(dir, c.config, error);
  ASSERT_TRUE(document) << testing::PrintToString(error.reason);
  // Found by a query and by the walk: the same place.
  const platform::XmlNode queried = platform::selectSingleNode(document, u"//*[@x]");
  const platform::XmlNode walked = firstWithX(platform::documentElement(document));
  ASSERT_TRUE(queried && walked);
  for (const platform::XmlNode* node : {&queried, &walked}) {
    const XmlPosition at = platform::nodePosition(document, *node);
    EXPECT_EQ(at.line, c.element.line);
    EXPECT_EQ(at.column, c.element.column);
    const XmlPosition x = platform::attributePosition(document, *node, u"x");
    EXPECT_EQ(x.line, c.x.line);
    EXPECT_EQ(x.column, c.x.column);
    EXPECT_EQ(platform::attributePosition(document, *node, u"z"), XmlPosition{});
  }
}

INSTANTIATE_TEST_SUITE_P(Files, ElementPosition, testing::ValuesIn(kPositionCases),
                         testing_support::ByWhat());

std::vector<std::u16string> names(const std::vector<platform::XmlNode>& nodes) {
  std::vector<std::u16string> names;
  for (const auto& node : nodes) names.push_back(platform::nodeName(node));
  return names;
}

using Attributes = std::vector<std::pair<std::u16string, std::u16string>>;

TEST(XmlWalk, GivesElementsNamesAndAttributesAsWritten) {
  TempDir dir;
  platform::XmlLoadError error;
  const platform::XmlDocument document =
      load(dir,
           "<?xml version=\"1.0\"?>\n<config xmlns:p=\"urn:p\">\n"
           "  <p:binary code=\"A&amp;B\" p:x='1'>text<c/><!--d--></p:binary><e/>\n</config>",
           error);
  ASSERT_TRUE(document);
  const platform::XmlNode root = platform::documentElement(document);
  ASSERT_TRUE(root);
  EXPECT_EQ(platform::nodeName(root), u"config");
  EXPECT_EQ(platform::nodeAttributes(root), (Attributes{{u"xmlns:p", u"urn:p"}}));
  const std::vector<platform::XmlNode> children = platform::childElements(root);
  EXPECT_EQ(names(children), (std::vector<std::u16string>{u"p:binary", u"e"}));
  ASSERT_EQ(children.size(), 2u);
  EXPECT_EQ(platform::nodeAttributes(children[0]), (Attributes{{u"code", u"A&B"}, {u"p:x", u"1"}}));
  EXPECT_EQ(names(platform::childElements(children[0])), std::vector<std::u16string>{u"c"});
  EXPECT_TRUE(platform::childElements(children[1]).empty());
}

struct EncodingCase {
  const char* what;
  std::string config;
  std::optional<std::u16string> declared;
};

const EncodingCase kEncodingCases[] = {
    {"no declaration", "<config/>", std::nullopt},
    {"a declaration without encoding", "<?xml version=\"1.0\"?><config/>", std::nullopt},
    {"as written", "<?xml version='1.0' encoding='US-Ascii' standalone='yes'?><config/>",
     u"US-Ascii"},
    {"UTF-16", utf16(u"<?xml version=\"1.0\"\n encoding=\"utf-16\"?><config/>"), u"utf-16"},
};

class DeclaredEncoding : public testing::TestWithParam<EncodingCase> {};

TEST_P(DeclaredEncoding, IsTheNameAsWritten) {
  TempDir dir;
  platform::XmlLoadError error;
  const platform::XmlDocument document = load(dir, GetParam().config, error);
  ASSERT_TRUE(document);
  EXPECT_EQ(platform::declaredEncoding(document), GetParam().declared);
}

INSTANTIATE_TEST_SUITE_P(Files, DeclaredEncoding, testing::ValuesIn(kEncodingCases),
                         testing_support::ByWhat());

struct BrokenCase {
  const char* what;
  std::string config;
  long line;  // 0: not asserted
};

// The last rows begin as a declaration or with a byte-order mark and end
// early: Wine's XmlLite, which places a parse error on Windows, reads the
// first of them and would abort the process on the others, which it is
// therefore not handed.
const BrokenCase kBrokenCases[] = {
    {"end tag of another element", "<config>\n  <a></b>\n</config>\n", 2},
    {"undeclared entity", "<config>\n  <binary code=\"&x;\"/>\n</config>\n", 2},
    {"unsupported encoding", "<?xml version=\"1.0\" encoding=\"Windows-936\"?>\n<config/>", 1},
    {"empty file", "", 0},
    {"ends inside an element", "<config>\n  <binary code=\"TR01\">", 0},
    {"not UTF-8", "<config>\n  <binary code=\"TR\xff\"/>\n</config>\n", 0},
    {"declaration cut short", "<?xml version=\"1.0\"", 1},
    {"only a byte-order mark", "\xEF\xBB\xBF", 0},
    {"only a declaration", "<?xml version=\"1.0\"?>", 0},
    {"a byte-order mark and a less-than sign", "\xEF\xBB\xBF<", 0},
    {"a byte-order mark and a NUL", "\xEF\xBB\xBF\0"s, 0},
    {"a NUL after the declaration", "<?xml version=\"1.0\"?>\0<config/>"s, 0},
    {"the start of a declaration", "<?xm", 0},
};

class BrokenFile : public testing::TestWithParam<BrokenCase> {};

// As the check tool asks: the load, then the place where it is not known.
TEST_P(BrokenFile, SaysWhyAndWhereItCan) {
  TempDir dir;
  platform::XmlLoadError error;
  EXPECT_FALSE(load(dir, GetParam().config, error));
  platform::locateParseError(GetParam().config, error);
  EXPECT_FALSE(error.domUnavailable);
  EXPECT_FALSE(error.reason.empty());
  EXPECT_NE(error.reason, u"error");
  if (GetParam().line != 0) {
    EXPECT_EQ(error.line, GetParam().line);
    EXPECT_GT(error.column, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Files, BrokenFile, testing::ValuesIn(kBrokenCases),
                         testing_support::ByWhat());

}  // namespace
