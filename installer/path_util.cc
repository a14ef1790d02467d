#include "installer/path_util.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

#include "installer/os_info.h"
#include "installer/registry_util.h"

namespace {

// FOLDERID_LocalAppData, FOLDERID_Desktop and FOLDERID_StartMenu.
constexpr GUID kFolderLocalAppData = {0xF1B32785, 0x6FBA, 0x4FCF, {0x9D, 0x55, 0x7B, 0x8E, 0x7F, 0x15, 0x70, 0x91}};
constexpr GUID kFolderDesktop = {0xB4BFCC3A, 0xDB2C, 0x424C, {0xB0, 0x29, 0x7F, 0xE9, 0x9A, 0x87, 0xC6, 0x41}};
constexpr GUID kFolderStartMenu = {0x625B53C3, 0xAB48, 0x4EC1, {0xBA, 0x1F, 0xA1, 0xEF, 0x41, 0x46, 0xFC, 0x19}};

constexpr DWORD kKnownFolderCreate = 0x8000;          // KF_FLAG_CREATE
constexpr int kLocalAppDataCreate = 0x801C;           // CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE
constexpr WORD kShCreateDirectoryOrdinal = 165;

constexpr wchar_t kShellFoldersKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

using GetKnownFolderPathFunction = HRESULT(WINAPI*)(const GUID&, DWORD, HANDLE, PWSTR*);
using CreateDirectoryFunction = int(WINAPI*)(HWND, LPCWSTR);

// GetProcAddress gives a generic function pointer; the caller names the exact
// type (with its calling convention) of the function it looks up.
template <typename Function>
Function LookUp(HMODULE module, const char* name) {
  FARPROC address = module ? GetProcAddress(module, name) : nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

// A library loaded for the duration of one call.
class ScopedLibrary {
 public:
  explicit ScopedLibrary(const wchar_t* name) : module_(LoadLibraryW(name)) {}
  ~ScopedLibrary() {
    if (module_) FreeLibrary(module_);
  }
  ScopedLibrary(const ScopedLibrary&) = delete;
  ScopedLibrary& operator=(const ScopedLibrary&) = delete;
  HMODULE get() const { return module_; }

 private:
  HMODULE module_;
};

// Full path of the module that contains this code: the program itself, found
// from the address of one of its own functions so that the answer stays right
// even if this code ever moves into a DLL. The buffer grows until the path
// fits, so a long install path is never cut short.
std::wstring ModulePath() {
  MEMORY_BASIC_INFORMATION info = {};
  if (!VirtualQuery(reinterpret_cast<LPCVOID>(&ModulePath), &info, sizeof(info))) return std::wstring();
  HMODULE module = static_cast<HMODULE>(info.AllocationBase);
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    DWORD length = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::wstring();
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    if (buffer.size() >= 32768) return std::wstring();
    buffer.resize(buffer.size() * 2);
  }
}

size_t LastSeparator(const std::wstring& path) { return path.find_last_of(L"\\/"); }

std::wstring KnownFolder(const wchar_t* library, const GUID& folder, DWORD flags) {
  ScopedLibrary shell(library);
  auto get_known_folder_path = LookUp<GetKnownFolderPathFunction>(shell.get(), "SHGetKnownFolderPath");
  if (!get_known_folder_path) return std::wstring();
  PWSTR path = nullptr;
  HRESULT result = get_known_folder_path(folder, flags, nullptr, &path);
  std::wstring out = SUCCEEDED(result) && path ? std::wstring(path) : std::wstring();
  CoTaskMemFree(path);
  return out;
}

// The user's shell-folder value, else the known folder. The value is read
// through the wide registry interface: the narrow interface answers in the
// system's ANSI code page, which is GBK only on Chinese systems, so a profile
// path with other non-ASCII characters would come back garbled.
std::wstring ShellFolder(const wchar_t* value_name, const GUID& fallback) {
  std::wstring path;
  if (ReadRegistryWideString(HKEY_CURRENT_USER, kShellFoldersKey, value_name, &path) && !path.empty()) return path;
  return KnownFolder(L"Shell32.dll", fallback, 0);
}

}  // namespace

std::wstring ModuleFolder() {
  std::wstring folder;
  return FolderPart(ModulePath(), &folder) ? folder : std::wstring();
}

std::wstring ModuleFileName() {
  std::wstring name;
  return FileNamePart(ModulePath(), &name) ? name : std::wstring();
}

std::wstring TempFolder() {
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (;;) {
    DWORD length = GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0) return std::wstring();
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(length + 1);
  }
}

std::wstring LocalAppDataFolder() {
  std::wstring folder;
  if (CurrentOsVersion().major < 6) {
    wchar_t buffer[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, kLocalAppDataCreate, nullptr, 0, buffer))) folder = buffer;
  } else {
    folder = KnownFolder(L"shell32.dll", kFolderLocalAppData, kKnownFolderCreate);
  }
  if (!folder.empty() && folder.back() != L'\\') folder.push_back(L'\\');
  return folder;
}

std::wstring DesktopFolder() { return ShellFolder(L"Desktop", kFolderDesktop); }

std::wstring ProgramsFolder() { return ShellFolder(L"Programs", kFolderStartMenu); }

bool CreateDirectoryPath(const std::wstring& path) {
  ScopedLibrary shell(L"shell32.dll");
  auto create_directory = LookUp<CreateDirectoryFunction>(
      shell.get(), reinterpret_cast<const char*>(static_cast<ULONG_PTR>(kShCreateDirectoryOrdinal)));
  if (!create_directory) return false;
  int result = create_directory(nullptr, path.c_str());
  if (result != ERROR_SUCCESS && result != ERROR_FILE_EXISTS && result != ERROR_ALREADY_EXISTS) return false;
  // "Already exists" is also the answer when a file of that name is in the
  // way; only a folder counts.
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int64_t FileSize(const std::wstring& path) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(path.c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return -1;
  FindClose(find);
  return static_cast<int64_t>((static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow);
}

bool FolderPart(const std::wstring& path, std::wstring* folder) {
  if (path.size() < 2) return false;
  size_t separator = LastSeparator(path);
  if (separator == std::wstring::npos) return false;
  *folder = path.substr(0, separator + 1);
  return true;
}

bool FileNamePart(const std::wstring& path, std::wstring* name) {
  if (path.size() < 2) return false;
  size_t separator = LastSeparator(path);
  if (separator == std::wstring::npos || separator + 1 == path.size()) return false;
  *name = path.substr(separator + 1);
  return true;
}
