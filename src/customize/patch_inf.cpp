#include "customize/patch_inf.h"

#include <algorithm>

#include "platform/codepage.h"

namespace {

// New bytes held back before they are passed on all the same.
constexpr std::size_t kHoldLimit = 1024 * 1024;

// Passes `text` through the filters and appends its encoded bytes to `out`.
// A filter that has made its substitution holds nothing back and passes
// everything on unchanged, so it is skipped.
void passThrough(SetupPatch& patch, std::string_view text, std::string& out) {
  std::size_t next = 0;
  for (SubstitutionFilter& filter : patch.filters) {
    if (filter.found) continue;
    std::string& filtered = patch.filtered[next];
    next ^= 1;
    filtered.clear();
    filterSetupText(filter, text, filtered);
    text = filtered;
  }
  encodeSetupText(text, out);
}

bool allMade(const SetupPatch& patch) {
  return std::all_of(patch.filters.begin(), patch.filters.end(),
                     [](const SubstitutionFilter& filter) { return filter.found; });
}

}  // namespace

std::vector<Substitution> setupSubstitutions(const PatchRequest& request) {
  std::vector<Substitution> substitutions;
  if (request.cmdFile == SetupKind::Cif) {
    substitutions.push_back(
        {"INSTALL.INF", platform::toNarrow(platform::toWide("INSTALL_") + request.packageCode +
                                           platform::toWide(".INF"))});
  }
  if (request.substituteValues) {
    substitutions.push_back({"B8DF", platform::toNarrow(request.barPc)});
    substitutions.push_back({"en-us", platform::toNarrow(request.market)});
  }
  return substitutions;
}

SetupPatch startSetupPatch(const PatchRequest& request) {
  SetupPatch patch;
  for (Substitution& substitution : setupSubstitutions(request)) {
    patch.filters.emplace_back().substitution = std::move(substitution);
  }
  return patch;
}

std::optional<std::string_view> feedSetupPatch(SetupPatch& patch, std::string_view bytes) {
  std::string_view out;
  if (allMade(patch)) {
    // The rest of the file only has its line ends rewritten.
    out = recodeSetupBytes(patch.decoder, bytes, patch.out);
  } else {
    patch.text.clear();
    decodeSetupBytes(patch.decoder, bytes, patch.text);
    patch.out.clear();
    passThrough(patch, patch.text, patch.out);
    out = patch.out;
  }
  if (patch.decoder.cutShort) return std::nullopt;
  if (!patch.holding) return out;
  patch.held += out;
  if (!allMade(patch) && patch.held.size() < kHoldLimit) return std::string_view();
  patch.holding = false;
  patch.out.swap(patch.held);  // handed out now; the held bytes go
  patch.held.clear();
  return patch.out;
}

PatchedSetup finishSetupPatch(SetupPatch& patch, std::string& out) {
  PatchedSetup patched;
  if (patch.decoder.cutShort) {
    patched.outcome = PatchOutcome::CutShort;
    return patched;
  }
  if (patch.holding) out += patch.held;
  patch.text.clear();
  finishSetupDecode(patch.decoder, patch.text);
  passThrough(patch, patch.text, out);
  // Nothing else is left to pass on: a filter that has made its substitution
  // holds nothing back, and one that has not makes the patch fail.
  for (SubstitutionFilter& filter : patch.filters) {
    patched.applied.push_back({std::move(filter.substitution), filter.found, filter.line});
    if (!filter.found) {
      patched.outcome = PatchOutcome::TextMissing;
      break;
    }
  }
  return patched;
}

bool skipsFile(const PatchRequest& request) {
  return request.setupPath.empty() ||
         (request.cmdFile == SetupKind::Cif && request.packageCode.empty());
}

PatchedSetup patchWith(const PatchRequest& request,
                       const std::function<RewriteEnd(const ByteTransform&)>& write) {
  PatchedSetup patched;
  if (skipsFile(request)) {
    patched.outcome = PatchOutcome::Skipped;
    return patched;
  }
  SetupPatch patch = startSetupPatch(request);
  bool finished = false;
  const ByteTransform transform{
      .feed = [&patch](std::string_view piece) { return feedSetupPatch(patch, piece); },
      .finish =
          [&](std::string& out) {
            finished = true;
            patched = finishSetupPatch(patch, out);
            return patched.outcome == PatchOutcome::Rewritten;
          }};
  const RewriteEnd end = write(transform);
  if (end == RewriteEnd::NotRead) {
    patched.outcome = PatchOutcome::NotRead;
  } else if (!finished) {
    patched.outcome = PatchOutcome::CutShort;  // refused while read: bytes after a NUL or 0x1A
  } else if (end == RewriteEnd::NotWritten) {
    patched.outcome = PatchOutcome::NotWritten;
  }
  return patched;
}

PatchedSetup patchInf(const PackageFiles& files, const PatchRequest& request) {
  return patchWith(request, [&](const ByteTransform& transform) {
    return files.rewriteFile(request.setupPath, transform);
  });
}
