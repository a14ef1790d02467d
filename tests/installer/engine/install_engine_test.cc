// Whole installs through the engine: packages served by the HTTPS fixture,
// extraction into a temporary install folder, the real registry, shell links,
// statistics requests and a UI thread receiving the progress.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <memory>
#include <string>
#include <vector>

#include "installer/desktop_integration.h"
#include "installer/install_engine.h"
#include "installer/path_util.h"
#include "installer/statistics.h"
#include "tests/installer/engine/engine_test_environment.h"
#include "tests/support/file_util.h"
#include "tests/support/fixture_client.h"
#include "tests/support/scoped_temp_dir.h"
#include "tests/support/zip_builder.h"

namespace {

struct PackageEntry {
  std::string name;
  std::string data;
};

std::string Package(const std::vector<PackageEntry>& entries) {
  test::ZipBuilder builder;
  for (const auto& entry : entries) builder.AddFile(entry.name, entry.data);
  return builder.Build();
}

// A real archive of exactly `size` bytes: one stored entry padded to fit.
std::string PackageOfSize(size_t size) {
  test::ZipEntryOptions stored;
  stored.deflate = false;
  const std::string empty = test::ZipBuilder().AddFile("pad.bin", "", stored).Build();
  std::string zip = test::ZipBuilder().AddFile("pad.bin", test::PatternBytes(size - empty.size()), stored).Build();
  EXPECT_EQ(size, zip.size());
  return zip;
}

// The product's programs, as the demo package carries them.
std::vector<PackageEntry> ProductEntries() {
  return {
      {"Crushwell.exe", test::ReadBuiltFile(CRUSHWELL_EXE)},
      {"uninst.exe", test::ReadBuiltFile(UNINST_EXE)},
      {"docs/readme.txt", "鲁墨文件压缩\r\n"},
      {"data/table.bin", test::PatternBytes(300000)},
  };
}

// A stand-in for the desktop shell: without one there is no shell token to
// start the product with (Wine runs no shell of its own).
class ScopedFakeShell {
 public:
  explicit ScopedFakeShell(const std::wstring& ready_file) {
    std::wstring command = L"\"" + test::Widen(FAKE_SHELL_EXE) + L"\" \"" + ready_file + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    started_ = CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                              &process_);
    registered_ = started_ && test::WaitForPath(ready_file, 15000) && test::ReadFileBytes(ready_file) == "1";
  }
  ~ScopedFakeShell() {
    if (!started_) return;
    HWND window = FindWindowW(L"FakeShellWindow", nullptr);
    if (window) PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process_.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(process_.hProcess, 1);
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
  }
  bool registered() const { return registered_; }

 private:
  PROCESS_INFORMATION process_ = {};
  bool started_ = false;
  bool registered_ = false;
};

// The raw UTF-16 content of the multi-string PendingFileRenameOperations.
std::wstring ReadMultiString(const wchar_t* key_path, bool* present) {
  std::wstring text;
  *present = false;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key_path, 0, KEY_READ, &key) != ERROR_SUCCESS) return text;
  DWORD size = 0;
  if (RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
    text.resize(size / sizeof(wchar_t));
    *present = RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr,
                                reinterpret_cast<BYTE*>(&text[0]), &size) == ERROR_SUCCESS;
    text.resize(size / sizeof(wchar_t));
  }
  RegCloseKey(key);
  return text;
}

class InstallEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::RemoveIntegration();
    ui_ = std::make_unique<test::TestUiThread>();
    host_ = std::make_unique<test::RecordingHost>(ui_->thread_id());
    folder_ = temp_.Child(L"LumoCompressTool\\");
  }
  void TearDown() override {
    ui_.reset();
    test::RemoveIntegration();
  }

  // Serves `zip` and returns its URL.
  std::string Serve(const std::string& zip) {
    const std::string name = test::UniqueName("package") + ".zip";
    EXPECT_TRUE(test::PutFile(name, zip));
    return test::MainUrl("/files/" + name);
  }

  // Runs one whole install from `url` on this thread (the worker's role) and
  // waits for the UI thread to have shown everything posted to it.
  void Install(const std::string& url) {
    request_ = test::MakeRequest(folder_, url, &stats_prefix_);
    if (!host_) {
      // The host is gone before the install starts.
      auto host = std::make_unique<test::RecordingHost>(ui_->thread_id());
      std::weak_ptr<qbase::WeakFlag> flag = host->AcquireWeakFlag();
      host.reset();
      InstallEngine(request_, nullptr, flag).RunInstall();
      return;
    }
    InstallEngine engine(request_, host_.get(), host_->AcquireWeakFlag());
    engine.RunInstall();
    ASSERT_TRUE(ui_->Flush());
  }

  std::vector<std::string> ReportedNodes() {
    std::vector<std::string> nodes;
    for (const test::StatsRequest& request : test::StatsRequests(stats_prefix_)) {
      EXPECT_EQ("install", request.Field("fathernode"));
      // The signature, recomputed independently.
      EXPECT_EQ(test::OpenSslMd5(request.Field("appid") + request.Field("mac") + request.Field("node") +
                                 request.Field("time") + kStatsSalt),
                request.Field("sign"));
      nodes.push_back(request.Field("node"));
    }
    return nodes;
  }

  bool Registered() {
    std::string bytes;
    DWORD type = 0;
    return test::ReadRegistryBytes(HKEY_CURRENT_USER, UninstallKeyPath(), "DisplayName", &bytes, &type);
  }

  bool finished() const { return request_.install_finished->load(); }

  test::ScopedTempDir temp_;
  std::wstring folder_;
  std::unique_ptr<test::TestUiThread> ui_;
  std::unique_ptr<test::RecordingHost> host_;
  InstallRequest request_;
  std::string stats_prefix_;
};

TEST_F(InstallEngineTest, CompleteInstallFromTheServer) {
  const std::vector<PackageEntry> entries = ProductEntries();
  // An existing main.ini keeps the keys the product wrote itself.
  ASSERT_EQ(ERROR_SUCCESS, SHCreateDirectoryExW(nullptr, folder_.c_str(), nullptr));
  ASSERT_TRUE(test::WriteFileBytes(folder_ + L"main.ini", "[uinfo]\r\ntheme=dark\r\n"));
  ScopedFakeShell shell(temp_.Child(L"shell-ready.txt"));
  ASSERT_TRUE(shell.registered());

  Install(Serve(Package(entries)));

  for (const auto& entry : entries) {
    SCOPED_TRACE(entry.name);
    bool ok = false;
    EXPECT_EQ(entry.data, test::ReadFileBytes(folder_ + test::Widen(entry.name), &ok));
    EXPECT_TRUE(ok);
  }
  EXPECT_FALSE(test::FileExists(InstallEngine::PackagePath()));

  std::string icon;
  DWORD type = 0;
  ASSERT_TRUE(test::ReadRegistryBytes(HKEY_CURRENT_USER, UninstallKeyPath(), "DisplayIcon", &icon, &type));
  EXPECT_EQ(test::Narrow(folder_) + "Crushwell.exe" + std::string(1, '\0'), icon);
  wchar_t value[256] = {};
  GetPrivateProfileStringW(L"uinfo", L"theme", L"", value, 256, (folder_ + L"main.ini").c_str());
  EXPECT_STREQ(L"dark", value);
  GetPrivateProfileStringW(L"uinfo", L"mid", L"", value, 256, (folder_ + L"main.ini").c_str());
  EXPECT_STREQ(L"0123456789abcdef0123456789abcdef", value);
  EXPECT_TRUE(test::ReadShortcut(DesktopShortcutPath()).found);
  EXPECT_TRUE(test::ReadShortcut(StartMenuFolderPath() + L"鲁墨文件压缩.lnk").found);
  EXPECT_TRUE(test::ReadShortcut(StartMenuFolderPath() + L"卸载.lnk").found);

  EXPECT_EQ(std::vector<std::string>{"succeed"}, ReportedNodes());

  // Download progress (2 to 50, never falling), then one value per entry and
  // the two integration steps.
  const std::vector<double> values = host_->values();
  const std::vector<double> kTail = {50, 61, 72, 83, 96, 97};
  ASSERT_GT(values.size(), kTail.size());
  EXPECT_EQ(kTail, std::vector<double>(values.end() - kTail.size(), values.end()));
  for (size_t i = 0; i + kTail.size() < values.size(); ++i) {
    EXPECT_GE(values[i], 2);
    EXPECT_LE(values[i], 50);
    if (i > 0) {
      EXPECT_GE(values[i], values[i - 1]);
    }
  }
  EXPECT_EQ(L"正在安装，请不要关闭：97%", host_->texts().back());
  EXPECT_EQ(1, host_->finished_calls());
  EXPECT_EQ(0, host_->failed_calls());
  EXPECT_TRUE(host_->all_on_ui_thread());
  EXPECT_TRUE(finished());

  // The product was started from the install folder, as the desktop user.
  const std::string started = test::WaitForCompleteFile(folder_ + L"crushwell-started.txt", 15000);
  ASSERT_FALSE(started.empty()) << "the product was not started";
  std::wstring folder_no_separator = folder_.substr(0, folder_.size() - 1);
  EXPECT_NE(std::string::npos, started.find("cwd=" + test::Narrow(folder_no_separator))) << started;
}

TEST_F(InstallEngineTest, DownloadSizeThresholdsAndDnsFallbacks) {
  const std::string exactly_512 = PackageOfSize(512);
  const std::string exactly_513 = PackageOfSize(513);
  ASSERT_TRUE(test::PutFile("zip512", exactly_512));
  ASSERT_TRUE(test::PutFile("zip513", exactly_513));
  const struct {
    const char* what;
    const char* script;
    size_t requests;  // first download plus fallback attempts
    bool installs;
  } kCases[] = {
      {"a first package of exactly 512 bytes passes at once", "file zip512", 1, true},
      {"511 bytes every time: all nine fallbacks, then failure", "bytes 511", 10, false},
      {"404 every time", "status 404", 10, false},
      {"a fallback of exactly 512 bytes does not stop the loop, but passes at the end",
       "bytes 100\nfile zip512", 10, true},
      {"a fallback of 513 bytes stops the loop", "bytes 100\nbytes 300\nfile zip513", 3, true},
      {"a body cut short counts as no package", "truncate 4000 1000", 10, false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    test::RemoveIntegration();
    test::RemoveTree(folder_);
    host_ = std::make_unique<test::RecordingHost>(ui_->thread_id());
    const std::string key = test::UniqueName("thresholds");
    ASSERT_TRUE(test::PutScript(key, c.script));

    Install(test::MainUrl("/s/" + key + "/dl/vorandel/package.zip"));

    EXPECT_EQ(c.requests, test::RequestLog("/s/" + key + "/").size());
    EXPECT_EQ(c.installs, finished());
    EXPECT_EQ(c.installs, Registered());
    EXPECT_EQ(c.installs, test::FileExists(folder_ + L"pad.bin"));
    EXPECT_EQ(c.installs ? 1 : 0, host_->finished_calls());
    EXPECT_EQ(c.installs ? 0 : 1, host_->failed_calls());
    EXPECT_EQ(std::vector<std::string>{c.installs ? "succeed" : "error"}, ReportedNodes());
    EXPECT_FALSE(test::FileExists(InstallEngine::PackagePath()));
    if (!c.installs) {
      // Nothing was extracted: the folder holds nothing.
      EXPECT_FALSE(test::FileExists(folder_ + L"main.ini"));
      EXPECT_FALSE(test::ReadShortcut(DesktopShortcutPath()).found);
    }
  }
}

TEST_F(InstallEngineTest, PackagesThatInstallNothingAreFailures) {
  std::string truncated = Package(ProductEntries());
  truncated.resize(truncated.size() / 2);
  std::string bad_data = Package({{"a.bin", test::PatternBytes(5000)}, {"b.bin", test::PatternBytes(7000)}});
  // Flip bytes inside both entries' compressed data: every entry fails.
  bad_data[100] ^= 0x55;
  bad_data[bad_data.size() / 2] ^= 0x55;
  const struct {
    const char* what;
    std::string package;
  } kCases[] = {
      {"not an archive", test::PatternBytes(4096)},
      {"an archive cut in half", truncated},
      {"an archive whose every entry is corrupt", bad_data},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    test::RemoveIntegration();
    host_ = std::make_unique<test::RecordingHost>(ui_->thread_id());

    Install(Serve(c.package));

    EXPECT_FALSE(finished());
    EXPECT_FALSE(Registered());
    EXPECT_FALSE(test::ReadShortcut(DesktopShortcutPath()).found);
    EXPECT_FALSE(test::FileExists(folder_ + L"main.ini"));
    EXPECT_EQ(0, host_->finished_calls());
    EXPECT_EQ(1, host_->failed_calls());
    EXPECT_EQ(std::vector<std::string>{"error"}, ReportedNodes());
    EXPECT_FALSE(test::FileExists(InstallEngine::PackagePath()));
  }
}

TEST_F(InstallEngineTest, FileInUseIsMovedAsideAndReplaced) {
  // A running program's file is the file in use an installer meets: Windows
  // refuses to delete or overwrite it but lets it be renamed. (A file held
  // open without delete sharing cannot even be renamed, on Windows as under
  // Wine, so no installer could replace it.)
  ASSERT_EQ(ERROR_SUCCESS, SHCreateDirectoryExW(nullptr, folder_.c_str(), nullptr));
  const std::wstring target = folder_ + L"engine.exe";
  const std::string old_program = test::ReadBuiltFile(IDLE_PROGRAM_EXE);
  ASSERT_TRUE(test::WriteFileBytes(target, old_program));
  std::wstring command = L"\"" + target + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION running = {};
  ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &running));
  ASSERT_FALSE(DeleteFileW(target.c_str())) << "the running program's file should be in use";
  const std::string new_program = "new version " + test::PatternBytes(3000);

  const wchar_t* kSessionManager = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
  bool had_pending = false;
  const std::wstring pending_before = ReadMultiString(kSessionManager, &had_pending);

  Install(Serve(Package({{"engine.exe", new_program}, {"other.txt", "x"}})));

  EXPECT_EQ(new_program, test::ReadFileBytes(target));
  EXPECT_TRUE(finished());
  // The old file went to the temporary folder under a ".del" name, queued for
  // deletion at the next reboot.
  bool has_pending = false;
  const std::wstring pending_text = ReadMultiString(kSessionManager, &has_pending);
  ASSERT_TRUE(has_pending);
  const std::wstring temp = TempFolder();
  std::wstring queued;
  for (size_t start = 0; start < pending_text.size();) {
    size_t end = pending_text.find(L'\0', start);
    if (end == std::wstring::npos) end = pending_text.size();
    std::wstring item = pending_text.substr(start, end - start);
    if (item.size() > 5 && item.compare(item.size() - 5, 5, L"0.del") == 0 &&
        item.find(temp.substr(2)) != std::wstring::npos) {
      queued = item;
    }
    start = end + 1;
  }
  ASSERT_FALSE(queued.empty()) << "no .del file queued for deletion in " << test::Narrow(pending_text);
  const std::wstring aside = queued.substr(queued.find(L":\\") - 1);
  EXPECT_EQ(old_program, test::ReadFileBytes(aside));
  // Nothing is left in the install folder under a ".del" name.
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((folder_ + L"*.del").c_str(), &found);
  EXPECT_EQ(INVALID_HANDLE_VALUE, find);
  if (find != INVALID_HANDLE_VALUE) FindClose(find);

  TerminateProcess(running.hProcess, 0);
  WaitForSingleObject(running.hProcess, 10000);
  CloseHandle(running.hProcess);
  CloseHandle(running.hThread);
  DeleteFileW(aside.c_str());
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
    if (had_pending) {
      RegSetValueExW(key, L"PendingFileRenameOperations", 0, REG_MULTI_SZ,
                     reinterpret_cast<const BYTE*>(pending_before.data()),
                     static_cast<DWORD>(pending_before.size() * sizeof(wchar_t)));
    } else {
      RegDeleteValueW(key, L"PendingFileRenameOperations");
    }
    RegCloseKey(key);
  }
}

// Names of files created in a folder, in the order the system reports them.
class FolderWatcher {
 public:
  explicit FolderWatcher(const std::wstring& folder) {
    folder_ = CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
    event_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    Arm();
  }
  ~FolderWatcher() {
    CancelIo(folder_);
    CloseHandle(folder_);
    CloseHandle(event_);
  }
  // Collects notifications until none has arrived for `quiet_ms`.
  std::vector<std::wstring> Added(unsigned quiet_ms) {
    while (WaitForSingleObject(event_, quiet_ms) == WAIT_OBJECT_0) {
      DWORD bytes = 0;
      if (!GetOverlappedResult(folder_, &overlapped_, &bytes, FALSE)) break;
      for (size_t at = 0; bytes > 0;) {
        auto* info = reinterpret_cast<FILE_NOTIFY_INFORMATION*>(buffer_ + at);
        if (info->Action == FILE_ACTION_ADDED) {
          added_.emplace_back(info->FileName, info->FileNameLength / sizeof(wchar_t));
        }
        if (!info->NextEntryOffset) break;
        at += info->NextEntryOffset;
      }
      Arm();
    }
    return added_;
  }

 private:
  void Arm() {
    ResetEvent(event_);
    overlapped_ = {};
    overlapped_.hEvent = event_;
    ReadDirectoryChangesW(folder_, buffer_, sizeof(buffer_), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME, nullptr,
                          &overlapped_, nullptr);
  }

  HANDLE folder_;
  HANDLE event_;
  OVERLAPPED overlapped_ = {};
  alignas(DWORD) char buffer_[16384];
  std::vector<std::wstring> added_;
};

TEST_F(InstallEngineTest, EmptyResultIsExtractedAgainAfterAllOthers) {
  ASSERT_EQ(ERROR_SUCCESS, SHCreateDirectoryExW(nullptr, folder_.c_str(), nullptr));
  FolderWatcher watcher(folder_);
  // b.txt is large enough for the package to pass the download's size test.
  Install(Serve(Package({{"empty.txt", ""}, {"a.txt", "a"}, {"b.txt", test::PatternBytes(4000)}})));
  EXPECT_TRUE(finished());
  EXPECT_EQ(0, FileSize(folder_ + L"empty.txt"));

  std::vector<std::wstring> added = watcher.Added(1000);
  std::vector<std::wstring> entries;
  for (const std::wstring& name : added) {
    if (name == L"empty.txt" || name == L"a.txt" || name == L"b.txt") entries.push_back(name);
  }
  const std::vector<std::wstring> kExpected = {L"empty.txt", L"a.txt", L"b.txt", L"empty.txt"};
  EXPECT_EQ(kExpected, entries);
  // Three entries: 50, 65, 80.
  const std::vector<double> values = host_->values();
  ASSERT_GE(values.size(), 5u);
  EXPECT_EQ((std::vector<double>{50, 65, 80, 96, 97}), std::vector<double>(values.end() - 5, values.end()));
}

TEST_F(InstallEngineTest, SecondInstallReplacesShortcutsAndRewritesValues) {
  const std::string url = Serve(Package(ProductEntries()));
  Install(url);
  ASSERT_TRUE(finished());

  // Damage what the first install wrote, and add a key of the product's own.
  ASSERT_TRUE(test::WriteFileBytes(DesktopShortcutPath(), "damaged"));
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, UninstallKeyPath().c_str(), 0, KEY_SET_VALUE, &key));
  RegSetValueExA(key, "DisplayVersion", 0, REG_SZ, reinterpret_cast<const BYTE*>("0"), 2);
  RegCloseKey(key);
  const std::wstring ini = folder_ + L"main.ini";
  WritePrivateProfileStringW(L"info", L"setup", L"stale", ini.c_str());
  WritePrivateProfileStringW(L"uinfo", L"lastfile", L"report.zip", ini.c_str());

  host_ = std::make_unique<test::RecordingHost>(ui_->thread_id());
  Install(url);
  ASSERT_TRUE(finished());

  test::ShortcutInfo link = test::ReadShortcut(DesktopShortcutPath());
  ASSERT_TRUE(link.found);
  EXPECT_EQ(0, _wcsicmp((folder_ + L"Crushwell.exe").c_str(), link.target.c_str()));
  std::string version;
  DWORD type = 0;
  ASSERT_TRUE(test::ReadRegistryBytes(HKEY_CURRENT_USER, UninstallKeyPath(), "DisplayVersion", &version, &type));
  EXPECT_EQ(std::string("2024.102.1708.20") + std::string(1, '\0'), version);
  wchar_t value[256] = {};
  GetPrivateProfileStringW(L"info", L"setup", L"", value, 256, ini.c_str());
  EXPECT_STREQ(L"vorandel_1001_ab", value);
  GetPrivateProfileStringW(L"uinfo", L"lastfile", L"", value, 256, ini.c_str());
  EXPECT_STREQ(L"report.zip", value);
}

TEST_F(InstallEngineTest, NothingHappensWhenTheHostIsAlreadyGone) {
  const std::string key = test::UniqueName("gone");
  ASSERT_TRUE(test::PutScript(key, "file zip-gone"));
  host_.reset();
  Install(test::MainUrl("/s/" + key + "/package.zip"));
  EXPECT_TRUE(test::RequestLog("/s/" + key + "/").empty());
  EXPECT_FALSE(finished());
  EXPECT_FALSE(Registered());
}

}  // namespace
