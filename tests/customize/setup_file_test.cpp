// What the real tool cannot be made to do: an empty barPc (config.xml never
// delivers one) must not substitute the values. Every other run is a
// scenario of the real tool.
#include "customize/setup_file.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

using testing_support::Folder;
using testing_support::with;

const Folder kPackage{{"kvsetup_o.cif", "cif o: INSTALL.INF B8DF en-us\r\n"},
                      {"kv-setup_o.cmd", "cmd o: INSTALL.INF B8DF en-us\r\n"},
                      {"kvsetup.cif", "live: INSTALL.INF B8DF en-us\r\n"}};

TEST(EmptyBarPc, GivesTheInfNameOnly) {
  for (const auto& [cmdVariant, after] :
       {std::pair{0, with(kPackage, "kvsetup.cif", "cif o: INSTALL_TR01.INF B8DF en-us\r\n")},
        {1, with(with(kPackage, "kv-setup.cmd", "cmd o: INSTALL.INF B8DF en-us\r\n"), "kvsetup.cif",
                 "live: INSTALL_TR01.INF B8DF en-us\r\n")}}) {
    testing_support::TempDir dir;
    testing_support::writeFolder(dir.path(), kPackage);
    const testing_support::ScopedCurrentDir inPackage(dir.path());
    customizePackage(u"TR01", cmdVariant, 0, u"de-de", u"");
    EXPECT_EQ(testing_support::readFolder(dir.path()), after) << "cmd variant " << cmdVariant;
  }
}

}  // namespace
