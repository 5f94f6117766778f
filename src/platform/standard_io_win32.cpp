#include <windows.h>

#include <algorithm>

#include "platform/standard_io.h"

namespace platform {

// The handles themselves, not the C runtime's streams: no text mode turns an
// LF into CR LF on the way.
std::size_t readStandardInput(std::span<char> buffer) {
  DWORD read = 0;
  const DWORD size = static_cast<DWORD>(std::min<std::size_t>(buffer.size(), 1 << 20));
  if (!ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer.data(), size, &read, nullptr)) return 0;
  return read;
}

bool writeStandardOutputBytes(std::string_view bytes) {
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  while (!bytes.empty()) {
    DWORD written = 0;
    const DWORD size = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1 << 20));
    if (!WriteFile(out, bytes.data(), size, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

}  // namespace platform
