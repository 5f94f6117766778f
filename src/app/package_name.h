// Reads the package code and the kind of setup file from a launcher's file name.
#pragma once

#include <string>

#include "customize/setup_kind.h"

// The third "_"-separated field of `name` when it begins with "TR", else empty.
// With fewer separators, the rest of the name after its last "_" (or the whole
// name) is the candidate.
std::u16string parsePackageCode(std::u16string name);

// The .cmd kind when the last field of `name` (after its last "_", up to its
// last ".") holds an "l" or "L", else the .cif kind.
SetupKind parseCmdVariant(std::u16string name);
