// The demo driver: runs one whole install the way the install window does,
// against the endpoints built into this (loopback) build, and prints what was
// installed, written and started. It stands in for the window until the
// window exists: the same threads (a UI thread registered as kUiThread, the
// "Global Misc Thread" as kMiscThread), the same statistics, the same engine.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>

#include "base/framework_thread.h"
#include "base/support_weak_callback.h"
#include "base/thread_registry.h"
#include "installer/desktop_integration.h"
#include "installer/install_context.h"
#include "installer/install_engine.h"
#include "installer/machine_id.h"
#include "installer/misc_thread.h"
#include "installer/os_info.h"
#include "installer/path_util.h"
#include "installer/product_constants.h"
#include "installer/registry_util.h"
#include "installer/statistics.h"
#include "installer/text_util.h"
#include "installer/thread_ids.h"

namespace {

std::string Utf8(const std::wstring& text) { return WideToUtf8(text); }

// Prints the engine's progress on the UI thread, as the window would show it.
class ConsoleHost : public InstallHost, public qbase::SupportWeakCallback {
 public:
  explicit ConsoleHost(HANDLE done) : done_(done) {}
  void ShowInstallProgress(double value, const std::wstring& text) override {
    std::printf("  [%3.0f] %s\n", value, Utf8(text).c_str());
    std::fflush(stdout);
  }
  void ShowInstallFinished() override {
    std::printf("  -> finished page\n");
    succeeded_ = true;
    SetEvent(done_);
  }
  void ShowInstallFailed() override {
    std::printf("  -> install failed\n");
    SetEvent(done_);
  }
  bool succeeded() const { return succeeded_; }

 private:
  HANDLE done_;
  bool succeeded_ = false;
};

class DemoUiThread : public qbase::FrameworkThread {
 public:
  DemoUiThread() : qbase::FrameworkThread("Demo UI Thread") {}
  ~DemoUiThread() override { Stop(); }

 protected:
  void Init() override { qbase::ThreadRegistry::RegisterThread(kUiThread); }
  void Cleanup() override { qbase::ThreadRegistry::UnregisterThread(); }
};

// The default install location: the roaming application-data folder plus
// the product folder.
std::wstring DefaultInstallFolder() {
  std::wstring folder = LocalAppDataFolder();
  size_t local = folder.rfind(L"Local");
  if (local != std::wstring::npos) folder.replace(local, 5, L"Roaming");
  return FormatWide(L"%s%s\\", folder.c_str(), kProductFolderName);
}

void PrintTree(const std::wstring& root, const std::wstring& relative) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((root + relative + L"*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      PrintTree(root, relative + name + L"\\");
    } else {
      const unsigned long long size = (static_cast<unsigned long long>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
      std::printf("  %10llu  %s\n", size, Utf8(relative + name).c_str());
    }
  } while (FindNextFileW(find, &found));
  FindClose(find);
}

void PrintShortcut(const wchar_t* what, const std::wstring& link) {
  const bool present = GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES;
  std::printf("  %-9s %s %s\n", Utf8(what).c_str(), present ? "yes" : "no ", Utf8(link).c_str());
}

void PrintReport(const InstallRequest& request) {
  std::printf("\nInstalled files in %s:\n", Utf8(request.install_folder).c_str());
  PrintTree(request.install_folder, L"");

  std::printf("\nUninstall entry HKEY_CURRENT_USER\\%s:\n", UninstallKeyPath().c_str());
  for (const char* name : {"DisplayName", "UninstallString", "DisplayIcon", "DisplayVersion", "Publisher"}) {
    std::string value;
    if (!ReadRegistryString(HKEY_CURRENT_USER, UninstallKeyPath(), name, &value)) value = "<missing>";
    std::printf("  %-16s %s\n", name, Utf8(AnsiToWide(value)).c_str());
  }

  std::printf("\nmain.ini:\n");
  const std::wstring ini = request.install_folder + L"main.ini";
  for (const wchar_t* section : {L"info", L"uinfo"}) {
    wchar_t keys[2048] = {};
    GetPrivateProfileStringW(section, nullptr, L"", keys, 2048, ini.c_str());
    for (const wchar_t* key = keys; *key; key += wcslen(key) + 1) {
      wchar_t value[512] = {};
      GetPrivateProfileStringW(section, key, L"", value, 512, ini.c_str());
      std::printf("  [%s] %s=%s\n", Utf8(section).c_str(), Utf8(key).c_str(), Utf8(value).c_str());
    }
  }

  std::printf("\nShortcuts:\n");
  PrintShortcut(L"desktop", DesktopShortcutPath());
  PrintShortcut(L"start", StartMenuFolderPath() + kProductDisplayName + L".lnk");
  PrintShortcut(L"uninstall", StartMenuFolderPath() + L"卸载.lnk");
  PrintShortcut(L"常用软件", CommonSoftwareFolderPath() + kProductDisplayName + L".lnk");

  // The product writes a record of every start beside itself.
  const std::wstring marker = request.install_folder + L"crushwell-started.txt";
  std::string started;
  for (int i = 0; i < 100 && started.empty(); ++i) {
    HANDLE file = CreateFileW(marker.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      char buffer[4096];
      DWORD read = 0;
      if (ReadFile(file, buffer, sizeof(buffer), &read, nullptr)) started.assign(buffer, read);
      CloseHandle(file);
    }
    if (started.empty()) Sleep(100);
  }
  std::printf("\nProduct started as the desktop user: %s\n", started.empty() ? "no" : "yes");
  if (!started.empty()) std::printf("%s", started.c_str());
}

}  // namespace

int main() {
  SetConsoleOutputCP(CP_UTF8);
  const Endpoints& endpoints = BuiltInEndpoints();
  std::printf("Package:    %s\nStatistics: %s/api/count/flow\n", endpoints.package_url.c_str(),
              endpoints.stats_origin.c_str());

  // The window's initialisation.
  InstallRequest request;
  request.machine_id = LoadOrCreateMachineId();
  request.system_bitness = SystemBitness();
  request.context = BuildInstallContext();
  request.install_folder = DefaultInstallFolder();
  const StatsIdentity identity{endpoints.stats_origin, request.machine_id, request.context};
  std::printf("Machine id: %s\nContext:    setup=%s packdt=%s pos=%s bdvid=%s os=%s\nFolder:     %s\n\n",
              request.machine_id.c_str(), request.context.setup.c_str(), request.context.packdt.c_str(),
              request.context.pos.c_str(), request.context.bdvid.c_str(), request.context.os.c_str(),
              Utf8(request.install_folder).c_str());
  StartWindowOpenReport(identity);

  DemoUiThread ui;
  MiscThread worker;
  if (!ui.StartWithLoop(qbase::LoopKind::kUi) || !worker.StartWithLoop(qbase::LoopKind::kDefault)) {
    std::printf("cannot start the threads\n");
    return 1;
  }
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ConsoleHost host(done);
  std::shared_ptr<InstallEngine> engine;

  // "立即安装": report, create the folder, hand the install to the worker.
  Sleep(1500);  // lets the window-open report go first, as it would
  ReportEvent(identity, request.context.app, "install", "inst", request.context.pos);
  (void)CreateDirectoryPath(request.install_folder);
  HANDLE acquired = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  qbase::ThreadRegistry::PostTask(kUiThread, [&] {
    // The host's weak flag is taken on its own thread.
    engine = std::make_shared<InstallEngine>(request, &host, host.AcquireWeakFlag());
    SetEvent(acquired);
  });
  WaitForSingleObject(acquired, INFINITE);
  std::printf("Installing:\n");
  qbase::ThreadRegistry::PostTask(kMiscThread, [engine] { engine->RunInstall(); });

  if (WaitForSingleObject(done, 10 * 60 * 1000) != WAIT_OBJECT_0) std::printf("  (no result in ten minutes)\n");
  worker.Stop();
  PrintReport(request);
  const bool ok = host.succeeded() && request.install_finished->load();
  std::printf("\nResult: %s\n", ok ? "installed" : "FAILED");
  ui.Stop();
  CloseHandle(acquired);
  CloseHandle(done);
  return ok ? 0 : 1;
}
