#include "platform/startup.h"

#include <csignal>

#include <libxml/parser.h>

namespace platform {

void hardenProcess() {
  // A file size limit then fails the write, which the code handles, instead
  // of killing the process halfway through it.
  std::signal(SIGXFSZ, SIG_IGN);
}

// There is no COM here; the XML parser's process-wide state is set up instead.
void initializeCom() {
  xmlInitParser();
}

}  // namespace platform
