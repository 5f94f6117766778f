#include "app/launcher.h"

#include <unordered_set>

LauncherSearch findLauncher(std::uint32_t selfId, const platform::ProcessLookup& lookup) {
  LauncherSearch search;
  if (!lookup) return search;
  std::unordered_set<std::uint32_t> visited;
  for (std::uint32_t target = selfId;;) {
    if (!visited.insert(target).second) {
      search.end = WalkEnd::Loop;
      break;
    }
    const auto entry = lookup(target);
    if (!entry) {
      // Not running, or the parent has ended.
      search.end = search.name.empty() ? WalkEnd::NotListed : WalkEnd::ParentMissing;
      break;
    }
    search.name = entry->exeName;
    if (search.name.starts_with(kLauncherPrefix)) {
      search.end = WalkEnd::Launcher;
      break;
    }
    if (entry->parentId == 0) {
      search.end = WalkEnd::NoParent;
      break;
    }
    if (search.name == u"explorer.exe") {
      search.end = WalkEnd::Shell;
      break;
    }
    target = entry->parentId;
  }
  return search;
}

std::u16string findLauncherName(std::uint32_t selfId, const platform::ProcessLookup& lookup) {
  return findLauncher(selfId, lookup).name;
}

std::u16string findLauncherName() {
  return findLauncherName(platform::currentProcessId(), platform::snapshotProcesses());
}
