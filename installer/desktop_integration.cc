#include "installer/desktop_integration.h"

#include <windows.h>
#include <objbase.h>
#include <ole2.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "installer/generated_text.h"
#include "installer/path_util.h"
#include "installer/process_launch.h"
#include "installer/product_constants.h"
#include "installer/registry_util.h"
#include "installer/scoped_ole.h"
#include "installer/text_util.h"

namespace {

// Releases a COM interface at the end of a scope.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() {
    if (ptr_) ptr_->Release();
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  T* get() const { return ptr_; }
  T* operator->() const { return ptr_; }
  void** receive() { return reinterpret_cast<void**>(&ptr_); }

 private:
  T* ptr_ = nullptr;
};


std::wstring UninstallerPath(const InstallRequest& request) {
  return FormatWide(L"%suninst.exe", request.install_folder.c_str());
}

void RegisterDllList(const InstallRequest& request, const std::wstring& list) {
  for (const std::wstring& item : SplitTokens(list, L"|")) {
    (void)RegisterServer(request.install_folder + item);
  }
}

}  // namespace

std::wstring MainExecutablePath(const InstallRequest& request) {
  return request.install_folder + MainExeName(request.system_bitness);
}

std::string UninstallKeyPath() {
  return FormatNarrow("%s%s", kUninstallKeyBase, WideToAnsi(kProductFolderName).c_str());
}

std::wstring DesktopShortcutPath() {
  return FormatWide(L"%s\\%s.lnk", DesktopFolder().c_str(), kProductDisplayName);
}

std::wstring StartMenuFolderPath() {
  return FormatWide(L"%s\\%s\\", ProgramsFolder().c_str(), kProductDisplayName);
}

std::wstring CommonSoftwareFolderPath() {
  wchar_t common_desktop[MAX_PATH] = {};
  if (!SHGetSpecialFolderPathW(nullptr, common_desktop, CSIDL_COMMON_DESKTOPDIRECTORY, FALSE)) {
    return std::wstring();
  }
  return FormatWide(L"%s\\常用软件\\", common_desktop);
}

void WriteUninstallEntry(const InstallRequest& request) {
  const std::string key = UninstallKeyPath();
  const std::string folder = WideToAnsi(request.install_folder);
  const struct {
    const char* name;
    std::string value;
  } kValues[] = {
      {"DisplayName", kProductDisplayNameA},
      {"UninstallString", FormatNarrow("%suninst.exe", folder.c_str())},
      {"DisplayIcon", FormatNarrow("%s%s", folder.c_str(), MainExeNameA(request.system_bitness))},
      {"DisplayVersion", kDisplayVersion},
      {"Publisher", kPublisher},
  };
  for (const auto& value : kValues) {
    (void)WriteRegistryString(HKEY_CURRENT_USER, key, value.name, value.value);
  }
}

void WriteMainIni(const InstallRequest& request) {
  const std::wstring ini = FormatWide(L"%smain.ini", request.install_folder.c_str());
  const InstallContext& context = request.context;
  const struct {
    const wchar_t* section;
    const wchar_t* key;
    std::string value;
  } kKeys[] = {
      {L"info", L"InstDt", CurrentTimeText()},  {L"info", L"setup", context.setup},
      {L"info", L"packdt", context.packdt},     {L"info", L"bdvid", context.bdvid},
      {L"uinfo", L"mid", request.machine_id},   {L"uinfo", L"pos", context.pos},
      {L"uinfo", L"os", context.os},            {L"uinfo", L"ver", context.ver},
      {L"uinfo", L"app", context.app},
  };
  for (const auto& key : kKeys) {
    WritePrivateProfileStringW(key.section, key.key, AnsiToWide(key.value).c_str(), ini.c_str());
  }
}

bool CreateShortcut(const std::wstring& target, const std::wstring& link) {
  DeleteFileW(link.c_str());
  ScopedOle ole;
  ComPtr<IShellLinkW> shell_link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              shell_link.receive()))) {
    return false;
  }
  shell_link->SetPath(target.c_str());
  const size_t last_separator = target.rfind(L'\\');
  const std::wstring folder = last_separator == std::wstring::npos ? target : target.substr(0, last_separator);
  shell_link->SetWorkingDirectory(folder.c_str());
  ComPtr<IPersistFile> file;
  if (FAILED(shell_link->QueryInterface(IID_IPersistFile, file.receive()))) return false;
  return SUCCEEDED(file->Save(link.c_str(), TRUE));
}

void CreateShortcuts(const InstallRequest& request) {
  const std::wstring main_exe = MainExecutablePath(request);
  const std::wstring uninstaller = UninstallerPath(request);
  const std::wstring start_menu = StartMenuFolderPath();
  (void)CreateDirectoryPath(start_menu);

  // The all-users "常用软件" folder is a shared place some systems offer for
  // everyday programs; the installer uses it only when it already exists.
  const std::wstring common_software = CommonSoftwareFolderPath();
  if (!common_software.empty() && PathIsDirectoryW(common_software.c_str()) == FILE_ATTRIBUTE_DIRECTORY) {
    CreateShortcut(main_exe, FormatWide(L"%s%s.lnk", common_software.c_str(), kProductDisplayName));
  }
  CreateShortcut(main_exe, DesktopShortcutPath());
  CreateShortcut(main_exe, FormatWide(L"%s%s.lnk", start_menu.c_str(), kProductDisplayName));
  CreateShortcut(uninstaller, FormatWide(L"%s卸载.lnk", start_menu.c_str()));
}

void RunPostInstallHelpers(const InstallRequest& request) {
  const PostInstallHelpers& helpers = request.helpers;
  const std::wstring& folder = request.install_folder;

  if (!helpers.helper_exe.empty()) {
    const std::wstring helper = folder + helpers.helper_exe;
    if (GetFileAttributesW(helper.c_str()) != INVALID_FILE_ATTRIBUTES) {
      ShellExecuteW(nullptr, L"open", helper.c_str(), L"relatefile", nullptr, SW_HIDE);
      const std::wstring& dll = request.system_bitness == 64 ? helpers.shell_ext_dll64 : helpers.shell_ext_dll32;
      (void)ShellOpen(helper, FormatWide(L"regdll=%s%s", folder.c_str(), dll.c_str()));
    }
  }

  if (!helpers.extra_program.empty()) {
    (void)ShellOpen(folder + helpers.extra_program, helpers.extra_program_args);
  }

  if (!helpers.register_dll_list.empty()) {
    const std::wstring& list = (!helpers.register_dll_list64.empty() && request.system_bitness == 64)
                                   ? helpers.register_dll_list64
                                   : helpers.register_dll_list;
    RegisterDllList(request, list);
  }

  if (!helpers.register_dll_list_extra.empty()) RegisterDllList(request, helpers.register_dll_list_extra);
}
