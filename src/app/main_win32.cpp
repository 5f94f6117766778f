// The tool takes no arguments, prints nothing and always exits with status 0.
#include "app/driver.h"
#include "platform/startup.h"

int wmain() {
  platform::hardenProcess();
  platform::initializeCom();
  runCustomization();
  return 0;
}
