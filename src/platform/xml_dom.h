// A read-only XML DOM: load a file, query nodes, read an element's text and
// attributes, walk the elements, and say where in the file each one is written.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
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
  std::u16string reason;  // the parser's message; never empty once a parse failed
};

// Loads the file at `path` synchronously, without validation, external
// entities, DTD loading or network access, keeping all whitespace, as the
// Windows DOM reads it. Null when it cannot be loaded or parsed; `error`
// then says why, and where as far as the DOM itself says (libxml2 always
// does; the Windows DOM does not under Wine).
XmlDocument loadXmlDocument(const std::u16string& path, XmlLoadError& error);

// The same load of a document's bytes that come from elsewhere than a file
// (an editor's buffer): the same bytes load as the file would, the declared
// encoding included.
XmlDocument loadXmlBytes(std::string bytes, XmlLoadError& error);

// Finds where the parse that `error` describes stopped, when the load did not
// say: `bytes` are the file as the failed load read it. On Windows a second
// reader, XmlLite, loaded for the call, reads them: only a program that
// shows the place calls this, never the customisation run. The place stays
// unknown where the reader cannot find it or cannot be trusted with the bytes.
void locateParseError(std::string_view bytes, XmlLoadError& error);

// The encoding named in the XML declaration, as written; nullopt when none is declared.
std::optional<std::u16string> declaredEncoding(const XmlDocument& document);

// The same for a document's bytes, loaded or not, read as the load reads the
// declaration: after a byte-order mark, in UTF-16 when the bytes are.
std::optional<std::u16string> declaredEncodingOf(std::string_view bytes);

// The document element; null when there is none.
XmlNode documentElement(const XmlDocument& document);

// The element's direct child elements, in document order.
std::vector<XmlNode> childElements(const XmlNode& node);

// The name as written, prefix included.
std::u16string nodeName(const XmlNode& node);

// The element's attributes, each as its name as written and its value:
// those written in the start tag and the defaults of the internal DTD subset.
std::vector<std::pair<std::u16string, std::u16string>> nodeAttributes(const XmlNode& node);

// A place in the file: line and column, both from 1; 0 and 0 when unknown.
// Lines end at LF, CR LF or a lone CR; columns count UTF-16 code units of the
// decoded text from the start of the line, a tab as one.
struct XmlPosition {
  long line = 0;
  long column = 0;
  friend bool operator==(const XmlPosition&, const XmlPosition&) = default;
};

// Where the element `node` of `document` starts: the "<" of its start tag.
// The positions of a document are found once, on the first call; for a node
// found by a query rather than through documentElement() and childElements(),
// the Windows DOM needs a walk over the node's preceding siblings.
XmlPosition nodePosition(const XmlDocument& document, const XmlNode& node);

// Where the attribute `name` of the element `node` is written: the first
// character of its name; unknown when the start tag does not hold it (a
// default of the internal DTD subset).
XmlPosition attributePosition(const XmlDocument& document, const XmlNode& node,
                              const std::u16string& name);

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

}  // namespace platform
