// HttpClient::Get against the HTTPS fixture: what the server receives, what
// the caller gets back, and the body file.
#include <curl/curl.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "installer/http_client.h"
#include "tests/support/file_util.h"
#include "tests/support/fixture_client.h"
#include "tests/support/scoped_temp_dir.h"

namespace {

constexpr char kUserAgent[] =
    "Mozilla/5.0 (Windows NT 10.0; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/70.0.3538.25 Safari/537.36 Core/1.70.3878.400 QQBrowser/10.8.4518.400";

std::string HostOf(int port) { return "127.0.0.1:" + std::to_string(port); }

int64_t FileSizeOf(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

TEST(HttpClientGetTest, SendsTheFixedHeadersInTheirOrder) {
  HttpClient client;
  ASSERT_TRUE(client.Init());
  std::string marker = test::UniqueName("headers");
  std::string text;
  ASSERT_EQ(200, client.Get(test::MainUrl("/echo?m=" + marker), &text, L""));

  // libcurl places the Host line straight after the request line; the other
  // four keep their order and nothing else is added.
  std::string host = HostOf(test::Fixture().main_port);
  EXPECT_EQ("GET /echo?m=" + marker + " HTTP/1.1\r\n"
            "Host: " + host + "\r\n"
            "Accept: */*\r\n"
            "Accept-Language: zh-CN\r\n"
            "User-Agent: " + kUserAgent + "\r\n"
            "Connection: Keep-Alive\r\n",
            text);

  auto log = test::RequestLog("/echo?m=" + marker);
  ASSERT_EQ(1u, log.size());
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"Host", host},
      {"Accept", "*/*"},
      {"Accept-Language", "zh-CN"},
      {"User-Agent", kUserAgent},
      {"Connection", "Keep-Alive"},
  };
  EXPECT_EQ(expected, log[0].headers);
  EXPECT_EQ("GET", log[0].method);
}

TEST(HttpClientGetTest, SchemeAndBlanksOfTheUrlDecideWhereTheRequestGoes) {
  const int http = test::Fixture().http_port;
  const int https = test::Fixture().main_port;
  const struct {
    const char* what;
    std::string before_path;
    const char* after_path;
    const char* listener;
    int port;
  } kCases[] = {
      {"no scheme is plain http", HostOf(http), "", "http", http},
      {"leading blanks, no scheme", "  \t" + HostOf(http), "", "http", http},
      {"blanks around https", " \thttps://" + HostOf(https), " \t ", "main", https},
      {"explicit http", "http://" + HostOf(http), "", "http", http},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    std::string path = "/echo?m=" + test::UniqueName("scheme");
    std::string url = c.before_path + path + c.after_path;
    HttpClient client;
    ASSERT_TRUE(client.Init());
    std::string text;
    EXPECT_EQ(200, client.Get(url, &text, L""));
    auto log = test::RequestLog(path);
    ASSERT_EQ(1u, log.size());
    EXPECT_EQ(c.listener, log[0].listener);
    EXPECT_EQ(HostOf(c.port), log[0].Header("Host"));
  }
}

TEST(HttpClientGetTest, AUrlWithHttpsInsideIsNotPrefixedAndStillNamesItsOwnHost) {
  // "https://" in the query keeps the URL as it is; libcurl then takes it as
  // plain http, and the Host line must name the host it connects to, not the
  // one inside the query.
  const int http = test::Fixture().http_port;
  std::string marker = test::UniqueName("inner");
  std::string path = "/echo?m=" + marker + "&next=https://elsewhere.invalid/x";
  HttpClient client;
  ASSERT_TRUE(client.Init());
  std::string text;
  EXPECT_EQ(200, client.Get(HostOf(http) + path, &text, L""));
  auto log = test::RequestLog("/echo?m=" + marker);
  ASSERT_EQ(1u, log.size());
  EXPECT_EQ("http", log[0].listener);
  EXPECT_EQ(HostOf(http), log[0].Header("Host"));
}

TEST(HttpClientGetTest, ReturnsTheStatusAndTheBodyOfEveryAnswer) {
  const struct {
    const char* path;
    int status;
    std::string body;
  } kCases[] = {
      {"/api/count/flow?data=x", 200, "{\"code\":0}"},
      {"/status/404", 404, "status 404\n"},
      {"/status/500", 500, "status 500\n"},
      {"/redirect/302?to=/status/201", 201, "status 201\n"},
  };
  HttpClient client;
  ASSERT_TRUE(client.Init());
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.path);
    std::string text = "left over";
    EXPECT_EQ(c.status, client.Get(test::MainUrl(c.path), &text, L""));
    EXPECT_EQ(c.body, text);
    // The headers belong to the last answer only.
    EXPECT_NE(std::string::npos,
              client.response_headers().find("HTTP/1.1 " + std::to_string(c.status)));
    EXPECT_EQ(std::string::npos, client.response_headers().find("left over"));
  }
}

TEST(HttpClientGetTest, BodyTextIsValidUtf8CutAtTheFirstNul) {
  // 鲁墨 is three bytes per character; 40000 of them cross many chunk
  // boundaries, so a character is certainly split between two chunks.
  std::string long_text;
  for (int i = 0; i < 20000; ++i) long_text += "\xe9\xb2\x81\xe5\xa2\xa8";
  const struct {
    const char* what;
    std::string served;
    std::string expected;
  } kCases[] = {
      {"plain UTF-8 across chunks", long_text, long_text},
      {"invalid bytes become U+FFFD", "ok\xff!", "ok\xef\xbf\xbd!"},
      {"cut at the first NUL", std::string("before\0after", 12), "before"},
      {"empty", "", ""},
  };
  HttpClient client;
  ASSERT_TRUE(client.Init());
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    std::string name = test::UniqueName("utf8");
    ASSERT_TRUE(test::PutFile(name, c.served));
    std::string text;
    EXPECT_EQ(200, client.Get(test::MainUrl("/files/" + name), &text, L""));
    EXPECT_TRUE(text == c.expected) << "got " << text.size() << " bytes";
  }
}

TEST(HttpClientGetTest, TransportFailuresGiveNoStatusAndLibcurlsText) {
  const struct {
    const char* what;
    int port;
    CURLcode expected;
  } kCases[] = {
      {"certificate of another CA", test::Fixture().other_ca_port, CURLE_PEER_FAILED_VERIFICATION},
      {"certificate for another host", test::Fixture().wrong_host_port,
       CURLE_PEER_FAILED_VERIFICATION},
      {"expired certificate", test::Fixture().expired_port, CURLE_PEER_FAILED_VERIFICATION},
      {"nothing listening", 9, CURLE_COULDNT_CONNECT},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    std::string path = "/api/count/flow?m=" + test::UniqueName("tls");
    HttpClient client;
    ASSERT_TRUE(client.Init());
    std::string text;
    EXPECT_EQ(0, client.Get(test::UrlOn(c.port, path), &text, L""));
    EXPECT_EQ(curl_easy_strerror(c.expected), text);
    EXPECT_TRUE(test::RequestLog(path).empty());
  }
}

TEST(HttpClientGetTest, WithoutInitNothingIsSent) {
  std::string path = "/api/count/flow?m=" + test::UniqueName("noinit");
  HttpClient client;
  std::string text;
  EXPECT_EQ(0, client.Get(test::MainUrl(path), &text, L""));
  EXPECT_EQ("InitLibCurl is not invoked", text);
  EXPECT_TRUE(test::RequestLog(path).empty());
}

TEST(HttpClientGetTest, BodyFileGetsTheRawBodyInItsNewFolders) {
  test::ScopedTempDir temp;
  const std::wstring file = temp.Child(L"a\\b/body.bin");
  HttpClient client;
  ASSERT_TRUE(client.Init());
  std::string text = "left over";
  ASSERT_EQ(200, client.Get(test::MainUrl("/bytes/300007"), &text, file));
  EXPECT_TRUE(test::ReadFileBytes(file) == test::PatternBytes(300007));
  // The pattern starts with a NUL byte, so the text is empty.
  EXPECT_EQ("", text);

  // The next GET starts the file afresh instead of appending to it.
  ASSERT_EQ(200, client.Get(test::MainUrl("/bytes/1000"), &text, file));
  EXPECT_TRUE(test::ReadFileBytes(file) == test::PatternBytes(1000));

  // Even a GET of nothing deletes the file first.
  EXPECT_EQ(0, client.Get("", &text, file));
  EXPECT_FALSE(test::FileExists(file));
}

TEST(HttpClientGetTest, BodyFileGrowsChunkByChunkDuringTheTransfer) {
  test::ScopedTempDir temp;
  const std::wstring file = temp.Child(L"slow.bin");
  constexpr int kTotal = 200000;
  std::atomic<bool> done{false};
  std::set<int64_t> sizes_seen;
  std::thread watcher([&] {
    while (!done) {
      sizes_seen.insert(FileSizeOf(file));
      Sleep(5);
    }
  });
  HttpClient client;
  ASSERT_TRUE(client.Init());
  std::string text;
  // Ten chunks of 20000 bytes, 100 ms apart.
  int status = client.Get(test::MainUrl("/slow/200000?chunk=20000&delay_ms=100"), &text, file);
  done = true;
  watcher.join();
  EXPECT_EQ(200, status);
  EXPECT_TRUE(test::ReadFileBytes(file) == test::PatternBytes(kTotal));
  int partial_sizes = 0;
  for (int64_t size : sizes_seen) partial_sizes += size > 0 && size < kTotal;
  EXPECT_GE(partial_sizes, 2) << "the file only appeared once the transfer had ended";
}

TEST(HttpClientGetTest, ClientsOnSeveralThreadsAtOnceAllSucceed) {
  constexpr int kThreads = 4;
  std::atomic<int> ok{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&ok] {
      HttpClient client;
      std::string text;
      if (client.Init() && client.Get(test::MainUrl("/api/count/flow?data=t"), &text, L"") == 200 &&
          text == "{\"code\":0}") {
        ++ok;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(kThreads, ok.load());
}

}  // namespace
