#include "app/package_name.h"

#include <gtest/gtest.h>

#include "row_names.h"

namespace {

struct NameCase {
  std::u16string name;
  std::u16string packageCode;
  SetupKind cmdVariant;
};

using enum SetupKind;

const NameCase kNameCases[] = {
    {u"TRKVpack_v2_TR0107_xl.exe", u"TR0107", Cmd},
    {u"TRKVpack_v2_TR0107_x.exe", u"TR0107", Cif},
    {u"TRKVpack_v2_TR0107_L.exe", u"TR0107", Cmd},
    {u"TRKVpack_v2_tr0107_l.exe", u"", Cmd},  // the prefix is case-sensitive
    {u"TRKVpack_v2_Tr0107_x.exe", u"", Cif},
    {u"TRKVpack_a_b_TR0107_l.exe", u"", Cmd},  // the code is the third field, "b"
    {u"TRKVpack_v2_TR0107_x_l.exe", u"TR0107", Cmd},
    {u"TRKVpack_v2_TR01_TR02_x.exe", u"TR01", Cif},  // later TR fields do not count
    {u"TRKVpack_TR0107.exe", u"TR0107.exe", Cif},    // one separator keeps the extension
    {u"TRKVpack.exe", u"TRKVpack.exe", Cif},         // no separator: the whole name
    {u"TRKVplus.exe", u"TRKVplus.exe", Cmd},
    {u"TRKVpack_v2_TR0107_full", u"TR0107", Cmd},  // no "." after the last "_"
    {u"TRKVpack_v2.1_TR0107_x", u"TR0107", Cif},   // the last "." lies before the last "_"
    {u"TRKVpack_v2_TR0107_x.y.exe", u"TR0107", Cif},
    {u"TRKVpack_v2_TR0107_x.lnk", u"TR0107", Cif},  // letters after the last "." do not count
    {u"TRKVpack_v2_TR0107_x.y.L", u"TR0107", Cif},
    {u"TRKVpack_v2_TR0107_.exe", u"TR0107", Cif},
    {u"TRKVpack__TR0107_l.exe", u"TR0107", Cmd},
    {u"TRKVpack_v2__l.exe", u"", Cmd},
    {u"TRKVpack_v2_T_x.exe", u"", Cif},
    {u"TRKVpack_v2_TR_.exe", u"TR", Cif},
    {u"explorer.exe", u"", Cmd},
    {u"", u"", Cif},
    {u"TRKV", u"TRKV", Cif},
};

class PackageName : public testing::TestWithParam<NameCase> {};

TEST_P(PackageName, GivesCodeAndFlag) {
  const NameCase& c = GetParam();
  EXPECT_EQ(parsePackageCode(c.name), c.packageCode);
  EXPECT_EQ(parseCmdVariant(c.name), c.cmdVariant);
}

// Each row is named after its launcher name.
std::string nameOf(const testing::TestParamInfo<NameCase>& info) {
  const std::u16string& name = info.param.name;
  return name.empty() ? "EmptyName"
                      : testing_support::rowName(std::string(name.begin(), name.end()));
}

INSTANTIATE_TEST_SUITE_P(WorkedExamples, PackageName, testing::ValuesIn(kNameCases), nameOf);

}  // namespace
