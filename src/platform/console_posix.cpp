// Standard output and error take the bytes as they are.
#include "platform/console.h"

#include <unistd.h>

#include <cerrno>

namespace platform {

namespace {

void writeAll(int descriptor, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

}  // namespace

void writeStandardOutput(std::string_view utf8) {
  writeAll(STDOUT_FILENO, utf8);
}

void writeStandardError(std::string_view utf8) {
  writeAll(STDERR_FILENO, utf8);
}

}  // namespace platform
