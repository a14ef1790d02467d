// The install engine: the one long operation of the installer. It downloads
// the product package into the temporary folder (falling back through a list
// of DNS servers when the download comes out too small), extracts it into the
// install folder (moving files that are in use out of the way), runs the
// desktop integration, starts the product as the signed-in user, reports the
// outcome and tells the window to show its finished page.
//
// Threads: RunInstall runs on the worker thread (kMiscThread) and calls
// OnDownloadProgress there, from inside the download. Progress, the finished
// page and a failure reach the host only as tasks posted to the UI thread
// (kUiThread), bound to the host's weak flag: once the host is gone they do
// nothing. The engine reads only its own copy of the request.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/weak_flag.h"
#include "installer/install_host.h"
#include "installer/install_request.h"
#include "installer/statistics.h"

class ArchiveHandle;

// A download smaller than this is not a package.
inline constexpr int64_t kMinimumPackageSize = 512;

class InstallEngine {
 public:
  // `host_alive` is the host's weak flag, taken on the UI thread (it binds
  // every task posted back to the host).
  InstallEngine(InstallRequest request, InstallHost* host, std::weak_ptr<qbase::WeakFlag> host_alive);

  // The whole install, on the worker thread. Does nothing when the host is
  // already gone. Runs to one of its two ends: finished (install_finished set,
  // "succeed" reported) or failed ("error" reported, host told).
  void RunInstall();

  // Progress of the package download: when both counts are known, shows
  // max(2, received / total * 50) with its text. Always returns true.
  bool OnDownloadProgress(int64_t total, int64_t received, double speed);

  // Posts `percent` and its text to the host.
  void PostProgress(int percent);

  // The text the progress label shows for a value.
  static std::wstring ProgressText(double value);

  // Where the package is downloaded to: temporary folder + product folder
  // name + ".zip".
  static std::wstring PackagePath();

 private:
  // The first download, and the DNS fallbacks while the file is too small.
  // True when a package of at least kMinimumPackageSize bytes is on disk.
  bool DownloadPackage(const std::wstring& package);
  // Extracts every entry; false when the archive cannot be opened or no entry
  // could be extracted.
  bool ExtractPackage(const std::wstring& package);
  // Moves a file that could not be replaced out of the way, then extracts
  // again; the result of that extraction.
  uint32_t MoveAsideAndExtract(ArchiveHandle* archive, int32_t index, const std::wstring& target);
  void Integrate();
  void Fail();
  // Runs `show` on the UI thread while the host lives.
  void PostToHost(std::function<void(InstallHost*)> show);
  StatsIdentity Identity() const;

  InstallRequest request_;
  InstallHost* host_;
  std::weak_ptr<qbase::WeakFlag> host_alive_;
  std::wstring last_download_text_;
};
