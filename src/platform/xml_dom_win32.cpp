// The DOM is the system's DOMDocument 3.0, through COM. It keeps no positions
// for its nodes, and under Wine it gives a failed parse no position or reason:
// both come from XmlLite (xmllite.dll, loaded from the system folder for each
// call that asks for a place) reading the same bytes, its elements matched to
// the DOM's in document order. A load never asks: a run reads the file through
// the DOM alone. The DOM stays the one source of what the file says.
#include "platform/xml_dom.h"

#include <windows.h>

#include <objbase.h>
#include <oleauto.h>
// Need the COM types above.
#include <msxml2.h>
#include <xmllite.h>

#include <algorithm>
#include <new>
#include <string_view>
#include <utility>

#include "platform/files.h"
#include "platform/wide.h"
#include "platform/xml_encoding.h"

namespace platform {

namespace {

const CLSID kDomDocument30 = {
    0xF5078F32, 0xC551, 0x11D3, {0x89, 0xB9, 0x00, 0x00, 0xF8, 0x1F, 0xE2, 0x21}};
const IID kIXmlDomDocument = {
    0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID kIXmlReader = {
    0x7279FC81, 0x709D, 0x4095, {0xB6, 0x3D, 0x69, 0xFE, 0x4B, 0x0D, 0x90, 0x30}};

// Owns one COM reference.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    std::swap(pointer_, other.pointer_);
    return *this;
  }
  ~ComPtr() {
    if (pointer_ != nullptr) pointer_->Release();
  }
  T* operator->() const { return pointer_; }
  T* get() const { return pointer_; }
  T** put() { return &pointer_; }
  // Hands the reference to an owner that releases it itself (a VARIANT).
  T* release() { return std::exchange(pointer_, nullptr); }

 private:
  T* pointer_ = nullptr;
};

// Owns one BSTR.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(const std::u16string& text)
      : text_(SysAllocStringLen(asWide(text.data()), static_cast<UINT>(text.size()))) {
    if (text_ == nullptr) throw std::bad_alloc();
  }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { SysFreeString(text_); }
  BSTR get() const { return text_; }
  BSTR* put() { return &text_; }
  // A null BSTR is the empty string.
  std::u16string str() const {
    return text_ == nullptr ? std::u16string() : fromWide(text_, SysStringLen(text_));
  }

 private:
  BSTR text_ = nullptr;
};

// Owns one VARIANT.
class Variant {
 public:
  Variant() { VariantInit(&value_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  ~Variant() { VariantClear(&value_); }
  VARIANT& get() { return value_; }

 private:
  VARIANT value_;
};

// Owns a loaded DLL.
class Module {
 public:
  explicit Module(const std::u16string& path) : module_(LoadLibraryW(asWide(path.c_str()))) {}
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;
  ~Module() {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  HMODULE get() const { return module_; }

 private:
  HMODULE module_;
};

// A start tag as XmlLite reads it, with the tags of its child elements.
struct ReadTag {
  std::u16string name;
  XmlPosition position;
  std::vector<std::pair<std::u16string, XmlPosition>> attributes;
  std::vector<std::size_t> children;
};

// What an XmlLite reader found in a document: every start tag in document
// order (the document element first), and the error it stopped at.
struct XmlLiteRead {
  std::vector<ReadTag> tags;
  HRESULT result = S_OK;  // S_FALSE: read to the end; S_OK: not read at all
  XmlPosition stop;       // where it stopped
};

}  // namespace

struct XmlDocumentImpl {
  ComPtr<IXMLDOMDocument> document;
  std::string bytes;  // the file as read, for XmlLite
  std::optional<std::vector<ReadTag>> tags;
};

struct XmlNodeImpl {
  ComPtr<IXMLDOMNode> node;
  // The indexes of the child elements that lead from the document element to
  // this one, when known without a walk.
  std::optional<std::vector<std::size_t>> path;
};

namespace {

XmlNode select(IXMLDOMNode* context, const std::u16string& query) {
  const Bstr text(query);
  ComPtr<IXMLDOMNode> node;
  if (context->selectSingleNode(text.get(), node.put()) != S_OK || node.get() == nullptr) {
    return nullptr;
  }
  return XmlNode(new XmlNodeImpl{std::move(node), std::nullopt});
}

// A stream over `bytes`; null when it cannot be made.
ComPtr<IStream> memoryStream(std::string_view bytes) {
  ComPtr<IStream> stream;
  if (bytes.size() > MAXDWORD) return stream;
  const HRESULT created = CreateStreamOnHGlobal(nullptr, TRUE, stream.put());
  if (created == E_OUTOFMEMORY) throw std::bad_alloc();
  ULONG written = 0;
  const LARGE_INTEGER start{};
  if (created != S_OK ||
      stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written) != S_OK ||
      written != bytes.size() || stream->Seek(start, STREAM_SEEK_SET, nullptr) != S_OK) {
    return ComPtr<IStream>();
  }
  return stream;
}

// `text` as UTF-16LE bytes with a byte-order mark.
std::string littleEndianWithMark(const std::u16string& text) {
  return "\xFF\xFE" + std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}

// The bytes for XmlLite: the file's own, or the same text as UTF-16LE where
// Wine's XmlLite could not read them: big-endian UTF-16, and a code page,
// which is decoded as the DOM decodes it and its encoding declaration blanked
// out (on Windows, XmlLite reads only some code pages without MLang). Blanks
// keep every column.
std::string xmlLiteBytes(std::string_view bytes) {
  const ByteStart start = byteStartOf(bytes);
  if (start == ByteStart::Utf16BeMark || start == ByteStart::Utf16BeBare) {
    const std::size_t mark = start == ByteStart::Utf16BeMark ? 2 : 0;
    return littleEndianWithMark(
        utf16Text(std::string_view(bytes).substr(mark), true, bytes.size()));
  }
  const std::optional<DeclaredEncoding> declared = declaredEncodingIn(declarationText(bytes));
  const DomEncoding* encoding = declared ? findDomEncoding(declared->name) : nullptr;
  if (encoding == nullptr || encoding->codePage == 65001 || encoding->codePage == 1200 ||
      encoding->codePage == 12000 || bytes.size() > INT_MAX) {
    return std::string(bytes);
  }
  const int length = static_cast<int>(bytes.size());
  const int size = MultiByteToWideChar(encoding->codePage, 0, bytes.data(), length, nullptr, 0);
  if (size <= 0) return std::string(bytes);
  std::u16string text(static_cast<std::size_t>(size), u'\0');
  MultiByteToWideChar(encoding->codePage, 0, bytes.data(), length, asWide(text.data()), size);
  const std::optional<DeclaredEncoding> again = declaredEncodingIn(text);
  if (!again) return std::string(bytes);
  const std::size_t from = text.rfind(u"encoding", again->offset);
  if (from == std::u16string::npos) return std::string(bytes);
  std::fill(text.begin() + from, text.begin() + again->offset + again->name.size() + 1, u' ');
  return littleEndianWithMark(text);
}

XmlPosition readerPosition(IXmlReader* reader) {
  UINT line = 0;
  UINT column = 0;
  reader->GetLineNumber(&line);
  reader->GetLinePosition(&column);
  return {static_cast<long>(line), static_cast<long>(column)};
}

std::u16string qualifiedName(IXmlReader* reader) {
  const WCHAR* name = nullptr;
  UINT length = 0;
  if (reader->GetQualifiedName(&name, &length) != S_OK || name == nullptr) return {};
  return fromWide(name, length);
}

// The element the reader is on, its attributes as written (no DTD default).
// XmlLite places an element at the first character of its name: the "<" is
// one before.
ReadTag readTag(IXmlReader* reader) {
  ReadTag tag{qualifiedName(reader), readerPosition(reader), {}, {}};
  if (tag.position.column > 0) --tag.position.column;
  for (HRESULT more = reader->MoveToFirstAttribute(); more == S_OK;
       more = reader->MoveToNextAttribute()) {
    if (!reader->IsDefault()) {
      tag.attributes.emplace_back(qualifiedName(reader), readerPosition(reader));
    }
  }
  reader->MoveToElement();
  return tag;
}

// Whether XmlLite may be handed `input`. Reading UTF-8, Wine 8's XmlLite
// decodes ahead of its parse and loses count of the bytes it has left when
// its first look at the document runs into the end of the text or a NUL: the
// comparison with "<?xml " up to the first character that differs, or, in a
// text that begins so, the declaration up to the character after its "?>".
// It then fails an assertion and aborts the process, which no caller can
// catch: a byte-order mark alone, a declaration alone, a mark followed by "<"
// or by a NUL, "<?x" all do. Input under 3 bytes it refuses before decoding
// any, and a declaration that never closes stops it with an error first. The
// rule holds the other encodings to the same, though they do not trip it: a
// file it turns away is no well-formed document, and there is little to
// place in it.
bool xmlLiteCanRead(std::string_view input) {
  if (input.size() < 3) return true;
  const std::u16string text = declarationText(input, input.size());
  constexpr std::u16string_view kStart = u"<?xml ";
  std::size_t look = static_cast<std::size_t>(
      std::mismatch(kStart.begin(), kStart.end(), text.begin(), text.end()).first - kStart.begin());
  if (look == kStart.size()) {
    const std::size_t close = text.find(u"?>", look);
    if (close == std::u16string::npos) return true;
    look = close + 2;
  }
  if (look >= text.size()) return false;
  const auto looked = text.begin() + static_cast<std::ptrdiff_t>(look) + 1;
  return std::find(text.begin(), looked, u'\0') == looked;
}

// Reads `bytes` with XmlLite as far as it can; reads nothing, and leaves
// XmlLite unloaded, when it may not be handed them.
XmlLiteRead readWithXmlLite(std::string_view bytes) {
  XmlLiteRead read;
  const std::string input = xmlLiteBytes(bytes);
  if (!xmlLiteCanRead(input)) return read;
  wchar_t system[MAX_PATH];
  const UINT length = GetSystemDirectoryW(system, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return read;
  const Module xmllite(fromWide(system, length) + u"\\xmllite.dll");
  using CreateXmlReaderFn = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);
  const auto create = reinterpret_cast<CreateXmlReaderFn>(
      xmllite.get() == nullptr
          ? nullptr
          : reinterpret_cast<void*>(GetProcAddress(xmllite.get(), "CreateXmlReader")));
  ComPtr<IXmlReader> reader;  // released before the DLL
  const ComPtr<IStream> stream = memoryStream(input);
  if (create == nullptr || stream.get() == nullptr ||
      create(kIXmlReader, reinterpret_cast<void**>(reader.put()), nullptr) != S_OK ||
      reader->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Parse) != S_OK ||
      reader->SetProperty(XmlReaderProperty_MaxElementDepth, 0) != S_OK ||
      reader->SetInput(stream.get()) != S_OK) {
    return read;
  }
  std::vector<std::size_t> open;
  XmlNodeType type = XmlNodeType_None;
  XmlNodeType lastType = XmlNodeType_None;
  XmlPosition last;
  while ((read.result = reader->Read(&type)) == S_OK) {
    const XmlPosition at = readerPosition(reader.get());
    // Wine's XmlLite, at the end of the input with elements still open,
    // gives the last element again and again.
    if (type == lastType && at == last) {
      read.result = MX_E_INPUTEND;
      return read;
    }
    lastType = type;
    last = at;
    if (type == XmlNodeType_EndElement && !open.empty()) open.pop_back();
    if (type != XmlNodeType_Element) continue;
    const bool empty = reader->IsEmptyElement();
    if (!open.empty()) read.tags[open.back()].children.push_back(read.tags.size());
    read.tags.push_back(readTag(reader.get()));
    if (!empty) open.push_back(read.tags.size() - 1);
  }
  read.stop = readerPosition(reader.get());
  return read;
}

// A readable reason for the XmlLite errors met in malformed files.
std::u16string xmlLiteReason(HRESULT result) {
  static const std::pair<XmlError, const char16_t*> kReasons[] = {
      {MX_E_INPUTEND, u"unexpected end of the input"},
      {MX_E_ENCODING, u"unrecognized encoding"},
      {MX_E_ENCODINGSWITCH, u"unable to switch the encoding"},
      {MX_E_ENCODINGSIGNATURE, u"unrecognized input signature"},
      {WC_E_XMLDECL, u"malformed XML declaration"},
      {WC_E_WHITESPACE, u"whitespace expected"},
      {WC_E_SEMICOLON, u"';' expected"},
      {WC_E_GREATERTHAN, u"'>' expected"},
      {WC_E_QUOTE, u"quotation mark expected"},
      {WC_E_EQUAL, u"'=' expected"},
      {WC_E_LESSTHAN, u"'<' not allowed here"},
      {WC_E_XMLCHARACTER, u"invalid character"},
      {WC_E_NAMECHARACTER, u"invalid character in a name"},
      {WC_E_SYNTAX, u"syntax error"},
      {WC_E_ELEMENTMATCH, u"end tag does not match the start tag"},
      {WC_E_UNIQUEATTRIBUTE, u"attribute written twice"},
      {WC_E_ENCNAME, u"unsupported or invalid encoding name"},
      {WC_E_UNDECLAREDENTITY, u"undeclared entity"},
      {WC_E_ROOTELEMENT, u"no single root element"},
      {WC_E_MOREDATA, u"data after the root element"},
      {NC_E_UNDECLAREDPREFIX, u"undeclared namespace prefix"},
      {SC_E_MAXELEMENTDEPTH, u"elements nested too deep"},
      {SC_E_MAXENTITYEXPANSION, u"entity expansion beyond the limit"},
  };
  for (const auto& [code, reason] : kReasons) {
    if (static_cast<HRESULT>(code) == result) return reason;
  }
  char16_t hex[9] = {};
  for (int i = 0; i < 8; ++i) hex[i] = u"0123456789ABCDEF"[(result >> (28 - 4 * i)) & 0xF];
  return u"XmlLite error 0x" + std::u16string(hex);
}

// Why and where the DOM refused the file, when it says both; under Wine it
// says neither (its reason is a placeholder, "error"), and the place is left
// to locateParseError().
void describeParseError(IXMLDOMDocument* document, XmlLoadError& error) {
  ComPtr<IXMLDOMParseError> parseError;
  if (document->get_parseError(parseError.put()) == S_OK && parseError.get() != nullptr) {
    Bstr reason;
    parseError->get_line(&error.line);
    parseError->get_linepos(&error.column);
    if (parseError->get_reason(reason.put()) == S_OK) error.reason = reason.str();
    while (!error.reason.empty() &&
           (error.reason.back() == u'\n' || error.reason.back() == u'\r')) {
      error.reason.pop_back();
    }
  }
  if (error.line <= 0 || error.reason.empty()) {
    error.line = error.column = 0;
    error.reason = u"position unknown";
  }
}

DOMNodeType nodeType(IXMLDOMNode* node) {
  DOMNodeType type = NODE_INVALID;
  node->get_nodeType(&type);
  return type;
}

// The indexes of the child elements that lead from the document element to
// `node`, found by walking up and counting each level's preceding elements;
// nullopt for a node outside the element tree (inside an entity reference).
std::optional<std::vector<std::size_t>> walkedPath(IXMLDOMNode* node) {
  std::vector<std::size_t> path;
  ComPtr<IXMLDOMNode> held;  // owns `current` once it is an ancestor
  IXMLDOMNode* current = node;
  for (;;) {
    if (nodeType(current) != NODE_ELEMENT) return std::nullopt;
    ComPtr<IXMLDOMNode> parent;
    if (current->get_parentNode(parent.put()) != S_OK || parent.get() == nullptr) {
      return std::nullopt;
    }
    if (nodeType(parent.get()) == NODE_DOCUMENT) break;
    std::size_t index = 0;
    ComPtr<IXMLDOMNode> sibling;
    current->get_previousSibling(sibling.put());
    while (sibling.get() != nullptr) {
      if (nodeType(sibling.get()) == NODE_ELEMENT) ++index;
      ComPtr<IXMLDOMNode> previous;
      sibling->get_previousSibling(previous.put());
      sibling = std::move(previous);
    }
    path.push_back(index);
    held = std::move(parent);
    current = held.get();
  }
  std::reverse(path.begin(), path.end());
  return path;
}

std::u16string name(IXMLDOMNode* node) {
  Bstr text;
  if (node->get_nodeName(text.put()) != S_OK) return {};
  return text.str();
}

// The tag XmlLite read for `node`; null when unknown.
const ReadTag* readTagOf(XmlDocumentImpl& document, XmlNodeImpl& node) {
  if (!document.tags) document.tags = readWithXmlLite(document.bytes).tags;
  const std::vector<ReadTag>& tags = *document.tags;
  if (!node.path) node.path = walkedPath(node.node.get());
  if (!node.path || tags.empty()) return nullptr;
  std::size_t index = 0;
  for (const std::size_t step : *node.path) {
    if (step >= tags[index].children.size()) return nullptr;
    index = tags[index].children[step];
  }
  // The order says nothing once an element is missing from one side.
  return tags[index].name == name(node.node.get()) ? &tags[index] : nullptr;
}

}  // namespace

void XmlDeleter::operator()(XmlDocumentImpl* document) const noexcept {
  delete document;
}
void XmlDeleter::operator()(XmlNodeImpl* node) const noexcept {
  delete node;
}

XmlDocument loadXmlDocument(const std::u16string& path, XmlLoadError& error) {
  // The DOM is handed the file's bytes, never its path: it would take the path
  // for a URL, decode "%41" in a folder name as "A" and cut it at a "#".
  auto bytes = readFileBytes(path);
  if (!bytes) {
    error.reason = u"the file cannot be read";
    return nullptr;
  }
  return loadXmlBytes(std::move(*bytes), error);
}

XmlDocument loadXmlBytes(std::string bytes, XmlLoadError& error) {
  ComPtr<IXMLDOMDocument> document;
  if (CoCreateInstance(kDomDocument30, nullptr, CLSCTX_INPROC_SERVER, kIXmlDomDocument,
                       reinterpret_cast<void**>(document.put())) != S_OK ||
      document.get() == nullptr) {
    error.domUnavailable = true;
    return nullptr;
  }
  document->put_async(VARIANT_FALSE);
  document->put_validateOnParse(VARIANT_FALSE);
  document->put_resolveExternals(VARIANT_FALSE);
  document->put_preserveWhiteSpace(VARIANT_TRUE);

  ComPtr<IStream> stream = memoryStream(bytes);
  if (stream.get() == nullptr) {
    error.reason = u"the file cannot be read";
    return nullptr;
  }
  // The DOM still detects the encoding from the bytes.
  Variant source;
  source.get().vt = VT_UNKNOWN;
  source.get().punkVal = stream.release();
  VARIANT_BOOL loaded = VARIANT_FALSE;
  if (document->load(source.get(), &loaded) != S_OK || loaded != VARIANT_TRUE) {
    describeParseError(document.get(), error);
    return nullptr;
  }
  return XmlDocument(new XmlDocumentImpl{std::move(document), std::move(bytes), std::nullopt});
}

void locateParseError(std::string_view bytes, XmlLoadError& error) {
  if (error.domUnavailable || error.line > 0) return;
  const XmlLiteRead read = readWithXmlLite(bytes);
  // Only XmlLite's own errors are about the file: Wine's, for one, stops at
  // any DTD with E_NOTIMPL.
  if (HRESULT_FACILITY(read.result) == FACILITY_INTERNET && FAILED(read.result)) {
    error.line = read.stop.line;
    error.column = read.stop.column;
    error.reason = xmlLiteReason(read.result);
  }
}

std::optional<std::u16string> declaredEncoding(const XmlDocument& document) {
  return declaredEncodingOf(document->bytes);
}

XmlNode documentElement(const XmlDocument& document) {
  ComPtr<IXMLDOMElement> element;
  if (document->document->get_documentElement(element.put()) != S_OK || element.get() == nullptr) {
    return nullptr;
  }
  ComPtr<IXMLDOMNode> node;
  *node.put() = element.release();
  return XmlNode(new XmlNodeImpl{std::move(node), std::vector<std::size_t>()});
}

std::vector<XmlNode> childElements(const XmlNode& node) {
  std::vector<XmlNode> children;
  ComPtr<IXMLDOMNode> child;
  node->node->get_firstChild(child.put());
  while (child.get() != nullptr) {
    ComPtr<IXMLDOMNode> next;
    child->get_nextSibling(next.put());
    if (nodeType(child.get()) == NODE_ELEMENT) {
      std::optional<std::vector<std::size_t>> path = node->path;
      if (path) path->push_back(children.size());
      children.emplace_back(new XmlNodeImpl{std::move(child), std::move(path)});
    }
    child = std::move(next);
  }
  return children;
}

std::u16string nodeName(const XmlNode& node) {
  return name(node->node.get());
}

std::vector<std::pair<std::u16string, std::u16string>> nodeAttributes(const XmlNode& node) {
  std::vector<std::pair<std::u16string, std::u16string>> attributes;
  ComPtr<IXMLDOMNamedNodeMap> map;
  long length = 0;
  if (node->node->get_attributes(map.put()) != S_OK || map.get() == nullptr ||
      map->get_length(&length) != S_OK) {
    return attributes;
  }
  for (long i = 0; i < length; ++i) {
    ComPtr<IXMLDOMNode> attribute;
    Bstr value;
    if (map->get_item(i, attribute.put()) == S_OK && attribute.get() != nullptr &&
        attribute->get_text(value.put()) == S_OK) {
      attributes.emplace_back(name(attribute.get()), value.str());
    }
  }
  return attributes;
}

XmlPosition nodePosition(const XmlDocument& document, const XmlNode& node) {
  const ReadTag* tag = readTagOf(*document, *node);
  return tag == nullptr ? XmlPosition{} : tag->position;
}

XmlPosition attributePosition(const XmlDocument& document, const XmlNode& node,
                              const std::u16string& name) {
  const ReadTag* tag = readTagOf(*document, *node);
  if (tag == nullptr) return {};
  for (const auto& [written, position] : tag->attributes) {
    if (written == name) return position;
  }
  return {};
}

XmlNode selectSingleNode(const XmlDocument& document, const std::u16string& query) {
  return select(document->document.get(), query);
}

XmlNode selectSingleNode(const XmlNode& context, const std::u16string& query) {
  return select(context->node.get(), query);
}

std::optional<std::u16string> nodeText(const XmlNode& node) {
  Bstr text;
  if (node->node->get_text(text.put()) != S_OK) return std::nullopt;
  return text.str();
}

std::vector<XmlNode> selectNodes(const XmlDocument& document, const std::u16string& query) {
  std::vector<XmlNode> nodes;
  const Bstr text(query);
  ComPtr<IXMLDOMNodeList> list;
  long length = 0;
  if (document->document->selectNodes(text.get(), list.put()) != S_OK || list.get() == nullptr ||
      list->get_length(&length) != S_OK) {
    return nodes;
  }
  for (long i = 0; i < length; ++i) {
    ComPtr<IXMLDOMNode> node;
    if (list->get_item(i, node.put()) == S_OK && node.get() != nullptr) {
      nodes.emplace_back(new XmlNodeImpl{std::move(node), std::nullopt});
    }
  }
  return nodes;
}

std::optional<std::u16string> nodeAttribute(const XmlNode& node, const std::u16string& name) {
  ComPtr<IXMLDOMNamedNodeMap> attributes;
  if (node->node->get_attributes(attributes.put()) != S_OK || attributes.get() == nullptr) {
    return std::nullopt;
  }
  const Bstr attributeName(name);
  ComPtr<IXMLDOMNode> attribute;
  if (attributes->getNamedItem(attributeName.get(), attribute.put()) != S_OK ||
      attribute.get() == nullptr) {
    return std::nullopt;
  }
  Bstr value;
  if (attribute->get_text(value.put()) != S_OK) return std::nullopt;
  return value.str();
}

}  // namespace platform
