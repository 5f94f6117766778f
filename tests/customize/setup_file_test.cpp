#include "customize/setup_file.h"

#include <gtest/gtest.h>

#include "customize/setup_text.h"
#include "test_support.h"

namespace {

using testing_support::Folder;
using testing_support::ScopedCurrentDir;
using testing_support::TempDir;
using testing_support::with;
using testing_support::without;

const std::string kCifO = "cif o: INSTALL.INF B8DF en-us\r\n";
const std::string kCifE = "cif e: INSTALL.INF B8DF en-us\r\n";
const std::string kCmdO = "cmd o: INSTALL.INF B8DF en-us\r\n";
const std::string kCmdE = "cmd e: INSTALL.INF B8DF en-us\r\n";
const std::string kLiveCif = "live: INSTALL.INF B8DF en-us\r\n";

const Folder kPackage{{"kvsetup_o.cif", kCifO},
                      {"kvsetup_e.cif", kCifE},
                      {"kv-setup_o.cmd", kCmdO},
                      {"kv-setup_e.cmd", kCmdE},
                      {"kvsetup.cif", kLiveCif}};

struct RunCase {
  const char* what;
  std::int32_t cmdVariant;
  std::int32_t useEVariant;
  std::u16string barPc;
  Folder before;
  Folder after;
  bool throws;
};

const RunCase kRunCases[] = {
    {"cif, o, barPc", 0, 0, u"1A2B", kPackage,
     with(kPackage, "kvsetup.cif", "cif o: INSTALL_TR01.INF 1A2B de-de\r\n"), false},
    {"cif, o, no barPc", 0, 0, u"", kPackage,
     with(kPackage, "kvsetup.cif", "cif o: INSTALL_TR01.INF B8DF en-us\r\n"), false},
    {"cif, e", 0, 1, u"1A2B", kPackage,
     with(kPackage, "kvsetup.cif", "cif e: INSTALL_TR01.INF B8DF en-us\r\n"), false},
    {"cmd, o, barPc", 1, 0, u"1A2B", kPackage,
     with(with(kPackage, "kv-setup.cmd", "cmd o: INSTALL.INF 1A2B de-de\r\n"), "kvsetup.cif",
          "live: INSTALL_TR01.INF B8DF en-us\r\n"),
     false},
    {"cmd, o, no barPc", 1, 0, u"", kPackage,
     with(with(kPackage, "kv-setup.cmd", kCmdO), "kvsetup.cif",
          "live: INSTALL_TR01.INF B8DF en-us\r\n"),
     false},
    {"cmd, e", 1, 1, u"1A2B", kPackage,
     with(with(kPackage, "kv-setup.cmd", kCmdE), "kvsetup.cif",
          "live: INSTALL_TR01.INF B8DF en-us\r\n"),
     false},
    {"missing variant: nothing at all", 1, 1, u"1A2B", without(kPackage, "kv-setup_e.cmd"),
     without(kPackage, "kv-setup_e.cmd"), false},
    {"cmd without a live cif still gets its values", 1, 0, u"1A2B",
     without(kPackage, "kvsetup.cif"),
     with(without(kPackage, "kvsetup.cif"), "kv-setup.cmd", "cmd o: INSTALL.INF 1A2B de-de\r\n"),
     false},
    {"cmd after an earlier run still gets its values", 1, 0, u"1A2B",
     with(kPackage, "kvsetup.cif", "live: INSTALL_TR01.INF\r\n"),
     with(with(kPackage, "kvsetup.cif", "live: INSTALL_TR01.INF\r\n"), "kv-setup.cmd",
          "cmd o: INSTALL.INF 1A2B de-de\r\n"),
     false},
    {"e cmd after an earlier run: the copy stays unpatched", 1, 1, u"1A2B",
     with(kPackage, "kvsetup.cif", "live: INSTALL_TR01.INF\r\n"),
     with(with(kPackage, "kvsetup.cif", "live: INSTALL_TR01.INF\r\n"), "kv-setup.cmd", kCmdE),
     true},
};

class CustomizePackage : public testing::TestWithParam<RunCase> {};

TEST_P(CustomizePackage, CopiesThenPatches) {
  const RunCase& c = GetParam();
  TempDir dir;
  testing_support::writeFolder(dir.path(), c.before);
  const ScopedCurrentDir inPackage(dir.path());

  bool threw = false;
  try {
    customizePackage(u"TR01", c.cmdVariant, c.useEVariant, u"de-de", c.barPc);
  } catch (const MissingTextError&) {
    threw = true;
  }
  EXPECT_EQ(threw, c.throws) << c.what;
  EXPECT_EQ(testing_support::readFolder(dir.path()), c.after) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Rows, CustomizePackage, testing::ValuesIn(kRunCases));

}  // namespace
