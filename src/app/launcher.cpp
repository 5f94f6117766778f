#include "app/launcher.h"

#include <unordered_set>

std::u16string findLauncherName(std::uint32_t selfId, const platform::ProcessLookup& lookup) {
  std::u16string name;
  std::unordered_set<std::uint32_t> visited;
  for (std::uint32_t target = selfId; visited.insert(target).second;) {
    const auto entry = lookup(target);
    if (!entry) break;  // not running, or the parent has ended
    name = entry->exeName;
    if (name.starts_with(u"TRKV") || entry->parentId == 0 || name == u"explorer.exe") break;
    target = entry->parentId;
  }
  return name;
}

std::u16string findLauncherName() {
  const platform::ProcessLookup lookup = platform::snapshotProcesses();
  if (!lookup) return {};
  return findLauncherName(platform::currentProcessId(), lookup);
}
