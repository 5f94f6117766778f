// A diagnosis as text for people, or as JSON for scripts.
#pragma once

#include <string>

#include "check/diagnosis.h"

namespace check {

// Step by step, ending in one "verdict:" line; with `withDiff` followed by the
// unified diff of every live file that would change.
std::string textReport(const Diagnosis& diagnosis, bool withDiff);

// One JSON object (ASCII, non-ASCII escaped); with `withDiff` each change
// carries its unified diff.
std::string jsonReport(const Diagnosis& diagnosis, bool withDiff);

}  // namespace check
