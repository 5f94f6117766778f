#include "check/cli/check_tool.h"
#include "platform/wide.h"

int wmain(int argc, wchar_t** argv) {
  return check::checkToolMain(platform::argumentsOf(argc, argv));
}
