// The whole-file audit (--all) of a package folder whose config.xml is given
// as bytes that need not be on disk: an editor's unsaved buffer.
#pragma once

#include <string>
#include <string_view>

#include "check/package/audit.h"

namespace check::lsp {

// Audits every package of `folder` as if its config.xml held `configBytes`,
// the findings with their fixes (planned on those bytes), writing nothing in
// `folder`. The current directory is the same afterwards. COM must be
// initialised on this thread.
Audit auditBuffer(const std::u16string& folder, std::string_view configBytes);

}  // namespace check::lsp
