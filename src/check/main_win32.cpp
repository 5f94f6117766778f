#include <iostream>

#include "check/check_tool.h"
#include "platform/startup.h"
#include "platform/wide.h"

int wmain(int argc, wchar_t** argv) {
  platform::hardenProcess();
  platform::initializeCom();
  std::vector<std::u16string> args;
  for (int i = 1; i < argc; ++i) args.push_back(platform::fromWide(argv[i]));
  std::string out;
  std::string err;
  const int status = check::runCheckTool(args, out, err);
  std::cout << out << std::flush;
  std::cerr << err << std::flush;
  return status;
}
