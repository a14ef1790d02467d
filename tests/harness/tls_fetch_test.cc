// The statically linked libcurl (OpenSSL backend) fetches over HTTPS from the
// loopback fixture with verification on, and refuses servers whose
// certificates do not chain to the trusted CA or do not name the host.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include "tests/support/file_util.h"
#include "tests/support/fixture_client.h"

namespace {

size_t Append(char* data, size_t size, size_t count, void* out) {
  static_cast<std::string*>(out)->append(data, size * count);
  return size * count;
}

CURLcode Fetch(const std::string& url, std::string* body) {
  CURL* curl = curl_easy_init();
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_CAINFO, test::Fixture().ca_file.c_str());
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Append);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, body);
  CURLcode result = curl_easy_perform(curl);
  curl_easy_cleanup(curl);
  return result;
}

TEST(TlsFetchTest, VerifiedDownloadGetsTheExactBytes) {
  std::string body;
  ASSERT_EQ(CURLE_OK, Fetch(test::MainUrl("/bytes/300007"), &body));
  EXPECT_EQ(test::PatternBytes(300007), body);
}

TEST(TlsFetchTest, CertificatesThatDoNotVerifyAreRefused) {
  const struct {
    const char* what;
    int port;
  } kCases[] = {
      {"another CA", test::Fixture().other_ca_port},
      {"another host name", test::Fixture().wrong_host_port},
      {"expired", test::Fixture().expired_port},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    std::string body;
    EXPECT_EQ(CURLE_PEER_FAILED_VERIFICATION, Fetch(test::UrlOn(c.port, "/bytes/10"), &body));
    EXPECT_TRUE(body.empty());
  }
}

TEST(TlsFetchTest, TheResolverIsTheSystemOne) {
  // The DNS-server option needs c-ares, which is deliberately not built in.
  CURL* curl = curl_easy_init();
  EXPECT_NE(CURLE_OK, curl_easy_setopt(curl, CURLOPT_DNS_SERVERS, "127.0.0.1"));
  curl_easy_cleanup(curl);
  EXPECT_TRUE(curl_version_info(CURLVERSION_NOW)->features & CURL_VERSION_ASYNCHDNS);
}

}  // namespace
