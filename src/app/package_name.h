// Reads the package code and the script-variant flag from a launcher's file name.
#pragma once

#include <cstdint>
#include <string>

// The third "_"-separated field of `name` when it begins with "TR", else empty.
// With fewer separators, the rest of the name after its last "_" (or the whole
// name) is the candidate.
std::u16string parsePackageCode(std::u16string name);

// 1 when the last field of `name` (after its last "_", up to its last ".")
// holds an "l" or "L", else 0.
std::int32_t parseCmdVariant(std::u16string name);
