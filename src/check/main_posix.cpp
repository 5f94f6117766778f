#include "check/check_tool.h"
#include "platform/codepage.h"

int main(int argc, char** argv) {
  std::vector<std::u16string> args;
  for (int i = 1; i < argc; ++i) args.push_back(platform::toWide(argv[i]));
  return check::checkToolMain(args);
}
