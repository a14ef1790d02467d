#include "installer/os_info.h"

#include <windows.h>

#include <vector>

#include "installer/path_util.h"
#include "installer/text_util.h"

namespace {

using GetVersionNumbersFunction = void(WINAPI*)(DWORD*, DWORD*, DWORD*);
using GetNativeSystemInfoFunction = void(WINAPI*)(SYSTEM_INFO*);

constexpr unsigned kFirstWindows11Build = 22000;

// GetProcAddress gives a generic function pointer; the caller names the exact
// type (with its calling convention) of the function it looks up.
template <typename Function>
Function LookUp(HMODULE module, const char* name) {
  FARPROC address = module ? GetProcAddress(module, name) : nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

unsigned KernelBuildNumber() {
  auto get_version_numbers = LookUp<GetVersionNumbersFunction>(GetModuleHandleW(L"ntdll.dll"),
                                                                "RtlGetNtVersionNumbers");
  if (!get_version_numbers) return 0;
  DWORD major = 0, minor = 0, build = 0;
  get_version_numbers(&major, &minor, &build);
  return build & 0xFFFF;
}

}  // namespace

OsVersion CurrentOsVersion() {
  OSVERSIONINFOW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  OsVersion version;
  if (GetVersionExW(&info)) {
    version.major = info.dwMajorVersion;
    version.minor = info.dwMinorVersion;
    version.build = info.dwBuildNumber;
  }
  return version;
}

int OsVersionCodeFor(unsigned major, unsigned minor) {
  if (major == 5 && minor == 0) return 0;
  if (major == 5 && minor == 1) return 1;
  if (major == 5 && minor == 2) return 3;
  if (major == 6 && minor == 0) return 2;
  if (major == 6 && minor == 2) return 5;
  return 4;
}

int OsVersionCode() {
  OsVersion version = CurrentOsVersion();
  return OsVersionCodeFor(version.major, version.minor);
}

std::string OsNameFor(unsigned major, unsigned minor, unsigned nt_build) {
  switch (OsVersionCodeFor(major, minor)) {
    case 4:
      return "win7";
    case 5:
      return nt_build >= kFirstWindows11Build ? "win11" : "win10";
    default:
      return "winXP";
  }
}

std::string OsName() {
  OsVersion version = CurrentOsVersion();
  return OsNameFor(version.major, version.minor, KernelBuildNumber());
}

std::string OwnFileVersion() {
  std::wstring path = ModuleFolder() + ModuleFileName();
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return std::string();
  std::vector<BYTE> data(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return std::string();
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(data.data(), "\\", &value, &length) || !value || length < sizeof(VS_FIXEDFILEINFO)) {
    return std::string();
  }
  const auto* info = static_cast<const VS_FIXEDFILEINFO*>(value);
  if (info->dwSignature != 0xFEEF04BD) return std::string();
  return FormatNarrow("%d.%d.%d.%d", HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                      HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS));
}

int SystemBitness() {
  SYSTEM_INFO info = {};
  auto get_native_system_info = LookUp<GetNativeSystemInfoFunction>(GetModuleHandleW(L"kernel32.dll"),
                                                                     "GetNativeSystemInfo");
  if (get_native_system_info) {
    get_native_system_info(&info);
  } else {
    GetSystemInfo(&info);
  }
  const WORD architecture = info.wProcessorArchitecture;
  return architecture == PROCESSOR_ARCHITECTURE_AMD64 || architecture == PROCESSOR_ARCHITECTURE_IA64 ? 64 : 32;
}
