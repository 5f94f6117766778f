// Suppressions: a maintainer's "this finding is meant", written in config.xml
// as a comment just before the element it is about,
//   <!-- pkgcustomize-check: ignore RULE[, RULE...] -->
// or before the document element, for the whole file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "check/lint/finding.h"

namespace check {

// One suppression comment.
struct Suppression {
  std::vector<std::u16string> rules;  // the rule names as written
  Position position;                  // the comment's "<!--"
  bool wholeFile = false;             // before the document element
  Position from;                      // the element's "<", and the place after its end
  Position to;
};

// The suppression comments of config.xml, whose bytes are `bytes`, in file
// order; none when the bytes cannot be decoded.
std::vector<Suppression> findSuppressions(std::string_view bytes);

// Takes out of `findings` those a suppression keeps out (a finding of one of
// its rules about config.xml within its element), and returns them, in their order. With
// `reportUnused`, adds an unused-suppression finding for each rule a suppression names that keeps
// nothing out: only a check of every package and both kinds of launcher can
// tell that.
std::vector<Finding> applySuppressions(std::vector<Finding>& findings,
                                       const std::vector<Suppression>& suppressions,
                                       bool reportUnused);

}  // namespace check
