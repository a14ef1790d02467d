// The product this installer is built for. Every value is fixed when the
// installer is built and is a constant expression, so all of them exist
// before any code runs.
//
// Widths: 16-bit constants are UTF-16. 8-bit constants are GBK (code page 936)
// byte strings, written as escaped bytes where the text is not ASCII. Where a
// text exists in both widths the plain name is the 16-bit copy and the name
// with the suffix "A" the 8-bit copy; both always hold the same text.
//
// An empty constant is a configuration slot: the step that uses it checks it
// for emptiness and does nothing when it is empty.
#pragma once

#include "build_config.h"

// Name of the skin folder of the install window and the popup (16-bit); the
// install context's `app`, sent as the statistics `appid` (8-bit).
inline constexpr wchar_t kProductSlug[] = L"vorandel";
inline constexpr char kProductSlugA[] = "vorandel";

// Product folder appended to the chosen install location, base name of the
// downloaded package, and name of the product's Uninstall registry key.
inline constexpr wchar_t kProductFolderName[] = L"LumoCompressTool";

// Window titles and caption, Start-menu folder and shortcut names (16-bit);
// DisplayName of the Uninstall entry (8-bit).
inline constexpr wchar_t kProductDisplayName[] = L"鲁墨文件压缩";
inline constexpr char kProductDisplayNameA[] = "\xc2\xb3\xc4\xab\xce\xc4\xbc\xfe\xd1\xb9\xcb\xf5";

// Shown as the required disk space; never compared with anything.
inline constexpr wchar_t kRequiredSpaceText[] = L"134MB";

// The package download. The host is build-time configuration (release: the
// vendor's download server; test and demo builds: loopback); see
// cmake/endpoints.cmake. It is the same URL as BuiltInEndpoints().package_url.
inline constexpr char kPackageUrl[] = INSTALLER_PACKAGE_URL;

// The installed application's main executable, and its alternative for 64-bit
// systems (used only when not empty; see MainExeName below).
inline constexpr wchar_t kMainExeName[] = L"Crushwell.exe";
inline constexpr char kMainExeNameA[] = "Crushwell.exe";
inline constexpr wchar_t kMainExe64Name[] = L"";
inline constexpr char kMainExe64NameA[] = "";

// Optional integration helper in the install folder, and the shell-extension
// DLL named to it on 32-bit and on 64-bit systems.
inline constexpr wchar_t kHelperExeName[] = L"";
inline constexpr wchar_t kShellExtDll32[] = L"lumocompressmenu.dll";
inline constexpr wchar_t kShellExtDll64[] = L"lumocompressmenu64.dll";

// "|"-separated DLL paths, relative to the install folder, to register; the
// 64-bit list replaces the first on 64-bit systems when not empty.
inline constexpr wchar_t kRegisterDllList[] = L"";
inline constexpr wchar_t kRegisterDllList64[] = L"";
inline constexpr wchar_t kRegisterDllListExtra[] = L"";

// Optional program in the install folder started after the install, and its
// arguments.
inline constexpr wchar_t kExtraProgram[] = L"";
inline constexpr wchar_t kExtraProgramArgs[] = L"";

// The Uninstall entry: parent key, DisplayVersion and Publisher (GBK).
inline constexpr char kUninstallKeyBase[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
inline constexpr char kDisplayVersion[] = "2024.102.1708.20";
inline constexpr char kPublisher[] =
    "\xc7\xe0\xc0\xbd\xca\xfd\xc2\xeb\xd0\xc5\xcf\xa2\xbc\xbc\xca\xf5\xd3\xd0\xcf\xde\xb9\xab\xcb\xbe";

// Window class name of the install window.
inline constexpr wchar_t kWindowClassName[] = L"installPage";

// True when the 64-bit alternative replaces the main executable: the system
// is 64-bit and the 8-bit copy of the alternative name is not empty.
bool UsesMainExe64(int system_bitness, const char* main_exe64_name_a);

// The main executable's name for a system of `system_bitness` (32 or 64), in
// both widths, by the rule above.
const wchar_t* MainExeName(int system_bitness);
const char* MainExeNameA(int system_bitness);
