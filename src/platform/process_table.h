// The running processes, as needed to walk from this process to its ancestors.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace platform {

struct ProcessEntry {
  std::uint32_t parentId = 0;
  std::u16string exeName;  // the executable's file name, without its directory
};

// Looks a process up by its id; nullopt when there is no such process.
using ProcessLookup = std::function<std::optional<ProcessEntry>(std::uint32_t id)>;

// The id of this process.
std::uint32_t currentProcessId();

// A lookup over the processes running now; empty when they cannot be listed.
ProcessLookup snapshotProcesses();

}  // namespace platform
