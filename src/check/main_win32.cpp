#include "check/check_tool.h"
#include "platform/wide.h"

int wmain(int argc, wchar_t** argv) {
  std::vector<std::u16string> args;
  for (int i = 1; i < argc; ++i) args.push_back(platform::fromWide(argv[i]));
  return check::checkToolMain(args);
}
