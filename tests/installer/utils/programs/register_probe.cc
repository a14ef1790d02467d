// Test DLL: proves that a registration really ran. Its DllRegisterServer
// writes an empty file named like the DLL itself with ".registered" appended.
#include <windows.h>

#include <string>

namespace {

HMODULE g_module = nullptr;

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = instance;
  return TRUE;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllRegisterServer() {
  wchar_t path[4096] = {};
  if (!GetModuleFileNameW(g_module, path, 4096)) return E_FAIL;
  std::wstring marker = std::wstring(path) + L".registered";
  HANDLE file = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return E_FAIL;
  CloseHandle(file);
  return S_OK;
}
