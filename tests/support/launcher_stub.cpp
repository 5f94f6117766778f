// Stands in for a package's launcher: started as "stub PROGRAM [ARGS...]", it
// runs PROGRAM in the current directory, waits for it and exits with its
// status. Copied under a launcher's name ("TRKV..._x.exe") it is the process
// the tool must find; under another name it is an intermediate process.
#include <filesystem>
#include <vector>

#include "test_support.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  return testing_support::runProcess({argv + 1, argv + argc}, std::filesystem::current_path());
}
