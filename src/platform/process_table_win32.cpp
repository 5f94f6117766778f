// Processes come from one Toolhelp snapshot, read once and indexed by id.
#include "platform/process_table.h"

#include <windows.h>
// Needs the types of windows.h.
#include <tlhelp32.h>

#include <memory>
#include <unordered_map>

#include "platform/wide.h"

namespace platform {

namespace {

// The snapshot record of each ABI: its one pointer-sized field and the
// padding that comes with it make it 556 bytes on x86 and 568 on x64.
static_assert(sizeof(PROCESSENTRY32W) == (sizeof(void*) == 8 ? 568 : 556),
              "PROCESSENTRY32W does not have the size of this ABI's record");

struct SnapshotCloser {
  void operator()(HANDLE snapshot) const noexcept { CloseHandle(snapshot); }
};
using Snapshot = std::unique_ptr<void, SnapshotCloser>;

}  // namespace

std::uint32_t currentProcessId() {
  return GetCurrentProcessId();
}

ProcessLookup snapshotProcesses() {
  const HANDLE handle = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (handle == INVALID_HANDLE_VALUE) return {};
  const Snapshot snapshot(handle);

  PROCESSENTRY32W entry;
  entry.dwSize = sizeof(entry);
  if (!Process32FirstW(handle, &entry)) return {};
  auto table = std::make_shared<std::unordered_map<std::uint32_t, ProcessEntry>>();
  do {
    entry.szExeFile[MAX_PATH - 1] = L'\0';
    // The first entry for an id is the one a scan from the start would find.
    table->try_emplace(entry.th32ProcessID,
                       ProcessEntry{entry.th32ParentProcessID, fromWide(entry.szExeFile)});
    entry.dwSize = sizeof(entry);
  } while (Process32NextW(handle, &entry));

  return [table](std::uint32_t id) -> std::optional<ProcessEntry> {
    const auto found = table->find(id);
    if (found == table->end()) return std::nullopt;
    return found->second;
  };
}

}  // namespace platform
