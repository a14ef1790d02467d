#include "tests/installer/engine/engine_test_environment.h"

#include <objbase.h>
#include <shlobj.h>
#include <openssl/evp.h>

#include <atomic>
#include <cstring>

#include "base/thread_registry.h"
#include "installer/desktop_integration.h"
#include "installer/install_engine.h"
#include "installer/thread_ids.h"
#include "tests/support/file_util.h"
#include "tests/support/fixture_client.h"
#include "tests/support/scoped_temp_dir.h"

namespace test {

void RecordingHost::ShowInstallProgress(double value, const std::wstring& text) {
  std::lock_guard<std::mutex> hold(lock_);
  values_.push_back(value);
  texts_.push_back(text);
  off_thread_ |= GetCurrentThreadId() != ui_thread_id_;
}

void RecordingHost::ShowInstallFinished() {
  std::lock_guard<std::mutex> hold(lock_);
  off_thread_ |= GetCurrentThreadId() != ui_thread_id_;
  ++finished_;
}

void RecordingHost::ShowInstallFailed() {
  std::lock_guard<std::mutex> hold(lock_);
  off_thread_ |= GetCurrentThreadId() != ui_thread_id_;
  ++failed_;
}

std::vector<double> RecordingHost::values() const {
  std::lock_guard<std::mutex> hold(lock_);
  return values_;
}

std::vector<std::wstring> RecordingHost::texts() const {
  std::lock_guard<std::mutex> hold(lock_);
  return texts_;
}

int RecordingHost::finished_calls() const {
  std::lock_guard<std::mutex> hold(lock_);
  return finished_;
}

int RecordingHost::failed_calls() const {
  std::lock_guard<std::mutex> hold(lock_);
  return failed_;
}

bool RecordingHost::all_on_ui_thread() const {
  std::lock_guard<std::mutex> hold(lock_);
  return !off_thread_;
}

TestUiThread::TestUiThread() : qbase::FrameworkThread("Test UI Thread") {
  StartWithLoop(qbase::LoopKind::kUi);
}

TestUiThread::~TestUiThread() { Stop(); }

void TestUiThread::Init() {
  ui_thread_id_ = GetCurrentThreadId();
  qbase::ThreadRegistry::RegisterThread(kUiThread);
}

void TestUiThread::Cleanup() { qbase::ThreadRegistry::UnregisterThread(); }

bool TestUiThread::Flush() {
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  bool posted = qbase::ThreadRegistry::PostTask(kUiThread, [done] { SetEvent(done); });
  bool ok = posted && WaitForSingleObject(done, 20000) == WAIT_OBJECT_0;
  // The event is left to the task when it has not run yet.
  if (ok) CloseHandle(done);
  return ok;
}

InstallRequest MakeRequest(const std::wstring& install_folder, const std::string& package_url,
                           std::string* stats_prefix) {
  InstallRequest request;
  request.install_folder = install_folder;
  request.context = InstallContext{"vorandel_1001_ab", "1.25.7.71", "vorandel", "1001", "1.25.7.71", "win7", "ab"};
  request.machine_id = "0123456789abcdef0123456789abcdef";
  request.system_bitness = 64;
  std::string prefix = "/" + UniqueName("stats");
  request.endpoints.package_url = package_url;
  request.endpoints.stats_origin = MainUrl(prefix);
  *stats_prefix = prefix + "/api/count/flow";
  return request;
}

void RemoveIntegration() {
  RegDeleteKeyA(HKEY_CURRENT_USER, UninstallKeyPath().c_str());
  DeleteFileW(DesktopShortcutPath().c_str());
  RemoveTree(StartMenuFolderPath());
  const std::wstring common = CommonSoftwareFolderPath();
  if (!common.empty()) DeleteFileW((common + L"鲁墨文件压缩.lnk").c_str());
  DeleteFileW(InstallEngine::PackagePath().c_str());
}

bool ReadRegistryBytes(HKEY root, const std::string& key, const std::string& name, std::string* bytes,
                       DWORD* type) {
  HKEY handle = nullptr;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  DWORD size = 0;
  bool ok = RegQueryValueExA(handle, name.c_str(), nullptr, type, nullptr, &size) == ERROR_SUCCESS;
  if (ok) {
    bytes->assign(size, '\0');
    ok = RegQueryValueExA(handle, name.c_str(), nullptr, type, reinterpret_cast<BYTE*>(&(*bytes)[0]), &size) ==
         ERROR_SUCCESS;
    bytes->resize(size);
  }
  RegCloseKey(handle);
  return ok;
}

ShortcutInfo ReadShortcut(const std::wstring& link) {
  ShortcutInfo info;
  if (GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES) return info;
  bool com = SUCCEEDED(CoInitialize(nullptr));
  IShellLinkW* shell_link = nullptr;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&shell_link))) &&
      SUCCEEDED(shell_link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
      SUCCEEDED(file->Load(link.c_str(), STGM_READ))) {
    wchar_t buffer[MAX_PATH * 2] = {};
    if (SUCCEEDED(shell_link->GetPath(buffer, MAX_PATH * 2, nullptr, SLGP_RAWPATH))) info.target = buffer;
    buffer[0] = 0;
    if (SUCCEEDED(shell_link->GetWorkingDirectory(buffer, MAX_PATH * 2))) info.working_folder = buffer;
    info.found = true;
  }
  if (file) file->Release();
  if (shell_link) shell_link->Release();
  if (com) CoUninitialize();
  return info;
}

namespace {

std::string PercentDecode(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// The fields of the flat JSON object the installer sends: "key":"value" pairs
// whose values contain no quote (the installer encodes those).
std::vector<std::pair<std::string, std::string>> ParseFlatJson(const std::string& json) {
  std::vector<std::pair<std::string, std::string>> fields;
  size_t at = 0;
  for (;;) {
    size_t key_start = json.find('"', at);
    if (key_start == std::string::npos) break;
    size_t key_end = json.find('"', key_start + 1);
    size_t value_start = json.find('"', key_end + 1);
    size_t value_end = json.find('"', value_start + 1);
    if (key_end == std::string::npos || value_end == std::string::npos) break;
    fields.emplace_back(json.substr(key_start + 1, key_end - key_start - 1),
                        json.substr(value_start + 1, value_end - value_start - 1));
    at = value_end + 1;
  }
  return fields;
}

}  // namespace

std::string StatsRequest::Field(const std::string& key) const {
  for (const auto& field : fields) {
    if (field.first == key) return field.second;
  }
  return "<missing>";
}

std::vector<StatsRequest> StatsRequests(const std::string& prefix) {
  std::vector<StatsRequest> requests;
  for (const RecordedRequest& recorded : RequestLog(prefix)) {
    StatsRequest request;
    request.raw_path = recorded.path;
    size_t data = recorded.path.find("?data=");
    if (data != std::string::npos) request.fields = ParseFlatJson(PercentDecode(recorded.path.substr(data + 6)));
    requests.push_back(request);
  }
  return requests;
}

std::string OpenSslMd5(const std::string& bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr);
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned int i = 0; i < length; ++i) {
    out += kHex[digest[i] >> 4];
    out += kHex[digest[i] & 0xF];
  }
  return out;
}

std::string ReadBuiltFile(const char* path) { return ReadFileBytes(Widen(path)); }

bool WaitForPath(const std::wstring& path, unsigned timeout_ms) {
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  while (!FileExists(path)) {
    if (GetTickCount64() >= deadline) return false;
    Sleep(50);
  }
  return true;
}

std::string WaitForCompleteFile(const std::wstring& path, unsigned timeout_ms) {
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  do {
    bool ok = false;
    std::string content = ReadFileBytes(path, &ok);
    if (ok && !content.empty() && content.back() == '\n') return content;
    Sleep(50);
  } while (GetTickCount64() < deadline);
  return std::string();
}

}  // namespace test
