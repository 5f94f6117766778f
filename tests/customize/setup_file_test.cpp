// Putting a variant in place: the copy and the patch of the copy are one
// replacement of the live file, on the real files and in a dry run alike.
#include "customize/setup_file.h"

#include <gtest/gtest.h>

#include <optional>

#include "customize/dry_run_folder.h"
#include "package_folder.h"
#include "row_names.h"
#include "test_support.h"

namespace {

using namespace scenario;
using namespace std::string_literals;
using testing_support::ScopedCurrentDir;
using testing_support::TempDir;

const Folder kPackage = samplePackage();
const std::string kCifO = kPackage.at("kvsetup_o.cif");
const std::string kCmdO = kPackage.at("kv-setup_o.cmd");
const std::string kCmdOPatched =
    "@echo off\r\nset BAR=1A2B\r\nset MARKET=de-de\r\nsetup /i INSTALL.INF\r\n";

// Lines enough for many pieces after the last substitution.
const std::string kRest = [] {
  std::string lines;
  while (lines.size() < 300000) lines += "Key=a line of a long setup file\r\n";
  return lines;
}();

Folder withVariant(const std::string& bytes) {
  return with(kPackage, "kvsetup_o.cif", bytes);
}

struct CopyCase {
  const char* what;
  Folder before;
  SetupKind cmdVariant;
  std::string liveAfter;  // empty: the live file is as it was
  std::optional<PatchOutcome> patched;
  std::vector<std::string> readOnly = {};
};

using enum SetupKind;
using enum Variant;

const CopyCase kCopyCases[] = {
    {"the cif variant, patched as copied", kPackage, Cif, kCifOPatched, PatchOutcome::Rewritten},
    {"the cmd variant, patched as copied", kPackage, Cmd, kCmdOPatched, PatchOutcome::Rewritten},
    {"a variant lacking a text is copied as it is", withVariant("Inf=INSTALL.INF\r\nB8DF\r\n"), Cif,
     "Inf=INSTALL.INF\r\nB8DF\r\n", PatchOutcome::TextMissing},
    {"a NUL far into the rest leaves the copy as it is",
     withVariant(kCifO + kRest + "\0x"s + kRest), Cif, kCifO + kRest + "\0x"s + kRest,
     PatchOutcome::CutShort},
    {"a long rest that passes unchanged", withVariant(kCifO + kRest), Cif, kCifOPatched + kRest,
     PatchOutcome::Rewritten},
    {"a bare LF and a lone CR far into the rest",
     withVariant(kCifO + kRest + "a\nb\r" + kRest + "\r"), Cif,
     kCifOPatched + kRest + "a\r\nb\r" + kRest + "\r", PatchOutcome::Rewritten},
    {"a long rest that ends in a 0x1A, which goes", withVariant(kCifO + kRest + "\x1a"), Cif,
     kCifOPatched + kRest, PatchOutcome::Rewritten},
    {"a new live file from a read-only variant stays as copied",
     without(kPackage, "kvsetup.cif"),
     Cif,
     kCifO,
     PatchOutcome::NotWritten,
     {"kvsetup_o.cif"}},
    {"a read-only live file is not copied over", kPackage, Cif, "", std::nullopt, {"kvsetup.cif"}},
    {"a missing variant is not copied", without(kPackage, "kv-setup_o.cmd"), Cmd, "", std::nullopt},
};

// The run's patch of the copied file: the INF name and the values for a .cif
// file, the values for a .cmd script.
PatchRequest patchOfCopy(SetupKind cmdVariant) {
  PatchRequest request{.setupPath = cmdVariant == Cif ? kCifName : kCmdName,
                       .cmdFile = cmdVariant,
                       .market = u"de-de",
                       .substituteValues = true,
                       .barPc = u"1A2B"};
  if (cmdVariant == Cif) request.packageCode = u"TR0107";
  return request;
}

class SelectSetupFile : public testing::TestWithParam<CopyCase> {
 protected:
  // The folder after the copy through `files`, and how the copy came out.
  void expectCopy(const PackageFiles& files, const std::function<Folder()>& folderAfter,
                  const char* where) {
    const CopyCase& c = GetParam();
    const PatchRequest request = patchOfCopy(c.cmdVariant);
    const SelectedSetup selected =
        selectSetupFile(files, c.cmdVariant, O, kCifName, kCmdName, &request);
    files.flush();
    const std::string live = c.cmdVariant == Cif ? "kvsetup.cif" : "kv-setup.cmd";
    const Folder expected = c.liveAfter.empty() ? c.before : with(c.before, live, c.liveAfter);
    EXPECT_EQ(selected.copied, !c.liveAfter.empty()) << where;
    EXPECT_EQ(selected.patched ? std::optional(selected.patched->outcome) : std::nullopt, c.patched)
        << where;
    EXPECT_TRUE(folderAfter() == expected) << where;  // nothing else is left behind
  }
};

TEST_P(SelectSetupFile, ReplacesTheLiveFileOnceAsADryRunPredicts) {
  const CopyCase& c = GetParam();
  TempDir dir;
  writeFolder(dir.path(), c.before, c.readOnly);
  const ScopedCurrentDir inside(dir.path());
  DiskFiles disk;
  DryRunFolder folder{.disk = &disk, .written = {}};
  expectCopy(
      dryRunFiles(folder),
      [&] {
        Folder after = c.before;
        for (const auto& [name, file] : folder.written) {
          after[std::string(name.begin(), name.end())] = file.bytes.value_or("");
        }
        return after;
      },
      "dry run");
  expectCopy(
      realPackageFiles(), [&] { return readFolder(dir.path()); }, "real files");
}

INSTANTIATE_TEST_SUITE_P(Variants, SelectSetupFile, testing::ValuesIn(kCopyCases),
                         testing_support::ByWhat());

// The file operations a customisation makes: each live file is replaced
// once, the copied one with its own patch, and the folder flushed once at
// the end; the patches are reported in the order in which the run asks for them.
struct RunCase {
  const char* what;
  SetupKind cmdVariant;
  Variant useEVariant;
  std::u16string barPc;
  std::vector<std::string> operations;
  std::vector<std::u16string> patched;
};

// clang-format off
const RunCase kRunCases[] = {
    {"cif, o variant", Cif, O, u"1A2B",
     {"remove leftovers", "copy kvsetup_o.cif to kvsetup.cif, patched", "flush"}, {kCifName}},
    {"cif, e variant", Cif, E, u"1A2B",
     {"remove leftovers", "copy kvsetup_e.cif to kvsetup.cif, patched", "flush"}, {kCifName}},
    {"cmd, o variant", Cmd, O, u"1A2B",
     {"remove leftovers", "copy kv-setup_o.cmd to kv-setup.cmd, patched", "rewrite kvsetup.cif",
      "flush"}, {kCifName, kCmdName}},
    {"cmd, o variant without a barPc", Cmd, O, u"",
     {"remove leftovers", "copy kv-setup_o.cmd to kv-setup.cmd", "rewrite kvsetup.cif", "flush"},
     {kCifName}},
    {"cmd, e variant", Cmd, E, u"1A2B",
     {"remove leftovers", "copy kv-setup_e.cmd to kv-setup.cmd", "rewrite kvsetup.cif", "flush"},
     {kCifName}},
};
// clang-format on

std::string narrow(const std::u16string& text) {
  return std::string(text.begin(), text.end());
}

// `files` with each operation written to `log`.
PackageFiles logged(const PackageFiles& files, std::vector<std::string>& log) {
  return {
      .removeLeftovers =
          [&] {
            log.push_back("remove leftovers");
            files.removeLeftovers();
          },
      .copyFile =
          [&](const std::u16string& from, const std::u16string& to,
              const ByteTransform* transform) {
            log.push_back("copy " + narrow(from) + " to " + narrow(to) +
                          (transform != nullptr ? ", patched" : ""));
            return files.copyFile(from, to, transform);
          },
      .rewriteFile =
          [&](const std::u16string& path, const ByteTransform& transform) {
            log.push_back("rewrite " + narrow(path));
            return files.rewriteFile(path, transform);
          },
      .flush =
          [&] {
            log.push_back("flush");
            files.flush();
          },
  };
}

class CustomizePackage : public testing::TestWithParam<RunCase> {};

TEST_P(CustomizePackage, ReplacesEachLiveFileOnce) {
  const RunCase& c = GetParam();
  TempDir dir;
  writeFolder(dir.path(), kPackage);
  const ScopedCurrentDir inside(dir.path());
  DiskFiles disk;
  DryRunFolder folder{.disk = &disk, .written = {}};
  std::vector<std::string> log;
  const Customization done = customizePackage(logged(dryRunFiles(folder), log), u"TR0107",
                                              c.cmdVariant, c.useEVariant, u"de-de", c.barPc);
  EXPECT_EQ(log, c.operations);
  std::vector<std::u16string> patched;
  for (const PatchCall& call : done.patches) {
    patched.push_back(call.request.setupPath);
    EXPECT_EQ(call.patched.outcome, PatchOutcome::Rewritten) << narrow(call.request.setupPath);
  }
  EXPECT_EQ(patched, c.patched);
}

INSTANTIATE_TEST_SUITE_P(Kinds, CustomizePackage, testing::ValuesIn(kRunCases),
                         testing_support::ByWhat());

}  // namespace
