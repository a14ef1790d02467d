#include "installer/install_engine.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "base/thread_registry.h"
#include "base/weak_callback.h"
#include "installer/desktop_integration.h"
#include "installer/generated_text.h"
#include "installer/http_client.h"
#include "installer/path_util.h"
#include "installer/process_launch.h"
#include "installer/product_constants.h"
#include "installer/text_util.h"
#include "installer/thread_ids.h"
#include "installer/zip_archive.h"

namespace {

// The extraction band of the progress bar: 50 for the first entry, up to 95.
constexpr double kExtractBase = 50.0;
constexpr double kExtractSpan = 45.0;

bool DownloadProgressThunk(void* engine, int64_t total, int64_t received, double speed) {
  return static_cast<InstallEngine*>(engine)->OnDownloadProgress(total, received, speed);
}

bool IsDirectory(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Closes an archive handle at the end of a scope.
class ScopedArchive {
 public:
  explicit ScopedArchive(ArchiveHandle* handle) : handle_(handle) {}
  ~ScopedArchive() {
    if (handle_) CloseArchive(handle_);
  }
  ScopedArchive(const ScopedArchive&) = delete;
  ScopedArchive& operator=(const ScopedArchive&) = delete;
  ArchiveHandle* get() const { return handle_; }

 private:
  ArchiveHandle* handle_;
};

int32_t EntryCount(ArchiveHandle* archive) {
  ArchiveEntry entry;
  if (!archive || GetEntry(archive, -1, &entry) != kArchiveOk) return 0;
  return std::max<int32_t>(entry.index, 0);
}

}  // namespace

InstallEngine::InstallEngine(InstallRequest request, InstallHost* host, std::weak_ptr<qbase::WeakFlag> host_alive)
    : request_(std::move(request)), host_(host), host_alive_(std::move(host_alive)) {}

std::wstring InstallEngine::PackagePath() {
  return FormatWide(L"%s%s.zip", TempFolder().c_str(), kProductFolderName);
}

std::wstring InstallEngine::ProgressText(double value) {
  if (value >= 100) return L"正在安装，请不要关闭：";
  return FormatWide(L"正在安装，请不要关闭：%.0f%%", value);
}

StatsIdentity InstallEngine::Identity() const {
  return StatsIdentity{request_.endpoints.stats_origin, request_.machine_id, request_.context};
}

void InstallEngine::PostToHost(std::function<void(InstallHost*)> show) {
  InstallHost* host = host_;
  qbase::WeakCallback<std::function<void()>> task(host_alive_, [host, show] { show(host); });
  qbase::ThreadRegistry::PostTask(kUiThread, task);
}

bool InstallEngine::OnDownloadProgress(int64_t total, int64_t received, double /*speed*/) {
  if (total == 0 || received == 0) return true;
  const double value = std::max(2.0, static_cast<double>(received) / static_cast<double>(total) * 50.0);
  // libcurl reports many times per second; what the user sees changes only
  // with the shown whole percent, so only those changes are posted.
  const std::wstring text = ProgressText(value);
  if (text == last_download_text_) return true;
  last_download_text_ = text;
  PostToHost([value, text](InstallHost* host) { host->ShowInstallProgress(value, text); });
  return true;
}

void InstallEngine::PostProgress(int percent) {
  const std::wstring text =
      percent < 100 ? FormatWide(L"正在安装，请不要关闭：%d%%", percent) : std::wstring(L"正在安装，请不要关闭：");
  const double value = percent;
  PostToHost([value, text](InstallHost* host) { host->ShowInstallProgress(value, text); });
}

bool InstallEngine::DownloadPackage(const std::wstring& package) {
  HttpClient client;
  const std::string& url = request_.endpoints.package_url;
  // Success is judged from the file on disk, not from the transfer's result.
  client.Download(url, std::string(), package, this, DownloadProgressThunk);
  if (FileSize(package) >= kMinimumPackageSize) return true;
  for (const std::string& dns_server : request_.endpoints.dns_fallback_servers) {
    client.Download(url, dns_server, package, this, DownloadProgressThunk);
    if (FileSize(package) > kMinimumPackageSize) break;
  }
  return FileSize(package) >= kMinimumPackageSize;
}

uint32_t InstallEngine::MoveAsideAndExtract(ArchiveHandle* archive, int32_t index, const std::wstring& target) {
  // A file in use cannot be deleted or recreated, but it can be renamed: move
  // it aside in the install folder, then into the temporary folder, and let
  // Windows delete it at the next reboot.
  const std::wstring aside_in_folder = FormatWide(L"%s%S%d.del", request_.install_folder.c_str(),
                                                  RandomNumberText().c_str(), index);
  const std::wstring aside_in_temp =
      FormatWide(L"%s%S%d.del", TempFolder().c_str(), RandomNumberText().c_str(), index);
  _wrename(target.c_str(), aside_in_folder.c_str());
  MoveFileW(aside_in_folder.c_str(), aside_in_temp.c_str());
  MoveFileExW(aside_in_temp.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  return ExtractEntry(archive, index, const_cast<wchar_t*>(target.c_str()), 0, kArchiveKindFileName);
}

bool InstallEngine::ExtractPackage(const std::wstring& package) {
  std::vector<std::wstring> retry;
  int32_t extracted = 0;
  {
    ScopedArchive archive(OpenArchive(package.c_str(), 0, kArchiveKindFileName, nullptr));
    const int32_t count = EntryCount(archive.get());
    for (int32_t i = 0; i < count; ++i) {
      ArchiveEntry entry;
      // An entry whose name sanitises to nothing has no place to go.
      if (GetEntry(archive.get(), i, &entry) == kArchiveOk && !entry.name.empty()) {
        const std::wstring target = FormatWide(L"%s%s", request_.install_folder.c_str(), entry.name.c_str());
        DeleteFileW(target.c_str());
        uint32_t result = ExtractEntry(archive.get(), i, const_cast<wchar_t*>(target.c_str()), 0,
                                       kArchiveKindFileName);
        // Only a file is moved aside: an entry whose name leads to a folder
        // (the install folder itself, for a name that sanitises to nothing)
        // must never move that folder away.
        if (result != kArchiveOk && !IsDirectory(target)) result = MoveAsideAndExtract(archive.get(), i, target);
        if (result == kArchiveOk) ++extracted;
        if (FileSize(target) == 0) retry.push_back(entry.name);
      }
      PostProgress(static_cast<int>(static_cast<double>(i) / count * kExtractSpan + kExtractBase));
    }
  }
  if (!retry.empty()) {
    // Some entries came out empty (a file briefly held by another program,
    // say): extract each of them once more after all others.
    ScopedArchive archive(OpenArchive(package.c_str(), 0, kArchiveKindFileName, nullptr));
    const int32_t count = EntryCount(archive.get());
    for (int32_t i = 0; i < count; ++i) {
      ArchiveEntry entry;
      if (GetEntry(archive.get(), i, &entry) != kArchiveOk) continue;
      if (std::find(retry.begin(), retry.end(), entry.name) == retry.end()) continue;
      const std::wstring target = FormatWide(L"%s%s", request_.install_folder.c_str(), entry.name.c_str());
      DeleteFileW(target.c_str());
      (void)ExtractEntry(archive.get(), i, const_cast<wchar_t*>(target.c_str()), 0, kArchiveKindFileName);
    }
  }
  return extracted > 0;
}

void InstallEngine::Integrate() {
  WriteUninstallEntry(request_);
  WriteMainIni(request_);
  PostProgress(96);
  CreateShortcuts(request_);
  RunPostInstallHelpers(request_);
  PostProgress(97);
}

void InstallEngine::Fail() {
  PostToHost([](InstallHost* host) { host->ShowInstallFailed(); });
  ReportEvent(Identity(), request_.context.app, "error", "install", request_.context.pos);
}

void InstallEngine::RunInstall() {
  if (host_alive_.expired()) return;
  const std::wstring package = PackagePath();
  if (!DownloadPackage(package)) {
    // A download too small to be the package is of no use to anyone: it
    // must not be left in the user's temporary folder.
    DeleteFileW(package.c_str());
    Fail();
    return;
  }
  const bool extracted = ExtractPackage(package);
  DeleteFileW(package.c_str());
  if (!extracted) {
    // A package that is not an archive, or from which nothing could be
    // extracted, installed nothing: it must not be registered or reported as
    // a success.
    Fail();
    return;
  }
  Integrate();
  (void)LaunchAsDesktopUser(MainExecutablePath(request_), request_.install_folder);
  PostToHost([](InstallHost* host) { host->ShowInstallFinished(); });
  ReportEvent(Identity(), request_.context.app, "succeed", "install", request_.context.pos);
  request_.install_finished->store(true);
}
