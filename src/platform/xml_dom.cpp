#include "platform/xml_dom.h"

#include "platform/files.h"

namespace platform {

XmlDocument loadXmlDocument(const std::u16string& path, XmlLoadError& error) {
  // Each DOM is handed the file's bytes, never its path: libxml2 would
  // decompress a gzip or xz file, and the Windows DOM would take the path for
  // a URL, decode "%41" in a folder name as "A" and cut it at a "#".
  auto bytes = readFileBytes(path);
  if (!bytes) {
    error.reason = u"the file cannot be read";
    return nullptr;
  }
  return loadXmlBytes(std::move(*bytes), error);
}

}  // namespace platform
