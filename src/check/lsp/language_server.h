// pkgcustomize-check --lsp: the language server over standard input and output.
#pragma once

namespace check::lsp {

// Serves one client until it sends exit or goes away: 0 after a shutdown
// then exit, 1 otherwise. COM must be initialised on this thread.
int runLanguageServer();

}  // namespace check::lsp
