// Entry point of the test programs: the process is set up as the tool sets
// itself up (COM on this thread), then every test runs.
#include <gtest/gtest.h>

#include "platform/startup.h"

int main(int argc, char** argv) {
  platform::initializeCom();
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
