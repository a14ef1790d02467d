// Download throughput of HttpClient over loopback HTTPS, against curl's own
// command-line tool built for the same target from the same libcurl and run
// the same way (under Wine, as a Windows program).
//
// Both fetch the fixture's /bytes/N with the same CA into a file in a
// temporary folder, in alternating rounds. For curl the wall-clock time
// includes starting the process, so its own "time_total" is reported too; the
// ratio that matters compares HttpClient's time with that figure.
//
//   bench_http_download [megabytes] [rounds]     (defaults: 200 MB, 5 rounds)
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "installer/http_client.h"
#include "tests/support/file_util.h"
#include "tests/support/fixture_client.h"
#include "tests/support/scoped_temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

int64_t FileSizeOf(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::wstring WindowsPath(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return test::Widen(path);
}

// The kind of work the install engine does per call: a percentage.
struct ProgressSink {
  double last_percent = 0;
  int64_t calls = 0;
  static bool OnProgress(void* context, int64_t total, int64_t received, double) {
    auto* self = static_cast<ProgressSink*>(context);
    ++self->calls;
    if (total > 0 && received > 0) self->last_percent = static_cast<double>(received) / total * 50;
    return true;
  }
};

struct CurlRun {
  bool ok = false;
  double wall_seconds = 0;
  double own_seconds = 0;  // curl's time_total
};

// Runs curl.exe and reads its "-w" output from a pipe.
CurlRun RunCurlTool(const std::string& url, const std::wstring& output) {
  CurlRun run;
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, &inherit, 0)) return run;
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  std::wstring command = L"\"" + WindowsPath(CURL_TOOL_PATH) + L"\" -s -S --cacert \"" +
                         WindowsPath(test::Fixture().ca_file) + L"\" -o \"" + output +
                         L"\" -w \"%{time_total}\" \"" + test::Widen(url) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = write_end;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION process{};
  Clock::time_point start = Clock::now();
  BOOL started = CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                &startup, &process);
  CloseHandle(write_end);
  if (!started) {
    CloseHandle(read_end);
    return run;
  }
  std::string out;
  char buffer[256];
  DWORD got = 0;
  while (ReadFile(read_end, buffer, sizeof(buffer), &got, nullptr) && got > 0) out.append(buffer, got);
  WaitForSingleObject(process.hProcess, 10 * 60 * 1000);
  run.wall_seconds = SecondsSince(start);
  DWORD exit_code = 1;
  GetExitCodeProcess(process.hProcess, &exit_code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  CloseHandle(read_end);
  run.own_seconds = std::atof(out.c_str());
  run.ok = exit_code == 0 && run.own_seconds > 0;
  return run;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  const int64_t megabytes = argc > 1 ? std::atoll(argv[1]) : 200;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
  const int64_t bytes = megabytes * 1000 * 1000;
  if (test::Fixture().main_port == 0) return 1;
  const std::string url = test::MainUrl("/bytes/" + std::to_string(bytes));
  test::ScopedTempDir temp;
  const std::wstring ours_file = temp.Child(L"ours.bin");
  const std::wstring curl_file = temp.Child(L"curl.bin");
  // curl.exe links mingw's thread library dynamically; let it find the DLL.
  wchar_t old_path[32768];
  DWORD old_length = GetEnvironmentVariableW(L"PATH", old_path, 32768);
  std::wstring path = WindowsPath(MINGW_RUNTIME_DIR);
  if (old_length > 0 && old_length < 32768) path += L";" + std::wstring(old_path);
  SetEnvironmentVariableW(L"PATH", path.c_str());

  std::vector<double> ours, curl_wall, curl_own;
  int64_t progress_calls = 0;
  // The order alternates between rounds, so that neither side always runs
  // right after the other's 200 MB file was deleted.
  auto run_ours = [&](int round) {
    ProgressSink sink;
    HttpClient client;
    Clock::time_point start = Clock::now();
    bool ok = client.Download(url, "", ours_file, &sink, ProgressSink::OnProgress);
    double seconds = SecondsSince(start);
    bool complete = ok && FileSizeOf(ours_file) == bytes;
    DeleteFileW(ours_file.c_str());
    if (!complete) {
      std::fprintf(stderr, "HttpClient::Download failed in round %d\n", round + 1);
      return false;
    }
    ours.push_back(seconds);
    progress_calls = sink.calls;
    return true;
  };
  auto run_curl = [&](int round) {
    CurlRun run = RunCurlTool(url, curl_file);
    bool complete = run.ok && FileSizeOf(curl_file) == bytes;
    DeleteFileW(curl_file.c_str());
    if (!complete) {
      std::fprintf(stderr, "curl.exe failed in round %d\n", round + 1);
      return false;
    }
    curl_wall.push_back(run.wall_seconds);
    curl_own.push_back(run.own_seconds);
    return true;
  };
  for (int round = 0; round < rounds; ++round) {
    bool ok = round % 2 ? run_curl(round) && run_ours(round) : run_ours(round) && run_curl(round);
    if (!ok) return 1;
    std::printf("round %d: HttpClient %.3f s, curl.exe %.3f s (own %.3f s)\n", round + 1,
                ours.back(), curl_wall.back(), curl_own.back());
  }

  const double mb = static_cast<double>(bytes) / 1e6;
  const double ours_median = Median(ours);
  const double own_median = Median(curl_own);
  const double wall_median = Median(curl_wall);
  const double ours_best = *std::min_element(ours.begin(), ours.end());
  const double own_best = *std::min_element(curl_own.begin(), curl_own.end());
  std::printf("download of %.0f MB over loopback HTTPS, %d rounds (median / best):\n", mb, rounds);
  std::printf("  HttpClient::Download   %6.1f / %6.1f MB/s  (%lld progress calls)\n",
              mb / ours_median, mb / ours_best, static_cast<long long>(progress_calls));
  std::printf("  curl.exe, own time     %6.1f / %6.1f MB/s\n", mb / own_median, mb / own_best);
  std::printf("  curl.exe, wall clock   %6.1f MB/s median\n", mb / wall_median);
  std::printf("  time ratio HttpClient / curl.exe own time: %.3f median, %.3f best; "
              "against its wall clock %.3f median; goal <= 1.1\n",
              ours_median / own_median, ours_best / own_best, ours_median / wall_median);
  return 0;
}
