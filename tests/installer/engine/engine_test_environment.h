// What the install-engine tests share: a real UI thread registered as
// kUiThread with a host on it that records what the engine shows, requests
// pointed at the HTTPS fixture, read-back of what an install leaves on the
// system (registry bytes, shortcuts, statistics requests), and clean-up of it.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/framework_thread.h"
#include "base/support_weak_callback.h"
#include "installer/install_host.h"
#include "installer/install_request.h"

namespace test {

// Records every call the engine makes on its host, on the UI thread.
class RecordingHost : public InstallHost, public qbase::SupportWeakCallback {
 public:
  explicit RecordingHost(DWORD ui_thread_id) : ui_thread_id_(ui_thread_id) {}
  void ShowInstallProgress(double value, const std::wstring& text) override;
  void ShowInstallFinished() override;
  void ShowInstallFailed() override;

  std::vector<double> values() const;
  std::vector<std::wstring> texts() const;
  int finished_calls() const;
  int failed_calls() const;
  // True when every call so far arrived on the UI thread.
  bool all_on_ui_thread() const;

 private:
  const DWORD ui_thread_id_;
  mutable std::mutex lock_;
  std::vector<double> values_;
  std::vector<std::wstring> texts_;
  int finished_ = 0;
  int failed_ = 0;
  bool off_thread_ = false;
};

// A UI thread (UI message loop) registered as kUiThread for its lifetime.
class TestUiThread : public qbase::FrameworkThread {
 public:
  TestUiThread();
  ~TestUiThread() override;
  // Waits until every task posted to the UI thread before this call has run
  // (at most 20 s). False on time-out.
  bool Flush();
  DWORD thread_id() const { return ui_thread_id_; }

 protected:
  void Init() override;
  void Cleanup() override;

 private:
  DWORD ui_thread_id_ = 0;
};

// A request for an install into `install_folder` with packages from
// `package_url` and statistics to the fixture under a unique path prefix
// (returned in *stats_prefix, the path the fixture records).
InstallRequest MakeRequest(const std::wstring& install_folder, const std::string& package_url,
                           std::string* stats_prefix);

// Removes what an install leaves outside its folder: the Uninstall entry, the
// shortcuts and the Start-menu folder, the downloaded package.
void RemoveIntegration();

// The raw bytes of a registry value (through the 8-bit interface), and its
// type; false when absent.
bool ReadRegistryBytes(HKEY root, const std::string& key, const std::string& name, std::string* bytes,
                       DWORD* type);

// Target and working folder of a shell link, read back through IShellLinkW.
struct ShortcutInfo {
  bool found = false;
  std::wstring target;
  std::wstring working_folder;
};
ShortcutInfo ReadShortcut(const std::wstring& link);

// One statistics request as the server received it: the JSON fields of its
// "data" (percent-decoded) in the order they were sent.
struct StatsRequest {
  std::string raw_path;
  std::vector<std::pair<std::string, std::string>> fields;
  std::string Field(const std::string& key) const;
};
std::vector<StatsRequest> StatsRequests(const std::string& prefix);

// MD5 as 32 lowercase hex characters, computed with OpenSSL (independent of
// the installer's own MD5).
std::string OpenSslMd5(const std::string& bytes);

// Bytes of a file built in this test build (a "Z:" path).
std::string ReadBuiltFile(const char* path);

// Waits until `path` exists, at most `timeout_ms`.
bool WaitForPath(const std::wstring& path, unsigned timeout_ms);

// Waits until `path` exists and its content ends with a newline, at most
// `timeout_ms`; its content, or empty.
std::string WaitForCompleteFile(const std::wstring& path, unsigned timeout_ms);

}  // namespace test
