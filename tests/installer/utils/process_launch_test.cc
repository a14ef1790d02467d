#include "installer/process_launch.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/installer/utils/test_programs.h"
#include "tests/support/file_util.h"
#include "tests/support/scoped_temp_dir.h"

namespace {

constexpr unsigned kStartTimeoutMs = 20000;

std::wstring MarkerWriter() { return test::BesideTestProgram(L"marker_writer.exe"); }

// Command line of marker_writer recording into `marker`, with `arguments`.
std::wstring MarkerCommand(const std::wstring& marker, const std::wstring& arguments = L"") {
  std::wstring command = test::Quoted(MarkerWriter()) + L" " + test::Quoted(marker);
  if (!arguments.empty()) command += L" " + arguments;
  return command;
}

TEST(ProcessLaunchTest, RunProcessStartsTheCommandInTheGivenFolder) {
  test::ScopedTempDir temp;
  const std::wstring folder = temp.Child(L"work dir");
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  const std::wstring marker = temp.Child(L"marker.txt");
  ASSERT_TRUE(RunProcess(MarkerCommand(marker, L"one \"two words\""), L"", folder));
  ASSERT_TRUE(test::WaitForFile(marker, kStartTimeoutMs));
  test::Marker recorded = test::ReadMarker(marker);
  EXPECT_TRUE(test::SameFolder(recorded.folder, folder)) << test::Narrow(recorded.folder);
  EXPECT_EQ(recorded.arguments, (std::vector<std::wstring>{L"one", L"two words"}));
}

TEST(ProcessLaunchTest, RunProcessPassesLongCommandLinesWhole) {
  // Far beyond 1024 characters: a long install path must not be cut short.
  test::ScopedTempDir temp;
  const std::wstring marker = temp.Child(L"marker.txt");
  std::wstring long_argument;
  for (int i = 0; i < 3000; ++i) long_argument.push_back(static_cast<wchar_t>(L'a' + i % 26));
  long_argument += L"鲁墨";
  ASSERT_TRUE(RunProcess(MarkerCommand(marker, long_argument + L" last"), L"", L""));
  ASSERT_TRUE(test::WaitForFile(marker, kStartTimeoutMs));
  EXPECT_EQ(test::ReadMarker(marker).arguments, (std::vector<std::wstring>{long_argument, L"last"}));
}

TEST(ProcessLaunchTest, RunProcessUsesTheApplicationNameWhenGiven) {
  test::ScopedTempDir temp;
  const std::wstring marker = temp.Child(L"marker.txt");
  // The command line's first word is not a program; the application name is.
  ASSERT_TRUE(RunProcess(L"not-a-program " + test::Quoted(marker) + L" x", MarkerWriter(), L""));
  ASSERT_TRUE(test::WaitForFile(marker, kStartTimeoutMs));
  EXPECT_EQ(test::ReadMarker(marker).arguments, (std::vector<std::wstring>{L"x"}));
}

TEST(ProcessLaunchTest, RunProcessFailsForAMissingProgramOrFolder) {
  test::ScopedTempDir temp;
  EXPECT_FALSE(RunProcess(test::Quoted(temp.Child(L"missing.exe")), L"", L""));
  EXPECT_FALSE(RunProcess(MarkerCommand(temp.Child(L"marker.txt")), L"", temp.Child(L"no such folder")));
}

TEST(ProcessLaunchTest, RegisterServerRunsTheDllsRegistrationSilently) {
  // The path has blanks, so regsvr32 only finds the DLL if it is quoted.
  test::ScopedTempDir temp;
  const std::wstring folder = temp.Child(L"with blanks 鲁墨\\");
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  const std::wstring dll = folder + L"register probe.dll";
  ASSERT_TRUE(CopyFileW(test::BesideTestProgram(L"register_probe.dll").c_str(), dll.c_str(), FALSE));
  ASSERT_TRUE(RegisterServer(dll));
  EXPECT_TRUE(test::WaitForFile(dll + L".registered", kStartTimeoutMs));
}

TEST(ProcessLaunchTest, ShellOpenStartsTheFileWithItsParameters) {
  test::ScopedTempDir temp;
  const std::wstring marker = temp.Child(L"marker.txt");
  ASSERT_TRUE(ShellOpen(MarkerWriter(), test::Quoted(marker) + L" regdll=C:\\x\\y.dll"));
  ASSERT_TRUE(test::WaitForFile(marker, kStartTimeoutMs));
  EXPECT_EQ(test::ReadMarker(marker).arguments, (std::vector<std::wstring>{L"regdll=C:\\x\\y.dll"}));
}

TEST(ProcessLaunchTest, ShellOpenReportsAFileThatCannotBeOpened) {
  test::ScopedTempDir temp;
  EXPECT_FALSE(ShellOpen(temp.Child(L"missing.exe"), L""));
}

// The desktop shell is not running under Wine, so there is no shell window
// whose token could be borrowed: nothing may be started then.
TEST(ProcessLaunchTest, LaunchAsDesktopUserStartsNothingWithoutAShellWindow) {
  if (GetShellWindow() != nullptr) GTEST_SKIP() << "a shell window is registered in this session";
  test::ScopedTempDir temp;
  const std::wstring marker = temp.Child(L"marker.txt");
  EXPECT_FALSE(LaunchAsDesktopUser(MarkerCommand(marker), temp.path()));
  EXPECT_FALSE(test::WaitForFile(marker, 1000));
}

// A stand-in shell (fake_shell) registers its window as the shell window,
// as explorer does; the program is then started with its process's token.
class FakeShell {
 public:
  explicit FakeShell(const std::wstring& ready_file) {
    std::wstring command = test::Quoted(test::BesideTestProgram(L"fake_shell.exe")) + L" " + test::Quoted(ready_file);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
      CloseHandle(process.hThread);
      process_ = process.hProcess;
      registered_ = test::WaitForFile(ready_file, kStartTimeoutMs) && test::ReadFileBytes(ready_file) == "1";
    }
  }
  ~FakeShell() {
    if (!process_) return;
    if (HWND shell = GetShellWindow()) PostMessageW(shell, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process_, 10000) != WAIT_OBJECT_0) TerminateProcess(process_, 1);
    CloseHandle(process_);
  }
  FakeShell(const FakeShell&) = delete;
  FakeShell& operator=(const FakeShell&) = delete;
  bool registered() const { return registered_; }
  DWORD process_id() const { return process_ ? GetProcessId(process_) : 0; }

 private:
  HANDLE process_ = nullptr;
  bool registered_ = false;
};

TEST(ProcessLaunchTest, LaunchAsDesktopUserStartsTheProgramWithTheShellsToken) {
  test::ScopedTempDir temp;
  FakeShell shell(temp.Child(L"shell-ready.txt"));
  ASSERT_TRUE(shell.registered());
  HWND shell_window = GetShellWindow();
  ASSERT_NE(shell_window, nullptr);
  DWORD owner = 0;
  GetWindowThreadProcessId(shell_window, &owner);
  ASSERT_EQ(owner, shell.process_id());

  const std::wstring folder = temp.Child(L"install 鲁墨\\");
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  const std::wstring marker = temp.Child(L"marker.txt");
  ASSERT_TRUE(LaunchAsDesktopUser(MarkerCommand(marker, L"started"), folder));
  ASSERT_TRUE(test::WaitForFile(marker, kStartTimeoutMs));
  test::Marker recorded = test::ReadMarker(marker);
  EXPECT_TRUE(test::SameFolder(recorded.folder, folder)) << test::Narrow(recorded.folder);
  EXPECT_EQ(recorded.arguments, (std::vector<std::wstring>{L"started"}));

  EXPECT_FALSE(LaunchAsDesktopUser(test::Quoted(temp.Child(L"missing.exe")), folder));
}

// Windows XP has no elevation, so the program is started directly (in the
// given folder) without any shell window; os_probe runs as "Windows XP".
TEST(ProcessLaunchTest, LaunchAsDesktopUserOnWindowsXpStartsTheProgramDirectly) {
  test::ScopedTempDir temp;
  test::ScopedWineVersion version(L"os_probe.exe", L"winxp");
  const std::wstring folder = temp.Child(L"install");
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  const std::wstring marker = temp.Child(L"marker.txt");
  const std::wstring report = temp.Child(L"report.txt");
  const std::wstring probe = test::Quoted(test::BesideTestProgram(L"os_probe.exe")) + L" " + test::Quoted(report) +
                             L" " + test::Quoted(marker) + L" " + test::Quoted(folder);
  ASSERT_EQ(test::RunAndWait(probe, 30000), 0);
  EXPECT_EQ(test::ReadFileBytes(report), "code=1\nname=winXP\nlaunched=1\n");
  ASSERT_TRUE(test::WaitForFile(marker, kStartTimeoutMs));
  test::Marker recorded = test::ReadMarker(marker);
  EXPECT_TRUE(test::SameFolder(recorded.folder, folder)) << test::Narrow(recorded.folder);
  EXPECT_EQ(recorded.arguments, (std::vector<std::wstring>{L"probe"}));
}

}  // namespace
