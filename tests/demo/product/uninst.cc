// The demo product's uninstaller, "uninst.exe": removes what the installer
// registered (the Uninstall entry, the shortcuts) and the files of the folder
// it runs from. Files that cannot be deleted now (its own file, the folder)
// are deleted by Windows at the next reboot.
#include <windows.h>

#include <string>

#include "installer/desktop_integration.h"
#include "installer/product_constants.h"

namespace {

std::wstring OwnPath() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

void DeleteTree(const std::wstring& folder, const std::wstring& keep) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((folder + L"*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = folder + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      DeleteTree(path + L"\\", keep);
      RemoveDirectoryW(path.c_str());
    } else if (_wcsicmp(path.c_str(), keep.c_str()) != 0) {
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (!DeleteFileW(path.c_str())) MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
  } while (FindNextFileW(find, &found));
  FindClose(find);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  RegDeleteKeyA(HKEY_CURRENT_USER, UninstallKeyPath().c_str());

  const std::wstring start_menu = StartMenuFolderPath();
  DeleteFileW(DesktopShortcutPath().c_str());
  DeleteFileW((start_menu + kProductDisplayName + L".lnk").c_str());
  DeleteFileW((start_menu + L"卸载.lnk").c_str());
  RemoveDirectoryW(start_menu.c_str());
  const std::wstring common = CommonSoftwareFolderPath();
  if (!common.empty()) DeleteFileW((common + kProductDisplayName + L".lnk").c_str());

  const std::wstring self = OwnPath();
  const std::wstring folder = self.substr(0, self.find_last_of(L'\\') + 1);
  DeleteTree(folder, self);
  MoveFileExW(self.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  MoveFileExW(folder.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  return 0;
}
