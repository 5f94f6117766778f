// The DOM is libxml2, set up as a validating-free, offline, whitespace-keeping
// parser with XPath 1.0 for queries, and made to give the answers of the
// Windows DOM where the two differ: names are matched as written, prefix
// included; the file is read as it is, never decompressed; windows-1252 is
// decoded as Windows decodes it; attribute defaults of the internal DTD
// subset count.
#include "platform/xml_dom.h"

#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xpath.h>

#include <climits>

#include "platform/codepage.h"
#include "platform/files.h"

namespace platform {

struct XmlDocumentImpl {
  xmlDocPtr document;
};

struct XmlNodeImpl {
  xmlNodePtr node;  // owned by its document
};

void XmlDeleter::operator()(XmlDocumentImpl* document) const noexcept {
  if (document == nullptr) return;
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
struct XPathContextFree {
  void operator()(xmlXPathContextPtr context) const noexcept { xmlXPathFreeContext(context); }
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

// Code page 1252 from 0x80 to 0x9F as Windows decodes it, its five unassigned
// bytes included (as the C1 controls of the same value, where iconv refuses
// them); the other bytes are their own code points.
const char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// libxml2's input decoder for windows-1252: as many bytes of `in` as fit into
// `out` as UTF-8; both lengths come back as the counts used.
int decodeWindows1252(unsigned char* out, int* outLength, const unsigned char* in, int* inLength) {
  int read = 0;
  int written = 0;
  for (; read < *inLength; ++read) {
    const unsigned char byte = in[read];
    const char16_t point = byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80] : byte;
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

// The same for every element from `first` on, its attributes and its
// descendants. The parser's depth limit bounds the recursion.
void nameAllAsWritten(xmlNodePtr first) {
  for (xmlNodePtr node = first; node != nullptr; node = node->next) {
    if (node->type != XML_ELEMENT_NODE) continue;
    nameAsWritten(node);
    for (xmlAttrPtr attribute = node->properties; attribute != nullptr;
         attribute = attribute->next) {
      nameAsWritten(reinterpret_cast<xmlNodePtr>(attribute));
    }
    nameAllAsWritten(node->children);
  }
}

using XPathResult = std::unique_ptr<xmlXPathObject, XPathObjectFree>;

// The nodes that `query` selects from `context`, in document order; null or
// empty when none.
XPathResult evaluate(xmlDocPtr document, xmlNodePtr context, const std::u16string& query) {
  silenceLibxml();
  const std::unique_ptr<xmlXPathContext, XPathContextFree> xpath(xmlXPathNewContext(document));
  if (!xpath) return nullptr;
  xpath->node = context;
  XPathResult result(xmlXPathEvalExpression(xmlText(toNarrow(query)), xpath.get()));
  if (!result || result->type != XPATH_NODESET || xmlXPathNodeSetIsEmpty(result->nodesetval)) {
    return nullptr;
  }
  return result;
}

XmlNode select(xmlDocPtr document, xmlNodePtr context, const std::u16string& query) {
  const XPathResult result = evaluate(document, context, query);
  if (!result) return nullptr;
  return XmlNode(new XmlNodeImpl{result->nodesetval->nodeTab[0]});
}

}  // namespace

XmlDocument loadXmlDocument(const std::u16string& path, XmlLoadError& error) {
  silenceLibxml();
  const std::unique_ptr<xmlParserCtxt, ParserContextFree> parser(xmlNewParserCtxt());
  if (!parser) {
    error.domUnavailable = true;
    return nullptr;
  }
  useWindows1252AsWindowsDoes();
  // Read here rather than by libxml2, which would decompress a gzip or xz file.
  const auto bytes = readFileBytes(path);
  if (!bytes || bytes->size() > INT_MAX) {
    error.reason = u"the file cannot be read";
    return nullptr;
  }
  // No XML_PARSE_NOENT (entities stay references, external ones unread), no
  // XML_PARSE_DTDLOAD or DTDVALID, no XML_PARSE_NOBLANKS, no network, and no
  // XML_PARSE_HUGE: elements nested deeper than 256 levels are refused, and
  // the reason says so. XML_PARSE_DTDATTR gives elements the attribute
  // defaults that the internal DTD subset declares; it would also load an
  // external DTD, which the refusing loader prevents.
  // XML_PARSE_BIG_LINES keeps the lines of elements past line 65535.
  const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING |
                      XML_PARSE_DTDATTR | XML_PARSE_BIG_LINES;
  const ExternalResourcesRefused offline;
  xmlSetStructuredErrorFunc(&error, keepFirstError);
  // The path stays the document's URL, for messages.
  const xmlDocPtr document =
      xmlCtxtReadMemory(parser.get(), bytes->data(), static_cast<int>(bytes->size()),
                        toNarrow(path).c_str(), nullptr, options);
  silenceLibxml();
  if (document == nullptr) return nullptr;
  XmlDocument loaded(new XmlDocumentImpl{document});
  nameAllAsWritten(document->children);
  return loaded;
}

XmlNode selectSingleNode(const XmlDocument& document, const std::u16string& query) {
  return select(document->document, reinterpret_cast<xmlNodePtr>(document->document), query);
}

XmlNode selectSingleNode(const XmlNode& context, const std::u16string& query) {
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

long nodeLine(const XmlNode& node) {
  const long line = xmlGetLineNo(node->node);
  return line > 0 ? line : 0;
}

XmlPosition nodePosition(const XmlDocument&, const XmlNode& node) {
  return {nodeLine(node), 0};
}

XmlPosition attributePosition(const XmlDocument& document, const XmlNode& node,
                              const std::u16string&) {
  return nodePosition(document, node);
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
  return toWide(reinterpret_cast<const char*>(node->node->name));
}

std::vector<std::pair<std::u16string, std::u16string>> nodeAttributes(const XmlNode& node) {
  std::vector<std::pair<std::u16string, std::u16string>> attributes;
  if (node->node->type != XML_ELEMENT_NODE) return attributes;
  for (xmlAttrPtr attribute = node->node->properties; attribute != nullptr;
       attribute = attribute->next) {
    const std::unique_ptr<xmlChar, XmlCharFree> value(
        xmlNodeListGetString(node->node->doc, attribute->children, 1));
    attributes.emplace_back(toWide(reinterpret_cast<const char*>(attribute->name)),
                            value ? toWide(reinterpret_cast<const char*>(value.get())) : u"");
  }
  return attributes;
}

std::optional<std::u16string> declaredEncoding(const XmlDocument& document) {
  if (document->document->encoding == nullptr) return std::nullopt;
  return toWide(reinterpret_cast<const char*>(document->document->encoding));
}

}  // namespace platform
