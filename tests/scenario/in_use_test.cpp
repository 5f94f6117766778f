// The run and the check's --fix meet a file that another program holds open,
// as a scanner or an indexer does for a moment. On Windows a handle without
// FILE_SHARE_DELETE refuses the replacement and one without FILE_SHARE_READ
// the reading: a hold of up to about a second is waited out, a longer one
// leaves the folder as it was, nothing of ours behind, promptly. Elsewhere an
// open file refuses nothing, and every row customises.
#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <optional>
#include <thread>

#include "row_names.h"

#include "package_folder.h"
#include "platform/files.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace scenario;
using testing_support::ProcessOutput;
using testing_support::TempDir;

#ifdef _WIN32
constexpr bool kShareModes = true;
#else
constexpr bool kShareModes = false;
#endif

constexpr int kForGood = 120000;  // longer than any run: let go only when the run is over

// The longest a run may wait for one held file.
constexpr auto kWaitBound = [] {
  int total = 0;
  for (const int wait : platform::kInUseWaitsMs) total += wait;
  return std::chrono::milliseconds(total);
}();

struct HeldFile {
  const char* what;
  bool check;           // pkgcustomize-check --fix rather than the run
  const char* file;     // the file held
  const char* share;    // what the holder shares: r, w, d, or - for nothing
  int holdMs;           // from the moment the program starts
  bool refusedForGood;  // with share modes: the folder stays as it was
};

const HeldFile kHeldFiles[] = {
    {"live file held 50 ms", false, "kvsetup.cif", "r", 50, false},
    {"live file held 300 ms", false, "kvsetup.cif", "r", 300, false},
    {"live file held 900 ms", false, "kvsetup.cif", "r", 900, false},
    {"live file held for good", false, "kvsetup.cif", "r", kForGood, true},
    {"live file held sharing deletion", false, "kvsetup.cif", "rwd", kForGood, false},
    {"variant held unshared 300 ms", false, "kvsetup_o.cif", "-", 300, false},
    {"variant held unshared for good", false, "kvsetup_o.cif", "-", kForGood, true},
    {"config held 300 ms for fix", true, "config.xml", "r", 300, false},
    {"config held for good for fix", true, "config.xml", "r", kForGood, true},
};

// How long the run (or --fix) takes on `folder` when nothing holds a file,
// measured once per program and kept.
std::chrono::milliseconds unheldRun(bool check, const Folder& folder) {
  static std::optional<std::chrono::milliseconds> times[2];
  auto& time = times[check ? 1 : 0];
  if (!time) {
    TempDir stubs;
    TempDir package;
    writeFolder(package.path(), folder);
    const auto start = std::chrono::steady_clock::now();
    if (check) {
      testing_support::runCaptured(
          {testing_support::builtProgram("pkgcustomize-check"), "--all", "--fix", package.path()},
          package.path());
    } else {
      testing_support::runCaptured(launchCommand(stubs.path(), kO, false), package.path());
    }
    time = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start);
  }
  return *time;
}

class HeldFileRun : public testing::TestWithParam<HeldFile> {};

TEST_P(HeldFileRun, IsWaitedForBriefly) {
  const HeldFile& h = GetParam();
  TempDir stubs;
  TempDir package;
  const Folder before = h.check ? testing_support::readFolder(fs::path(PKGCUSTOMIZE_SOURCE_DIR) /
                                                              "examples" / "common-mistakes")
                                : samplePackage();
  writeFolder(package.path(), before);
  const fs::path marker = stubs / "held";
  const std::string program =
      std::string(h.check ? "pkgcustomize-check" : "pkgcustomize") + testing_support::kExeSuffix;
  int holderStatus = -1;
  std::thread holder([&] {
    holderStatus =
        testing_support::runProcess({testing_support::builtProgram("hold_file"), package / h.file,
                                     h.share, std::to_string(h.holdMs), marker, program},
                                    stubs.path(), stubs / "holder.log");
  });
  const auto waited = std::chrono::steady_clock::now();
  while (!fs::exists(marker) &&
         std::chrono::steady_clock::now() - waited < std::chrono::seconds(60)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  const bool held = fs::exists(marker);

  const auto start = std::chrono::steady_clock::now();
  const ProcessOutput run =
      h.check
          ? testing_support::runCaptured({testing_support::builtProgram("pkgcustomize-check"),
                                          "--all", "--fix", package.path()},
                                         package.path())
          : testing_support::runCaptured(launchCommand(stubs.path(), kO, false), package.path());
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start);
  fs::remove(marker);
  holder.join();
  ASSERT_TRUE(held) << "the holder did not open " << h.file;
  EXPECT_EQ(holderStatus, 0);
  std::cout << "[ held     ] " << h.what << ": " << took.count() << " ms\n";
  RecordProperty("milliseconds", static_cast<int>(took.count()));

  const Folder after = testing_support::readFolder(package.path());
  const bool refused = kShareModes && h.refusedForGood;
  if (h.check) {
    EXPECT_EQ(after.at("config.xml") == before.at("config.xml"), refused) << run.output;
    EXPECT_EQ(run.output.find("config.xml is in use by another program") != std::string::npos,
              refused)
        << run.output;
  } else {
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(after, refused ? before : with(before, "kvsetup.cif", kCifOPatched));
  }
  // Nothing of ours, nor of the system's, is left beside the files.
  for (const auto& [name, bytes] : after) {
    EXPECT_TRUE(before.contains(name)) << name;
  }
  // Against the same program on a folder that nothing holds: at most two
  // waits in full (a variant is opened twice), with room for a busy machine.
  // Not for x86, which runs emulated here: a process start there varies by
  // seconds, far more than the waits.
  if (refused && sizeof(void*) == 8) {
    const auto unheld = unheldRun(h.check, before);
    EXPECT_LT(took, unheld * 3 / 2 + 2 * kWaitBound + std::chrono::seconds(2))
        << "unheld: " << unheld.count() << " ms";
  }
}

INSTANTIATE_TEST_SUITE_P(Holds, HeldFileRun, testing::ValuesIn(kHeldFiles),
                         testing_support::ByWhat());

}  // namespace
