// Finds the launcher's file name among this process and its ancestors.
#pragma once

#include <cstdint>
#include <string>

#include "platform/process_table.h"

// A launcher's file name begins with this prefix, in exactly this case.
inline constexpr char16_t kLauncherPrefix[] = u"TRKV";

// Why the walk up the process tree stopped.
enum class WalkEnd {
  Launcher,       // at a name that begins with "TRKV"
  Shell,          // at "explorer.exe", the desktop shell
  NoParent,       // at a process whose parent id is 0
  ParentMissing,  // the next parent is not running (or not listed)
  Loop,           // the next parent was visited already (a reused id)
  NotListed,      // the processes cannot be listed, or this process is not among them
};

// Where the walk stopped, and the name it returns.
struct LauncherSearch {
  std::u16string name;  // the last name visited; empty when none was
  WalkEnd end = WalkEnd::NotListed;
};

// Walks from process `selfId` up through its parents and stops at the first
// file name that begins with "TRKV", at "explorer.exe", at a parent id of 0,
// at a process missing from `lookup` and at a process it has already visited.
LauncherSearch findLauncher(std::uint32_t selfId, const platform::ProcessLookup& lookup);

// The name that walk returns: the launcher's, or the last name it saw.
std::u16string findLauncherName(std::uint32_t selfId, const platform::ProcessLookup& lookup);

// The same walk from this process over the running processes; empty when they
// cannot be listed.
std::u16string findLauncherName();
