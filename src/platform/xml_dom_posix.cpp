// The DOM is libxml2, set up as a validating-free, offline, whitespace-keeping
// parser with XPath 1.0 for queries.
#include "platform/xml_dom.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xpath.h>

#include "platform/codepage.h"

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

XmlNode select(xmlDocPtr document, xmlNodePtr context, const std::u16string& query) {
  silenceLibxml();
  const std::unique_ptr<xmlXPathContext, XPathContextFree> xpath(xmlXPathNewContext(document));
  if (!xpath) return nullptr;
  xpath->node = context;
  const std::unique_ptr<xmlXPathObject, XPathObjectFree> result(
      xmlXPathEvalExpression(xmlText(toNarrow(query)), xpath.get()));
  if (!result || result->type != XPATH_NODESET || xmlXPathNodeSetIsEmpty(result->nodesetval)) {
    return nullptr;
  }
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
  // No XML_PARSE_NOENT (entities stay references, external ones unread), no
  // XML_PARSE_DTDLOAD or DTDVALID, no XML_PARSE_NOBLANKS, no network.
  const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
  xmlSetStructuredErrorFunc(&error, keepFirstError);
  const xmlDocPtr document =
      xmlCtxtReadFile(parser.get(), toNarrow(path).c_str(), nullptr, options);
  silenceLibxml();
  if (document == nullptr) return nullptr;
  return XmlDocument(new XmlDocumentImpl{document});
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

}  // namespace platform
