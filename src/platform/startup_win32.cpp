#include "platform/startup.h"

#include <windows.h>

#include <objbase.h>

namespace platform {

void hardenProcess() {
  // No dialog of any kind, not even for a drive without media.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  // Load DLLs from the system folder only, never from the package folder. Looked
  // up at run time: older systems lack the call.
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  const auto setDefaultDllDirectories = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (setDefaultDllDirectories != nullptr) {
    setDefaultDllDirectories(0x00000800 /* LOAD_LIBRARY_SEARCH_SYSTEM32 */);
  }
}

void initializeCom() {
  // The result does not matter: without COM the settings cannot be loaded,
  // and the run ends there.
  [[maybe_unused]] const HRESULT result = CoInitialize(nullptr);
}

}  // namespace platform
