#include "check/cli/check_tool.h"
#include "platform/codepage.h"

int main(int argc, char** argv) {
  return check::checkToolMain(platform::argumentsOf(argc, argv));
}
