// A read-only XML DOM: load a file, query single nodes, read an element's text.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct XmlDocumentImpl;
struct XmlNodeImpl;
struct XmlDeleter {
  void operator()(XmlDocumentImpl* document) const noexcept;
  void operator()(XmlNodeImpl* node) const noexcept;
};

// A loaded document, and a node of one; a node must not outlive its document.
using XmlDocument = std::unique_ptr<XmlDocumentImpl, XmlDeleter>;
using XmlNode = std::unique_ptr<XmlNodeImpl, XmlDeleter>;

// Why a document did not load.
struct XmlLoadError {
  bool domUnavailable = false;  // the DOM itself could not be created
  long line = 0;                // where parsing stopped, from 1; 0 when unknown
  long column = 0;
  std::u16string reason;  // the parser's message, as it gives it
};

// Loads the file at `path` synchronously, without validation, external
// entities, DTD loading or network access, keeping all whitespace.
// Null when it cannot be loaded or parsed; `error` then says why.
XmlDocument loadXmlDocument(const std::u16string& path, XmlLoadError& error);

// The first node, in document order, that `query` selects from the document
// or from `context`; null when nothing matches or the query is rejected.
XmlNode selectSingleNode(const XmlDocument& document, const std::u16string& query);
XmlNode selectSingleNode(const XmlNode& context, const std::u16string& query);

// The text of `node` and all its descendants; nullopt when it cannot be read.
std::optional<std::u16string> nodeText(const XmlNode& node);

// Every node that `query` selects from the document, in document order; empty
// when nothing matches or the query is rejected.
std::vector<XmlNode> selectNodes(const XmlDocument& document, const std::u16string& query);

// The value of the element's attribute `name`; nullopt when it has none.
std::optional<std::u16string> nodeAttribute(const XmlNode& node, const std::u16string& name);

// The line, from 1, on which the node starts in its file; 0 when the DOM does not say.
long nodeLine(const XmlNode& node);

struct XmlPosition {
  long line = 0;  // both from 1; 0 when unknown
  long column = 0;
};

// Where the element `node` starts: the "<" of its start tag.
XmlPosition nodePosition(const XmlDocument& document, const XmlNode& node);

// Where the attribute `name` of the element `node` is written: its name's
// first character; unknown when the element has no such attribute written.
XmlPosition attributePosition(const XmlDocument& document, const XmlNode& node,
                              const std::u16string& name);

// The document element; null when there is none.
XmlNode documentElement(const XmlDocument& document);

// The direct child elements of `node`, in document order.
std::vector<XmlNode> childElements(const XmlNode& node);

// The element's name as written, prefix included.
std::u16string nodeName(const XmlNode& node);

// The element's attributes: name as written, and value.
std::vector<std::pair<std::u16string, std::u16string>> nodeAttributes(const XmlNode& node);

// The encoding named in the XML declaration, as written; nullopt when none is.
std::optional<std::u16string> declaredEncoding(const XmlDocument& document);

}  // namespace platform
