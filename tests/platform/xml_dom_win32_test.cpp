// A run reads config.xml through the DOM alone: XmlLite (xmllite.dll) is
// loaded only when a place in the file is asked for, and not even then for
// bytes on which Wine's XmlLite aborts. The loader's notifications tell.
#include <windows.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <string>

#include "config/settings_load.h"
#include "platform/xml_dom.h"
#include "row_names.h"
#include "test_support.h"

namespace {

// The start of the loader's LDR_DLL_NOTIFICATION_DATA.
struct DllNotification {
  ULONG flags;
  const UNICODE_STRING* fullName;
  const UNICODE_STRING* baseName;
};
using NotificationFn = void(CALLBACK*)(ULONG reason, const DllNotification* data, void* context);
using RegisterFn = NTSTATUS(NTAPI*)(ULONG, NotificationFn, void* context, void** cookie);
using UnregisterFn = NTSTATUS(NTAPI*)(void* cookie);

template <class Fn>
Fn fromNtdll(const char* name) {
  return reinterpret_cast<Fn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

// Sets the bool `context` when xmllite.dll is loaded.
void CALLBACK notified(ULONG reason, const DllNotification* data, void* context) {
  constexpr ULONG kLoaded = 1;
  const std::wstring name(data->baseName->Buffer, data->baseName->Length / sizeof(wchar_t));
  if (reason == kLoaded && _wcsicmp(name.c_str(), L"xmllite.dll") == 0) {
    *static_cast<bool*>(context) = true;
  }
}

const std::string kGood =
    "<config><binary code=\"TR01\"><package_type>E</package_type>"
    "<market_type>de-de</market_type></binary></config>";

// The steps of the programs on config.xml in the current directory.
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
  void (*step)();
  bool loadsXmlLite;
};

const DllCase kDllCases[] = {
    {"a run on a good file", kGood, runSettingsLoad, false},
    {"a run on a file that does not parse", "<config><binary>", runSettingsLoad, false},
    {"a run on a file of only a byte-order mark", "\xEF\xBB\xBF", runSettingsLoad, false},
    {"the place of a parse error", "<config><binary>", locateError, true},
    {"the place of an error in a byte-order mark alone", "\xEF\xBB\xBF", locateError, false},
    {"the place of an element", kGood, placeEntry, true},
};

class XmlLiteLoad : public testing::TestWithParam<DllCase> {};

TEST_P(XmlLiteLoad, OnlyWhereAPlaceIsAskedFor) {
  const DllCase& c = GetParam();
  testing_support::TempDir dir;
  testing_support::writeFile(dir / "config.xml", c.config);
  const testing_support::ScopedCurrentDir inDir(dir.path());
  bool loaded = false;
  void* cookie = nullptr;
  ASSERT_EQ(fromNtdll<RegisterFn>("LdrRegisterDllNotification")(0, notified, &loaded, &cookie), 0);
  c.step();
  fromNtdll<UnregisterFn>("LdrUnregisterDllNotification")(cookie);
  EXPECT_EQ(loaded, c.loadsXmlLite);
}

INSTANTIATE_TEST_SUITE_P(Steps, XmlLiteLoad, testing::ValuesIn(kDllCases),
                         testing_support::ByWhat());

}  // namespace
