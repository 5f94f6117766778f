// Finds the launcher's file name among this process and its ancestors.
#pragma once

#include <cstdint>
#include <string>

#include "platform/process_table.h"

// Walks from process `selfId` up through its parents and returns the first
// file name that begins with "TRKV". The walk also stops at "explorer.exe", at
// a parent id of 0, at a process missing from `lookup` and at a process it has
// already visited; it then returns the last name it saw (empty when `selfId`
// itself is missing).
std::u16string findLauncherName(std::uint32_t selfId, const platform::ProcessLookup& lookup);

// The same walk from this process over the running processes; empty when they
// cannot be listed.
std::u16string findLauncherName();
