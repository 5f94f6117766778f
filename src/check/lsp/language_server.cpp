#include "check/lsp/language_server.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "check/lsp/framing.h"
#include "check/lsp/session.h"
#include "check/package/audit.h"
#include "platform/standard_io.h"

namespace check::lsp {

namespace {

using Clock = std::chrono::steady_clock;

// A burst of changes is checked once: after this long without a message...
constexpr auto kQuiet = std::chrono::milliseconds(150);
// ...or at the latest this long after its first change.
constexpr auto kLongest = std::chrono::milliseconds(1000);

// What the reading thread hands over.
struct Inbox {
  std::mutex mutex;
  std::condition_variable arrived;
  std::deque<std::string> chunks;
  bool closed = false;
};

void readInput(Inbox& inbox) {
  std::array<char, 65536> buffer{};
  for (;;) {
    const std::size_t n = platform::readStandardInput(buffer);
    const std::lock_guard lock(inbox.mutex);
    if (n == 0) {
      inbox.closed = true;
      inbox.arrived.notify_one();
      return;
    }
    inbox.chunks.emplace_back(buffer.data(), n);
    inbox.arrived.notify_one();
  }
}

// Takes what the reading thread has into `chunks`, waiting for it, while a
// change waits for its check no longer than a quiet spell; true once the
// input has ended.
bool take(Inbox& inbox, bool pending, std::deque<std::string>& chunks) {
  std::unique_lock lock(inbox.mutex);
  const auto ready = [&inbox] { return !inbox.chunks.empty() || inbox.closed; };
  if (pending) {
    inbox.arrived.wait_for(lock, kQuiet, ready);
  } else {
    inbox.arrived.wait(lock, ready);
  }
  chunks.swap(inbox.chunks);
  return inbox.closed;
}

bool send(const std::vector<Json>& messages) {
  std::string bytes;
  for (const Json& m : messages) bytes += frame(m);
  return bytes.empty() || platform::writeStandardOutputBytes(bytes);
}

std::vector<Json> timedChecks(Session& session) {
  const auto start = Clock::now();
  const std::size_t before = session.checks;
  std::vector<Json> out = checkPending(session);
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  std::fprintf(stderr, "pkgcustomize-check: %zu check(s) in %lld ms\n", session.checks - before,
               static_cast<long long>(ms));
  std::fflush(stderr);
  return out;
}

}  // namespace

Audit auditBuffer(const std::u16string& folder, std::string_view bytes) {
  return auditFolder(folder, std::string(bytes));
}

int runLanguageServer() {
  // The reading thread lives as long as the process: a read cannot be
  // interrupted portably, and the server ends when the client does.
  static Inbox inbox;
  std::thread(readInput, std::ref(inbox)).detach();
  Session session;
  session.auditor = auditBuffer;
  FrameReader reader;
  bool pending = false;  // a change waits for its check
  Clock::time_point pendingSince{};
  for (;;) {
    std::deque<std::string> chunks;
    const bool closed = take(inbox, pending, chunks);
    for (const std::string& chunk : chunks) {
      for (const Frame& f : readFrames(reader, chunk)) {
        const std::vector<Json> out =
            f.error.empty() ? handleMessage(session, f.message) : std::vector{parseError(f.error)};
        if (!send(out)) return 1;
        if (session.exited) return session.shutdown ? 0 : 1;
      }
    }
    if (!hasPending(session)) {
      pending = false;
    } else if (!pending) {
      pending = true;
      pendingSince = Clock::now();
    }
    if (closed && chunks.empty()) return 1;
    // A document just opened is checked at once: there is no burst to wait for.
    const bool opened =
        std::any_of(session.documents.begin(), session.documents.end(),
                    [](const auto& entry) { return entry.second.checkedVersion < 0; });
    const bool quiet = chunks.empty() || opened;
    if (pending && (quiet || Clock::now() - pendingSince >= kLongest)) {
      if (!send(timedChecks(session))) return 1;
      pending = false;
    }
  }
}

}  // namespace check::lsp
