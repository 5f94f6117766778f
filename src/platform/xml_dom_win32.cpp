// The DOM is the system's DOMDocument 3.0, through COM.
#include "platform/xml_dom.h"

#include <windows.h>

#include <objbase.h>
#include <oleauto.h>
// Needs the COM types above.
#include <msxml2.h>

#include <new>
#include <utility>

#include "platform/files.h"
#include "platform/wide.h"

namespace platform {

namespace {

const CLSID kDomDocument30 = {
    0xF5078F32, 0xC551, 0x11D3, {0x89, 0xB9, 0x00, 0x00, 0xF8, 0x1F, 0xE2, 0x21}};
const IID kIXmlDomDocument = {
    0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

// Owns one COM reference.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      if (pointer_ != nullptr) pointer_->Release();
      pointer_ = std::exchange(other.pointer_, nullptr);
    }
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
  // Hands the string to an owner that frees it itself (a VARIANT).
  BSTR release() { return std::exchange(text_, nullptr); }
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

}  // namespace

struct XmlDocumentImpl {
  ComPtr<IXMLDOMDocument> document;
};

struct XmlNodeImpl {
  ComPtr<IXMLDOMNode> node;
};

namespace {

XmlNode select(IXMLDOMNode* context, const std::u16string& query) {
  const Bstr text(query);
  ComPtr<IXMLDOMNode> node;
  if (context->selectSingleNode(text.get(), node.put()) != S_OK || node.get() == nullptr) {
    return nullptr;
  }
  return XmlNode(new XmlNodeImpl{std::move(node)});
}

// A stream over the bytes of the file at `path`; null when it cannot be read.
// The DOM is handed the file's bytes, never its path: it would take the path
// for a URL, decode "%41" in a folder name as "A" and cut it at a "#".
ComPtr<IStream> fileStream(const std::u16string& path) {
  ComPtr<IStream> stream;
  const auto bytes = readFileBytes(path);
  if (!bytes || bytes->size() > MAXDWORD) return stream;
  const HRESULT created = CreateStreamOnHGlobal(nullptr, TRUE, stream.put());
  if (created == E_OUTOFMEMORY) throw std::bad_alloc();
  ULONG written = 0;
  const LARGE_INTEGER start{};
  if (created != S_OK ||
      stream->Write(bytes->data(), static_cast<ULONG>(bytes->size()), &written) != S_OK ||
      written != bytes->size() || stream->Seek(start, STREAM_SEEK_SET, nullptr) != S_OK) {
    return ComPtr<IStream>();
  }
  return stream;
}

void describeParseError(IXMLDOMDocument* document, XmlLoadError& error) {
  ComPtr<IXMLDOMParseError> parseError;
  if (document->get_parseError(parseError.put()) != S_OK || parseError.get() == nullptr) return;
  parseError->get_line(&error.line);
  parseError->get_linepos(&error.column);
  Bstr reason;
  if (parseError->get_reason(reason.put()) == S_OK) error.reason = reason.str();
}

}  // namespace

void XmlDeleter::operator()(XmlDocumentImpl* document) const noexcept {
  delete document;
}
void XmlDeleter::operator()(XmlNodeImpl* node) const noexcept {
  delete node;
}

XmlDocument loadXmlDocument(const std::u16string& path, XmlLoadError& error) {
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

  ComPtr<IStream> stream = fileStream(path);
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
  return XmlDocument(new XmlDocumentImpl{std::move(document)});
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
      nodes.emplace_back(new XmlNodeImpl{std::move(node)});
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

long nodeLine(const XmlNode&) {
  // The DOM keeps no line numbers for its nodes.
  return 0;
}

XmlPosition nodePosition(const XmlDocument&, const XmlNode&) {
  return {};
}

XmlPosition attributePosition(const XmlDocument&, const XmlNode&, const std::u16string&) {
  return {};
}

XmlNode documentElement(const XmlDocument& document) {
  ComPtr<IXMLDOMElement> root;
  if (document->document->get_documentElement(root.put()) != S_OK || root.get() == nullptr) {
    return nullptr;
  }
  ComPtr<IXMLDOMNode> node;
  if (root->QueryInterface(IID_IXMLDOMNode, reinterpret_cast<void**>(node.put())) != S_OK) {
    return nullptr;
  }
  return XmlNode(new XmlNodeImpl{std::move(node)});
}

std::vector<XmlNode> childElements(const XmlNode& node) {
  std::vector<XmlNode> children;
  ComPtr<IXMLDOMNode> child;
  node->node->get_firstChild(child.put());
  while (child.get() != nullptr) {
    DOMNodeType type = NODE_INVALID;
    ComPtr<IXMLDOMNode> next;
    child->get_nextSibling(next.put());
    if (child->get_nodeType(&type) == S_OK && type == NODE_ELEMENT) {
      children.emplace_back(new XmlNodeImpl{std::move(child)});
    }
    child = std::move(next);
  }
  return children;
}

std::u16string nodeName(const XmlNode& node) {
  Bstr name;
  if (node->node->get_nodeName(name.put()) != S_OK) return {};
  return name.str();
}

std::vector<std::pair<std::u16string, std::u16string>> nodeAttributes(const XmlNode& node) {
  std::vector<std::pair<std::u16string, std::u16string>> result;
  ComPtr<IXMLDOMNamedNodeMap> attributes;
  long length = 0;
  if (node->node->get_attributes(attributes.put()) != S_OK || attributes.get() == nullptr ||
      attributes->get_length(&length) != S_OK) {
    return result;
  }
  for (long i = 0; i < length; ++i) {
    ComPtr<IXMLDOMNode> attribute;
    Bstr name;
    Bstr value;
    if (attributes->get_item(i, attribute.put()) == S_OK && attribute.get() != nullptr &&
        attribute->get_nodeName(name.put()) == S_OK && attribute->get_text(value.put()) == S_OK) {
      result.emplace_back(name.str(), value.str());
    }
  }
  return result;
}

std::optional<std::u16string> declaredEncoding(const XmlDocument&) {
  return std::nullopt;
}

}  // namespace platform
