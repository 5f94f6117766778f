// A run reads config.xml through the DOM alone: XmlLite (xmllite.dll) is
// loaded only when a place in the file is asked for, and not even then for
// bytes on which Wine's XmlLite aborts the process. The loader's own
// notifications show which DLLs a step loads.
#include <windows.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "config/settings_load.h"
#include "platform/xml_dom.h"
#include "row_names.h"
#include "test_support.h"

namespace {

using namespace std::string_literals;
using testing_support::TempDir;

// The loader's LDR_DLL_NOTIFICATION_DATA, the same for a load and an unload.
struct DllNotification {
  ULONG flags;
  const UNICODE_STRING* fullName;
  const UNICODE_STRING* baseName;
  void* base;
  ULONG size;
};
using NotificationFn = void(CALLBACK*)(ULONG reason, const DllNotification* data, void* context);
using RegisterFn = NTSTATUS(NTAPI*)(ULONG flags, NotificationFn callback, void* context,
                                    void** cookie);
using UnregisterFn = NTSTATUS(NTAPI*)(void* cookie);
constexpr ULONG kLoaded = 1;

// The base names of the DLLs loaded while it exists, in lower case.
class LoadedDlls {
 public:
  LoadedDlls() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const auto registerFn = reinterpret_cast<RegisterFn>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "LdrRegisterDllNotification")));
    unregister_ = reinterpret_cast<UnregisterFn>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "LdrUnregisterDllNotification")));
    if (registerFn == nullptr || unregister_ == nullptr ||
        registerFn(0, &LoadedDlls::notified, this, &cookie_) != 0) {
      cookie_ = nullptr;
    }
  }
  LoadedDlls(const LoadedDlls&) = delete;
  LoadedDlls& operator=(const LoadedDlls&) = delete;
  ~LoadedDlls() {
    if (cookie_ != nullptr) unregister_(cookie_);
  }
  bool watching() const { return cookie_ != nullptr; }
  bool saw(const std::wstring& name) const {
    for (const std::wstring& loaded : names_) {
      if (loaded == name) return true;
    }
    return false;
  }

 private:
  static void CALLBACK notified(ULONG reason, const DllNotification* data, void* context) {
    if (reason != kLoaded || data == nullptr || data->baseName == nullptr) return;
    std::wstring name(data->baseName->Buffer, data->baseName->Length / sizeof(wchar_t));
    for (wchar_t& c : name) c = static_cast<wchar_t>(towlower(c));
    static_cast<LoadedDlls*>(context)->names_.push_back(std::move(name));
  }

  UnregisterFn unregister_ = nullptr;
  void* cookie_ = nullptr;
  std::vector<std::wstring> names_;
};

const std::string kGood =
    "<config><binary code=\"TR01\"><package_type>E</package_type>"
    "<market_type>de-de</market_type></binary></config>";

// One step of a program on config.xml in the current directory.
using Step = std::function<void()>;

void runSettingsLoad() {
  PackageSettings settings;
  loadPackageSettingsExplained(settings, u"TR01");
}

void locateError() {
  SettingsLoad load;
  if (loadConfigDocument(load)) return;
  platform::locateParseError(testing_support::readFile("config.xml"), load.xmlError);
}

void placeEntry() {
  SettingsLoad load;
  const platform::XmlDocument document = loadConfigDocument(load);
  ASSERT_TRUE(document);
  const platform::XmlNode entry = platform::selectSingleNode(document, u"/config/binary");
  ASSERT_TRUE(entry);
  EXPECT_EQ(platform::nodePosition(document, entry), (platform::XmlPosition{1, 9}));
}

struct DllCase {
  const char* what;
  std::string config;
  Step step;
  bool loadsXmlLite;
};

const DllCase kDllCases[] = {
    {"a run on a good file", kGood, runSettingsLoad, false},
    {"a run on a file that does not parse", "<config><binary>", runSettingsLoad, false},
    {"a run on a file of only a byte-order mark", "\xEF\xBB\xBF", runSettingsLoad, false},
    {"a run on a file of only a declaration", "<?xml version=\"1.0\"?>", runSettingsLoad, false},
    {"the place of a parse error", "<config><binary>", locateError, true},
    {"the place of an error in a byte-order mark alone", "\xEF\xBB\xBF", locateError, false},
    {"the place of an error after a byte-order mark and a NUL", "\xEF\xBB\xBF\0"s, locateError,
     false},
    {"the place of an element", kGood, placeEntry, true},
};

class XmlLiteLoad : public testing::TestWithParam<DllCase> {};

TEST_P(XmlLiteLoad, OnlyWhereAPlaceIsAskedFor) {
  const DllCase& c = GetParam();
  TempDir dir;
  testing_support::writeFile(dir / "config.xml", c.config);
  const testing_support::ScopedCurrentDir inDir(dir.path());
  const LoadedDlls loaded;
  ASSERT_TRUE(loaded.watching());
  c.step();
  EXPECT_EQ(loaded.saw(L"xmllite.dll"), c.loadsXmlLite);
}

INSTANTIATE_TEST_SUITE_P(Steps, XmlLiteLoad, testing::ValuesIn(kDllCases),
                         testing_support::ByWhat());

}  // namespace
