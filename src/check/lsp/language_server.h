// pkgcustomize-check --lsp: the language server over standard input and output.
#pragma once

#include <string>
#include <string_view>

#include "check/package/audit.h"

namespace check::lsp {

// The whole-file audit (--all) of `folder` as if its config.xml held
// `bytes`, an editor's buffer: what the server publishes.
Audit auditBuffer(const std::u16string& folder, std::string_view bytes);

// Serves one client until it sends exit or goes away: 0 after a shutdown
// then exit, 1 otherwise. COM must be initialised on this thread.
int runLanguageServer();

}  // namespace check::lsp
