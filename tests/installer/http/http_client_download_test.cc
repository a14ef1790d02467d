// HttpClient::Download against the HTTPS fixture, and MakeDirectories on real
// folders: what ends up on disk, what the progress function sees, and that
// every failure leaves no file behind.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

#include "installer/http_client.h"
#include "tests/support/file_util.h"
#include "tests/support/fixture_client.h"
#include "tests/support/scoped_temp_dir.h"

namespace {

struct ProgressCall {
  int64_t total;
  int64_t received;
  double speed;
};

// Records every progress call; answers false once `stop_after` bytes have
// arrived (never when it is negative).
struct ProgressRecorder {
  std::vector<ProgressCall> calls;
  int64_t stop_after = -1;
  bool stopped = false;
  int calls_after_stop = 0;

  static bool Record(void* context, int64_t total, int64_t received, double speed) {
    auto* self = static_cast<ProgressRecorder*>(context);
    if (!self) return true;
    if (self->stopped) ++self->calls_after_stop;
    self->calls.push_back({total, received, speed});
    if (self->stop_after >= 0 && received >= self->stop_after) {
      self->stopped = true;
      return false;
    }
    return true;
  }
};

bool IsDirectory(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(HttpClientDownloadTest, StoresExactlyTheServedBytes) {
  test::ScopedTempDir temp;
  const struct {
    const char* what;
    size_t size;
    const wchar_t* file;
    const char* dns_servers;
  } kCases[] = {
      {"empty body", 0, L"empty.bin", ""},
      {"one byte", 1, L"one.bin", ""},
      {"512 bytes", 512, L"512.bin", ""},
      {"several chunks", 300007, L"chunks.bin", ""},
      {"5 MB into new folders", 5 * 1000 * 1000, L"new\\deeper/big.bin", ""},
      {"with a DNS server list", 70000, L"dns.bin", "127.0.0.2"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    std::wstring file = temp.Child(c.file);
    HttpClient client;
    EXPECT_TRUE(client.Download(test::MainUrl("/bytes/" + std::to_string(c.size)), c.dns_servers,
                                file, nullptr, nullptr));
    bool read = false;
    std::string stored = test::ReadFileBytes(file, &read);
    EXPECT_TRUE(read);
    EXPECT_EQ(c.size, stored.size());
    EXPECT_TRUE(stored == test::PatternBytes(c.size));
  }
}

TEST(HttpClientDownloadTest, ReplacesAnOlderFileInsteadOfAppending) {
  test::ScopedTempDir temp;
  std::wstring file = temp.Child(L"package.zip");
  ASSERT_TRUE(test::WriteFileBytes(file, std::string(4000, 'x')));
  HttpClient client;
  EXPECT_TRUE(client.Download(test::MainUrl("/bytes/1000"), "", file, nullptr, nullptr));
  EXPECT_TRUE(test::ReadFileBytes(file) == test::PatternBytes(1000));
}

TEST(HttpClientDownloadTest, EveryFailureReturnsFalseAndLeavesNoFile) {
  const test::FixtureInfo& fixture = test::Fixture();
  std::string downgrade_marker = test::UniqueName("downgrade");
  const struct {
    const char* what;
    std::string url;
  } kCases[] = {
      {"404", test::MainUrl("/status/404")},
      {"500", test::MainUrl("/status/500")},
      {"body shorter than announced", test::MainUrl("/truncate/100000/40000")},
      {"server goes silent", test::MainUrl("/stall/20000/100000?hold=120")},
      {"certificate of another CA", test::UrlOn(fixture.other_ca_port, "/bytes/1000")},
      {"certificate for another host", test::UrlOn(fixture.wrong_host_port, "/bytes/1000")},
      {"expired certificate", test::UrlOn(fixture.expired_port, "/bytes/1000")},
      {"redirect from https to plain http",
       test::MainUrl("/redirect/302?to=" +
                     test::UrlOn(fixture.http_port, "/bytes/1000%3Fm%3D" + downgrade_marker,
                                 "http"))},
      {"nothing listening", test::UrlOn(9, "/bytes/1000")},
      {"empty url", ""},
  };
  test::ScopedTempDir temp;
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    std::wstring file = temp.Child(L"package.zip");
    // A file from an earlier attempt must not survive a failed one.
    ASSERT_TRUE(test::WriteFileBytes(file, std::string(4000, 'x')));
    ProgressRecorder progress;
    auto start = std::chrono::steady_clock::now();
    HttpClient client;
    EXPECT_FALSE(client.Download(c.url, "", file, &progress, ProgressRecorder::Record));
    auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
                       std::chrono::steady_clock::now() - start).count();
    EXPECT_FALSE(test::FileExists(file));
    // The silent server holds the connection for two minutes; the client
    // must have given up on its own long before.
    EXPECT_LT(seconds, 60);
  }
  EXPECT_TRUE(test::RequestLog("/bytes/1000?m=" + downgrade_marker).empty());
}

TEST(HttpClientDownloadTest, ProgressSeesGrowingCountsUpToTheTotal) {
  constexpr int64_t kSize = 3 * 1000 * 1000;
  const struct {
    const char* what;
    std::string url;
  } kCases[] = {
      {"direct", test::MainUrl("/bytes/3000000")},
      {"after a redirect", test::MainUrl("/redirect/302?to=/bytes/3000000")},
      {"slow chunks", test::MainUrl("/slow/3000000?chunk=300000&delay_ms=20")},
  };
  test::ScopedTempDir temp;
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    ProgressRecorder progress;
    HttpClient client;
    EXPECT_TRUE(client.Download(c.url, "", temp.Child(L"p.bin"), &progress,
                                ProgressRecorder::Record));
    ASSERT_FALSE(progress.calls.empty());
    bool grows = true;
    for (size_t i = 1; i < progress.calls.size(); ++i) {
      grows = grows && progress.calls[i].total >= progress.calls[i - 1].total &&
              progress.calls[i].received >= progress.calls[i - 1].received;
    }
    EXPECT_TRUE(grows);
    int partial = 0;
    for (const auto& call : progress.calls) {
      EXPECT_TRUE(call.total == 0 || call.total == kSize) << call.total;
      EXPECT_LE(call.received, kSize);
      EXPECT_GE(call.speed, 0.0);
      partial += call.total == kSize && call.received > 0 && call.received < kSize;
    }
    EXPECT_GT(partial, 0) << "no call reported a transfer in progress";
    EXPECT_EQ(kSize, progress.calls.back().total);
    EXPECT_EQ(kSize, progress.calls.back().received);
  }
}

TEST(HttpClientDownloadTest, ProgressAnsweringFalseStopsTheTransferAndRemovesTheFile) {
  const struct {
    const char* what;
    int64_t stop_after;
  } kCases[] = {
      {"before any data", 0},
      {"after some data", 1},
  };
  test::ScopedTempDir temp;
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    std::wstring file = temp.Child(L"stopped.bin");
    ProgressRecorder progress;
    progress.stop_after = c.stop_after;
    HttpClient client;
    // Four seconds of trickling data, so stopping early is visible.
    EXPECT_FALSE(client.Download(test::MainUrl("/slow/400000?chunk=10000&delay_ms=100"), "", file,
                                 &progress, ProgressRecorder::Record));
    EXPECT_TRUE(progress.stopped);
    EXPECT_EQ(0, progress.calls_after_stop);
    EXPECT_LT(progress.calls.back().received, 400000);
    EXPECT_FALSE(test::FileExists(file));
  }
}

TEST(MakeDirectoriesTest, CreatesMissingParentsWithEitherSeparator) {
  test::ScopedTempDir temp;
  const struct {
    const wchar_t* relative;
  } kCases[] = {
      {L"one"},
      {L"a\\b\\c"},
      {L"d/e/f"},
      {L"g\\h/i"},
      {L"trailing\\separator\\"},
      {L"a\\b"},  // exists already
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(test::Narrow(c.relative));
    std::wstring path = temp.Child(c.relative);
    EXPECT_TRUE(HttpClient::MakeDirectories(path));
    EXPECT_TRUE(IsDirectory(path));
  }
}

TEST(MakeDirectoriesTest, FailsWhereAFileIsInTheWay) {
  test::ScopedTempDir temp;
  ASSERT_TRUE(test::WriteFileBytes(temp.Child(L"file"), "x"));
  const struct {
    const wchar_t* relative;
  } kCases[] = {
      {L"file"},
      {L"file\\below"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(test::Narrow(c.relative));
    EXPECT_FALSE(HttpClient::MakeDirectories(temp.Child(c.relative)));
  }
  EXPECT_FALSE(HttpClient::MakeDirectories(L""));
}

}  // namespace
