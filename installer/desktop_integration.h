// The steps that make an extracted product visible to the user and to
// Windows: the per-user Uninstall entry, the product's main.ini, shortcuts on
// the desktop and in the Start menu, and the optional helper program and DLL
// registrations. They run one after the other on the worker thread, report
// nothing and never stop the install: a failing step is skipped and the next
// one runs.
#pragma once

#include <string>

#include "installer/install_request.h"

// The product's key under HKEY_CURRENT_USER's Uninstall key (see
// UninstallKeyPath): DisplayName, UninstallString, DisplayIcon,
// DisplayVersion and Publisher, REG_SZ in GBK.
void WriteUninstallEntry(const InstallRequest& request);

// The install folder's main.ini: [info] InstDt, setup, packdt, bdvid and
// [uinfo] mid, pos, os, ver, app. Other content of an existing file is kept.
void WriteMainIni(const InstallRequest& request);

// The desktop link, the Start-menu folder with the product link and the
// uninstall link, and a link in the all-users "常用软件" desktop folder when
// that folder already exists.
void CreateShortcuts(const InstallRequest& request);

// A shell link at `link` to `target`, working folder the target's folder. An
// existing file at `link` is replaced. False when the link was not saved.
bool CreateShortcut(const std::wstring& target, const std::wstring& link);

// The helper program, the extra program and the DLL registrations of
// `request.helpers`; each step does nothing when its value is empty.
void RunPostInstallHelpers(const InstallRequest& request);

// The paths the steps above write, for the window and for tests.
std::wstring MainExecutablePath(const InstallRequest& request);
std::string UninstallKeyPath();
std::wstring DesktopShortcutPath();
std::wstring StartMenuFolderPath();
std::wstring CommonSoftwareFolderPath();
