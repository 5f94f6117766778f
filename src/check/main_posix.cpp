#include <iostream>

#include "check/check_tool.h"
#include "platform/codepage.h"
#include "platform/startup.h"

int main(int argc, char** argv) {
  platform::initializeCom();
  std::vector<std::u16string> args;
  for (int i = 1; i < argc; ++i) args.push_back(platform::toWide(argv[i]));
  std::string out;
  std::string err;
  const int status = check::runCheckTool(args, out, err);
  std::cout << out << std::flush;
  std::cerr << err << std::flush;
  return status;
}
