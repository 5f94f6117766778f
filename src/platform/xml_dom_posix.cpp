// The DOM is libxml2, set up as a validating-free, offline, whitespace-keeping
// parser with XPath 1.0 for queries, and made to give the answers of the
// Windows DOM where the two differ: names are matched as written, prefix
// included; the file is read as it is, never decompressed; only the encodings
// the Windows DOM knows are read, each as Windows decodes it; a UTF-16 file
// without a byte-order mark must declare its encoding; attribute defaults of
// the internal DTD subset count; an entity reference in an attribute value is
// its replacement text, for queries too.
//
// libxml2 keeps a line but no column for its nodes. Positions come from a
// lexer over the decoded text that finds every start tag and attribute name
// in document order, matched to the tree's elements in the same order.
#include "platform/xml_dom.h"

#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xpath.h>

#include <algorithm>
#include <climits>
#include <cstdint>

#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/xml_encoding.h"

namespace platform {

namespace {

// A start tag as written: where it and each of its attribute names stand.
// The names are views of the document's text in UTF-8.
struct StartTag {
  std::string_view name;
  XmlPosition position;
  std::vector<std::pair<std::string_view, XmlPosition>> attributes;
};

// Where the elements of a document are written, found on first use; each
// element matched to its start tag holds the tag's number in `_private`.
struct Positions {
  std::string converted;       // the text in UTF-8, when the file is in another encoding
  std::vector<StartTag> tags;  // in document order
};

}  // namespace

struct XmlDocumentImpl {
  xmlDocPtr document;
  std::string bytes;                       // the file as read, for the positions
  std::optional<std::u16string> encoding;  // as declared
  std::optional<Positions> positions;
  // The queries' context, made on the first query and kept for the others:
  // a new one registers every XPath function anew, which costs more than
  // the query of a name.
  xmlXPathContextPtr xpath;
};

struct XmlNodeImpl {
  xmlNodePtr node;  // owned by its document
};

void XmlDeleter::operator()(XmlDocumentImpl* document) const noexcept {
  if (document == nullptr) return;
  xmlXPathFreeContext(document->xpath);
  xmlFreeDoc(document->document);
  delete document;
}

void XmlDeleter::operator()(XmlNodeImpl* node) const noexcept {
  delete node;
}

namespace {

struct ParserContextFree {
  void operator()(xmlParserCtxtPtr context) const noexcept { xmlFreeParserCtxt(context); }
};
struct XPathObjectFree {
  void operator()(xmlXPathObjectPtr object) const noexcept { xmlXPathFreeObject(object); }
};
struct XmlCharFree {
  void operator()(xmlChar* text) const noexcept { xmlFree(text); }
};

void dropMessage(void*, const char*, ...) {}
void dropError(void*, xmlErrorPtr) {}

// Keeps the first error of a parse, where the document went wrong; later ones
// follow from it.
void keepFirstError(void* context, xmlErrorPtr error) {
  auto& first = *static_cast<XmlLoadError*>(context);
  if (error == nullptr || first.line != 0 || error->level < XML_ERR_ERROR) return;
  first.line = error->line;
  first.column = error->int2;
  if (error->message != nullptr) {
    first.reason = toWide(error->message);
    while (!first.reason.empty() && first.reason.back() == u'\n') first.reason.pop_back();
  }
}

// libxml2 prints parser and XPath errors to stderr by default; this tool prints nothing.
void silenceLibxml() {
  xmlSetGenericErrorFunc(nullptr, dropMessage);
  xmlSetStructuredErrorFunc(nullptr, dropError);
}

const xmlChar* xmlText(const std::string& text) {
  return reinterpret_cast<const xmlChar*>(text.c_str());
}

std::u16string wide(const xmlChar* text) {
  return text == nullptr ? std::u16string() : toWide(reinterpret_cast<const char*>(text));
}

// Follows a text, UTF-16 or UTF-8, through its lines, as XML counts them:
// CR LF, a lone CR and LF each end one. Columns count UTF-16 code units.
template <class Char>
class TextCursor {
 public:
  explicit TextCursor(std::basic_string_view<Char> text) : text_(text) {}
  bool atEnd() const { return pos_ >= text_.size(); }
  Char current() const { return atEnd() ? Char{} : text_[pos_]; }
  // Whether the text goes on with the ASCII `prefix`.
  bool startsWith(std::string_view prefix) const {
    return pos_ <= text_.size() && text_.size() - pos_ >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text_.begin() + pos_,
                      [](char a, Char b) { return static_cast<Char>(a) == b; });
  }
  XmlPosition position() const { return {line_, column_ + 1}; }
  void advance() {
    if (atEnd()) return;
    const Char unit = text_[pos_++];
    if (unit == '\r' && current() == '\n') ++pos_;
    if (unit == '\r' || unit == '\n') {
      ++line_;
      column_ = 0;
    } else {
      column_ += unitsOf(unit);
    }
  }
  void advanceTo(std::size_t offset) {
    while (pos_ < offset && !atEnd()) advance();
  }
  // Moves past the next `end`, or to the end of the text.
  void skipPast(std::string_view end) {
    while (!atEnd() && !startsWith(end)) advance();
    for (std::size_t i = 0; i < end.size(); ++i) advance();
  }
  void skipSpaces() {
    while (isSpace(current())) advance();
  }
  // A name: up to a space, '=', '/' or '>'.
  std::basic_string_view<Char> name() {
    const std::size_t start = pos_;
    while (!atEnd() && !isSpace(current()) && current() != '=' && current() != '/' &&
           current() != '>') {
      advance();
    }
    return text_.substr(start, pos_ - start);
  }
  static bool isSpace(Char unit) {
    return unit == ' ' || unit == '\t' || unit == '\r' || unit == '\n';
  }

 private:
  // The UTF-16 code units that `unit` begins: none for a byte that goes on a
  // UTF-8 sequence, two for the lead byte of four. A document that loaded is
  // valid UTF-8 or UTF-16.
  static long unitsOf(Char unit) {
    if constexpr (sizeof(Char) == 1) {
      const auto byte = static_cast<unsigned char>(unit);
      return (byte & 0xC0) == 0x80 ? 0 : byte >= 0xF0 ? 2 : 1;
    } else {
      return 1;
    }
  }

  std::basic_string_view<Char> text_;
  std::size_t pos_ = 0;
  long line_ = 1;
  long column_ = 0;
};

using Utf8Cursor = TextCursor<char>;

// Moves past a quoted value, the cursor on its opening quote.
template <class Char>
void skipQuoted(TextCursor<Char>& cursor) {
  const Char quote = cursor.current();
  cursor.advance();
  while (!cursor.atEnd() && cursor.current() != quote) cursor.advance();
  cursor.advance();
}

// Moves past a DOCTYPE declaration, its internal subset included.
void skipDoctype(Utf8Cursor& cursor) {
  bool inSubset = false;
  cursor.advance();
  while (!cursor.atEnd()) {
    const char unit = cursor.current();
    if (unit == '"' || unit == '\'') {
      skipQuoted(cursor);
    } else if (cursor.startsWith("<!--")) {
      cursor.skipPast("-->");
    } else if (cursor.startsWith("<?")) {
      cursor.skipPast("?>");
    } else if (unit == '>' && !inSubset) {
      cursor.advance();
      return;
    } else {
      if (unit == '[') inSubset = true;
      if (unit == ']') inSubset = false;
      cursor.advance();
    }
  }
}

// Reads a start tag, the cursor on its "<".
StartTag startTag(Utf8Cursor& cursor) {
  StartTag tag;
  tag.position = cursor.position();
  cursor.advance();
  tag.name = cursor.name();
  for (;;) {
    cursor.skipSpaces();
    const XmlPosition at = cursor.position();
    const std::string_view name = cursor.name();  // none at the "/" or ">" that ends the tag
    if (name.empty()) break;
    tag.attributes.emplace_back(name, at);
    cursor.skipSpaces();
    if (cursor.current() != '=') break;
    cursor.advance();
    cursor.skipSpaces();
    skipQuoted(cursor);
  }
  cursor.skipPast(">");
  return tag;
}

// Every start tag of a well-formed document's text, in document order.
std::vector<StartTag> startTags(std::string_view text) {
  std::vector<StartTag> tags;
  // Room for a tag at each "<", end tags included: the room is taken, and its
  // pages touched, only as the tags fill it, where growing copies them all.
  tags.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '<')));
  Utf8Cursor cursor(text);
  while (!cursor.atEnd()) {
    if (cursor.current() != '<') {
      cursor.advance();
    } else if (cursor.startsWith("<!--")) {
      cursor.skipPast("-->");
    } else if (cursor.startsWith("<![CDATA[")) {
      cursor.skipPast("]]>");
    } else if (cursor.startsWith("<?")) {
      cursor.skipPast("?>");
    } else if (cursor.startsWith("<!")) {
      skipDoctype(cursor);
    } else if (cursor.startsWith("</")) {
      cursor.skipPast(">");
    } else {
      tags.push_back(startTag(cursor));
    }
  }
  return tags;
}

struct EncodingHandlerClose {
  void operator()(xmlCharEncodingHandler* handler) const noexcept { xmlCharEncCloseFunc(handler); }
};
struct BufferFree {
  void operator()(xmlBuffer* buffer) const noexcept { xmlBufferFree(buffer); }
};

// The whole text of a document that loaded, in UTF-8 as its parse decoded
// it: the bytes themselves when they are UTF-8, else `converted` made from
// them. Empty when it cannot be decoded.
std::string_view utf8Text(const std::string& bytes, const std::optional<std::u16string>& encoding,
                          std::string& converted) {
  switch (byteStartOf(bytes)) {
    case ByteStart::Utf16LeMark:
      return converted = toUtf8(utf16Text(std::string_view(bytes).substr(2), false, bytes.size()));
    case ByteStart::Utf16BeMark:
      return converted = toUtf8(utf16Text(std::string_view(bytes).substr(2), true, bytes.size()));
    case ByteStart::Utf16LeBare:
      return converted = toUtf8(utf16Text(bytes, false, bytes.size()));
    case ByteStart::Utf16BeBare:
      return converted = toUtf8(utf16Text(bytes, true, bytes.size()));
    case ByteStart::Utf8Mark:
      return std::string_view(bytes).substr(3);
    case ByteStart::Plain:
      break;
  }
  if (!encoding || findDomEncoding(*encoding)->codePage == 65001) return bytes;
  const std::unique_ptr<xmlCharEncodingHandler, EncodingHandlerClose> handler(
      xmlFindCharEncodingHandler(toNarrow(*encoding).c_str()));
  const std::unique_ptr<xmlBuffer, BufferFree> in(xmlBufferCreate());
  const std::unique_ptr<xmlBuffer, BufferFree> out(xmlBufferCreate());
  if (!handler || !in || !out ||
      xmlBufferAdd(in.get(), xmlText(bytes), static_cast<int>(bytes.size())) != 0) {
    return {};
  }
  // Each call converts as much as the output buffer's room allows.
  while (xmlBufferLength(in.get()) > 0) {
    const int before = xmlBufferLength(in.get());
    if (xmlCharEncInFunc(handler.get(), out.get(), in.get()) < 0 ||
        xmlBufferLength(in.get()) == before) {
      return {};
    }
  }
  return converted.assign(reinterpret_cast<const char*>(xmlBufferContent(out.get())),
                          static_cast<std::size_t>(xmlBufferLength(out.get())));
}

// Whether an element's name, as libxml2 holds it (UTF-8), is `written`.
bool sameName(const xmlChar* name, std::string_view written) {
  return written == reinterpret_cast<const char*>(name);
}
bool sameName(const xmlChar* name, std::u16string_view written) {
  std::size_t i = 0;
  for (; name[i] != 0 && name[i] < 0x80; ++i) {
    if (i == written.size() || written[i] != name[i]) return false;
  }
  if (name[i] == 0) return i == written.size();
  return wide(name) == written;  // beyond ASCII
}

// Matches the elements from `first` on, in document order, to the start tags
// from `next` on; stops at the first that differs in name, after which the
// order says nothing. False once stopped.
bool matchTags(xmlNodePtr first, Positions& positions, std::size_t& next) {
  for (xmlNodePtr node = first; node != nullptr; node = node->next) {
    if (node->type != XML_ELEMENT_NODE) continue;
    if (next == positions.tags.size() || !sameName(node->name, positions.tags[next].name)) {
      return false;
    }
    // An element's own field for the program's use holds its tag, counted
    // from 1: no table to build and search for each of many thousand.
    node->_private = reinterpret_cast<void*>(++next);
    if (!matchTags(node->children, positions, next)) return false;
  }
  return true;
}

const StartTag* startTagOf(XmlDocumentImpl& document, const xmlNode* node) {
  if (!document.positions) {
    Positions& positions = document.positions.emplace();
    positions.tags = startTags(utf8Text(document.bytes, document.encoding, positions.converted));
    std::size_t next = 0;
    matchTags(document.document->children, positions, next);
  }
  const auto tag = reinterpret_cast<std::uintptr_t>(node->_private);
  return tag == 0 ? nullptr : &document.positions->tags[tag - 1];
}

// libxml2's input decoder for windows-1252: as many bytes of `in` as fit into
// `out` as UTF-8; both lengths come back as the counts used.
int decodeWindows1252(unsigned char* out, int* outLength, const unsigned char* in, int* inLength) {
  int read = 0;
  int written = 0;
  for (; read < *inLength; ++read) {
    const unsigned char byte = in[read];
    const char16_t point = windows1252Unit(byte);
    const int size = point < 0x80 ? 1 : point < 0x800 ? 2 : 3;
    if (written + size > *outLength) break;
    if (size == 1) {
      out[written++] = static_cast<unsigned char>(point);
    } else if (size == 2) {
      out[written++] = static_cast<unsigned char>(0xC0 | (point >> 6));
      out[written++] = static_cast<unsigned char>(0x80 | (point & 0x3F));
    } else {
      out[written++] = static_cast<unsigned char>(0xE0 | (point >> 12));
      out[written++] = static_cast<unsigned char>(0x80 | ((point >> 6) & 0x3F));
      out[written++] = static_cast<unsigned char>(0x80 | (point & 0x3F));
    }
  }
  *inLength = read;
  *outLength = written;
  return written;
}

// Registers the windows-1252 decoder once; registered handlers take
// precedence over iconv.
void useWindows1252AsWindowsDoes() {
  static const bool registered =
      xmlNewCharEncodingHandler("windows-1252", decodeWindows1252, nullptr) != nullptr;
  (void)registered;
}

xmlParserInputPtr refuseExternalResource(const char*, const char*, xmlParserCtxtPtr) {
  return nullptr;
}

// Until the end of the scope no external resource (DTD, entity) is loaded,
// whatever the parse options ask for.
class ExternalResourcesRefused {
 public:
  ExternalResourcesRefused() : saved_(xmlGetExternalEntityLoader()) {
    xmlSetExternalEntityLoader(refuseExternalResource);
  }
  ExternalResourcesRefused(const ExternalResourcesRefused&) = delete;
  ExternalResourcesRefused& operator=(const ExternalResourcesRefused&) = delete;
  ~ExternalResourcesRefused() { xmlSetExternalEntityLoader(saved_); }

 private:
  xmlExternalEntityLoader saved_;
};

// Gives a node in a namespace its qualified name as written ("p:binary", or
// "binary" under a default namespace) and no namespace, so that a query's
// name test matches the name as written, as the Windows DOM's queries do.
void nameAsWritten(xmlNodePtr node) {
  if (node->ns == nullptr) return;
  if (node->ns->prefix != nullptr) {
    const std::string qualified = std::string(reinterpret_cast<const char*>(node->ns->prefix)) +
                                  ":" + reinterpret_cast<const char*>(node->name);
    xmlNodeSetName(node, xmlText(qualified));
  }
  node->ns = nullptr;
}

// Makes an attribute value that holds entity references one text node with
// the replacement text: libxml2 keeps the references, which its XPath
// comparisons do not follow, where the Windows DOM compares the value.
void valueAsText(xmlAttrPtr attribute) {
  bool plain = true;
  for (xmlNodePtr child = attribute->children; child != nullptr; child = child->next) {
    plain = plain && child->type == XML_TEXT_NODE;
  }
  if (plain) return;
  const std::unique_ptr<xmlChar, XmlCharFree> value(
      xmlNodeListGetString(attribute->doc, attribute->children, 1));
  const xmlNodePtr text = xmlNewDocText(attribute->doc, value.get());
  if (text == nullptr) throw std::bad_alloc();
  xmlFreeNodeList(attribute->children);
  text->parent = reinterpret_cast<xmlNodePtr>(attribute);
  attribute->children = attribute->last = text;
}

// The same for every element from `first` on, its attributes and its
// descendants. The parser's depth limit bounds the recursion.
void nameAllAsWritten(xmlNodePtr first) {
  for (xmlNodePtr node = first; node != nullptr; node = node->next) {
    if (node->type != XML_ELEMENT_NODE) continue;
    nameAsWritten(node);
    for (xmlAttrPtr attribute = node->properties; attribute != nullptr;
         attribute = attribute->next) {
      nameAsWritten(reinterpret_cast<xmlNodePtr>(attribute));
      valueAsText(attribute);
    }
    nameAllAsWritten(node->children);
  }
}

using XPathResult = std::unique_ptr<xmlXPathObject, XPathObjectFree>;

// The nodes that `query` selects from `context`, in document order; null or
// empty when none.
XPathResult evaluate(xmlDocPtr document, xmlNodePtr context, const std::u16string& query) {
  silenceLibxml();
  XmlDocumentImpl& loaded = *static_cast<XmlDocumentImpl*>(document->_private);
  if (loaded.xpath == nullptr) loaded.xpath = xmlXPathNewContext(document);
  if (loaded.xpath == nullptr) return nullptr;
  loaded.xpath->node = context;
  XPathResult result(xmlXPathEvalExpression(xmlText(toNarrow(query)), loaded.xpath));
  if (!result || result->type != XPATH_NODESET || xmlXPathNodeSetIsEmpty(result->nodesetval)) {
    return nullptr;
  }
  return result;
}

// A query that is one ASCII name and nothing else, as the settings load asks
// for an entry's value: XPath reads it as the child elements of that name.
bool isPlainName(const std::u16string& query) {
  const auto letter = [](char16_t unit) {
    return (unit >= u'a' && unit <= u'z') || (unit >= u'A' && unit <= u'Z') || unit == u'_';
  };
  return !query.empty() && letter(query.front()) &&
         std::all_of(query.begin(), query.end(),
                     [&](char16_t unit) { return letter(unit) || (unit >= u'0' && unit <= u'9'); });
}

XmlNode select(xmlDocPtr document, xmlNodePtr context, const std::u16string& query) {
  const XPathResult result = evaluate(document, context, query);
  if (!result) return nullptr;
  return XmlNode(new XmlNodeImpl{result->nodesetval->nodeTab[0]});
}

// Refuses, before any parse, what the Windows DOM refuses and libxml2 would
// read: an encoding name the Windows DOM does not know, and UTF-16 without a
// byte-order mark whose declaration names no encoding. Has libxml2 decode a
// known name as Windows does. Gives the declared encoding, if any.
bool readableAsWindowsReadsIt(std::string_view bytes, std::optional<std::u16string>& encoding,
                              XmlLoadError& error) {
  const std::u16string start = declarationText(bytes);
  const std::optional<DeclaredEncoding> declared = declaredEncodingIn(start);
  const ByteStart kind = byteStartOf(bytes);
  if (!declared && (kind == ByteStart::Utf16LeBare || kind == ByteStart::Utf16BeBare)) {
    error.line = error.column = 1;
    error.reason = u"UTF-16 without a byte-order mark and without an encoding declaration";
    return false;
  }
  if (!declared) return true;
  const DomEncoding* known = findDomEncoding(declared->name);
  if (known == nullptr) {
    TextCursor<char16_t> cursor(start);
    cursor.advanceTo(declared->offset);
    error.line = cursor.position().line;
    error.column = cursor.position().column;
    error.reason = u"unsupported encoding \"" + declared->name + u"\"";
    return false;
  }
  if (known->readAs != nullptr) {
    xmlAddEncodingAlias(known->readAs, toNarrow(declared->name).c_str());
  }
  encoding = declared->name;
  return true;
}

}  // namespace

XmlDocument loadXmlBytes(std::string bytes, XmlLoadError& error) {
  silenceLibxml();
  const std::unique_ptr<xmlParserCtxt, ParserContextFree> parser(xmlNewParserCtxt());
  if (!parser) {
    error.domUnavailable = true;
    return nullptr;
  }
  useWindows1252AsWindowsDoes();
  if (bytes.size() > INT_MAX) {
    error.reason = u"the file cannot be read";
    return nullptr;
  }
  std::optional<std::u16string> encoding;
  if (!readableAsWindowsReadsIt(bytes, encoding, error)) return nullptr;
  // No XML_PARSE_NOENT (entities stay references, external ones unread), no
  // XML_PARSE_DTDLOAD or DTDVALID, no XML_PARSE_NOBLANKS, no network, and no
  // XML_PARSE_HUGE: elements nested deeper than 256 levels are refused, and
  // the reason says so. XML_PARSE_DTDATTR gives elements the attribute
  // defaults that the internal DTD subset declares; it would also load an
  // external DTD, which the refusing loader prevents.
  // XML_PARSE_BIG_LINES keeps the lines of elements past line 65535.
  // XML_PARSE_COMPACT keeps a short text (the blanks between elements, most
  // values) in its node rather than in a block of its own; nothing here
  // changes a text node.
  const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING |
                      XML_PARSE_DTDATTR | XML_PARSE_BIG_LINES | XML_PARSE_COMPACT;
  const ExternalResourcesRefused offline;
  xmlSetStructuredErrorFunc(&error, keepFirstError);
  const xmlDocPtr document = xmlCtxtReadMemory(
      parser.get(), bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr, options);
  silenceLibxml();
  if (document == nullptr) {
    if (error.reason.empty()) error.reason = u"not well-formed";
    return nullptr;
  }
  XmlDocument loaded(
      new XmlDocumentImpl{document, std::move(bytes), std::move(encoding), {}, nullptr});
  document->_private = loaded.get();  // the way back from a node to its document's context
  nameAllAsWritten(document->children);
  return loaded;
}

// libxml2 gives the place with the error; the load kept it.
void locateParseError(std::string_view, XmlLoadError&) {}

std::optional<std::u16string> declaredEncoding(const XmlDocument& document) {
  return document->encoding;
}

XmlNode documentElement(const XmlDocument& document) {
  const xmlNodePtr root = xmlDocGetRootElement(document->document);
  return root == nullptr ? nullptr : XmlNode(new XmlNodeImpl{root});
}

std::vector<XmlNode> childElements(const XmlNode& node) {
  std::vector<XmlNode> children;
  for (xmlNodePtr child = node->node->children; child != nullptr; child = child->next) {
    if (child->type == XML_ELEMENT_NODE) children.emplace_back(new XmlNodeImpl{child});
  }
  return children;
}

std::u16string nodeName(const XmlNode& node) {
  return wide(node->node->name);
}

std::vector<std::pair<std::u16string, std::u16string>> nodeAttributes(const XmlNode& node) {
  std::vector<std::pair<std::u16string, std::u16string>> attributes;
  if (node->node->type != XML_ELEMENT_NODE) return attributes;
  // Namespace declarations are attributes to the Windows DOM; libxml2 keeps
  // them apart, so they come first.
  for (xmlNsPtr ns = node->node->nsDef; ns != nullptr; ns = ns->next) {
    attributes.emplace_back(ns->prefix == nullptr ? u"xmlns" : u"xmlns:" + wide(ns->prefix),
                            wide(ns->href));
  }
  for (xmlAttrPtr attribute = node->node->properties; attribute != nullptr;
       attribute = attribute->next) {
    const std::unique_ptr<xmlChar, XmlCharFree> value(
        xmlNodeListGetString(node->node->doc, attribute->children, 1));
    attributes.emplace_back(wide(attribute->name), wide(value.get()));
  }
  return attributes;
}

XmlPosition nodePosition(const XmlDocument& document, const XmlNode& node) {
  const StartTag* tag = startTagOf(*document, node->node);
  return tag == nullptr ? XmlPosition{} : tag->position;
}

XmlPosition attributePosition(const XmlDocument& document, const XmlNode& node,
                              const std::u16string& name) {
  const StartTag* tag = startTagOf(*document, node->node);
  if (tag == nullptr) return {};
  const std::string wanted = toNarrow(name);
  for (const auto& [written, position] : tag->attributes) {
    if (written == wanted) return position;
  }
  return {};
}

XmlNode selectSingleNode(const XmlDocument& document, const std::u16string& query) {
  return select(document->document, reinterpret_cast<xmlNodePtr>(document->document), query);
}

XmlNode selectSingleNode(const XmlNode& context, const std::u16string& query) {
  if (isPlainName(query)) {
    // The child axis and a name test: the first child element of that name.
    // Every name was made the name as written, with no namespace, on load.
    for (xmlNodePtr child = context->node->children; child != nullptr; child = child->next) {
      if (child->type == XML_ELEMENT_NODE && sameName(child->name, query)) {
        return XmlNode(new XmlNodeImpl{child});
      }
    }
    return nullptr;
  }
  return select(context->node->doc, context->node, query);
}

std::optional<std::u16string> nodeText(const XmlNode& node) {
  const std::unique_ptr<xmlChar, XmlCharFree> text(xmlNodeGetContent(node->node));
  if (!text) return std::nullopt;
  return toWide(reinterpret_cast<const char*>(text.get()));
}

std::vector<XmlNode> selectNodes(const XmlDocument& document, const std::u16string& query) {
  std::vector<XmlNode> nodes;
  const XPathResult result =
      evaluate(document->document, reinterpret_cast<xmlNodePtr>(document->document), query);
  if (!result) return nodes;
  // XPath node sets come sorted in document order.
  for (int i = 0; i < result->nodesetval->nodeNr; ++i) {
    nodes.emplace_back(new XmlNodeImpl{result->nodesetval->nodeTab[i]});
  }
  return nodes;
}

std::optional<std::u16string> nodeAttribute(const XmlNode& node, const std::u16string& name) {
  if (node->node->type != XML_ELEMENT_NODE) return std::nullopt;
  // The attributes a query's @name sees: those written in the element and the
  // defaults that the internal DTD subset declares for it.
  const std::string wanted = toNarrow(name);
  for (xmlAttrPtr attribute = node->node->properties; attribute != nullptr;
       attribute = attribute->next) {
    if (attribute->ns != nullptr || !xmlStrEqual(attribute->name, xmlText(wanted))) continue;
    const std::unique_ptr<xmlChar, XmlCharFree> value(
        xmlNodeListGetString(node->node->doc, attribute->children, 1));
    return value ? toWide(reinterpret_cast<const char*>(value.get())) : std::u16string();
  }
  return std::nullopt;
}

}  // namespace platform
