#include "tests/support/fixture_client.h"

#include <curl/curl.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace test {
namespace {

size_t AppendToString(char* data, size_t size, size_t count, void* out) {
  static_cast<std::string*>(out)->append(data, size * count);
  return size * count;
}

struct UploadState {
  const std::string* data;
  size_t offset;
};

size_t ReadFromString(char* buffer, size_t size, size_t count, void* in) {
  auto* state = static_cast<UploadState*>(in);
  size_t n = std::min(size * count, state->data->size() - state->offset);
  std::memcpy(buffer, state->data->data() + state->offset, n);
  state->offset += n;
  return n;
}

// One control request to the main listener; returns the HTTP status (0 on a
// transport error) and fills `body`.
long Control(const char* method, const std::string& path, const std::string* upload,
             std::string* body) {
  CURL* curl = curl_easy_init();
  if (!curl) return 0;
  std::string url = MainUrl(path);
  UploadState state{upload, 0};
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_CAINFO, Fixture().ca_file.c_str());
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
  curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, method);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, AppendToString);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, body);
  if (upload) {
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, ReadFromString);
    curl_easy_setopt(curl, CURLOPT_READDATA, &state);
    curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(upload->size()));
  }
  long status = 0;
  if (curl_easy_perform(curl) == CURLE_OK) curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  curl_easy_cleanup(curl);
  return status;
}

}  // namespace

const FixtureInfo& Fixture() {
  static const FixtureInfo info = [] {
    FixtureInfo result;
    std::string dir = TEST_FIXTURE_DIR;
    std::ifstream in(dir + "/info.txt");
    std::string line;
    while (std::getline(in, line)) {
      auto eq = line.find('=');
      if (eq == std::string::npos) continue;
      std::string key = line.substr(0, eq);
      int value = std::atoi(line.c_str() + eq + 1);
      if (key == "main_port") result.main_port = value;
      if (key == "http_port") result.http_port = value;
      if (key == "other_ca_port") result.other_ca_port = value;
      if (key == "wrong_host_port") result.wrong_host_port = value;
      if (key == "expired_port") result.expired_port = value;
    }
    result.ca_file = dir + "/ca.pem";
    return result;
  }();
  if (info.main_port == 0) {
    std::fprintf(stderr, "the HTTPS fixture is not running (no %s/info.txt)\n", TEST_FIXTURE_DIR);
  }
  return info;
}

std::string MainUrl(const std::string& path) { return UrlOn(Fixture().main_port, path); }

std::string UrlOn(int port, const std::string& path, const char* scheme) {
  return std::string(scheme) + "://127.0.0.1:" + std::to_string(port) + path;
}

std::string RecordedRequest::Header(const std::string& name) const {
  for (const auto& header : headers) {
    if (_stricmp(header.first.c_str(), name.c_str()) == 0) return header.second;
  }
  return std::string();
}

std::vector<RecordedRequest> RequestLog(const std::string& prefix) {
  std::string body;
  char* escaped = curl_easy_escape(nullptr, prefix.c_str(), static_cast<int>(prefix.size()));
  long status = Control("GET", std::string("/_log?prefix=") + escaped, nullptr, &body);
  curl_free(escaped);
  if (status != 200) std::fprintf(stderr, "the fixture's request log is not available\n");
  std::vector<RecordedRequest> requests;
  std::istringstream in(body);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("REQUEST ", 0) == 0) {
      RecordedRequest request;
      std::istringstream fields(line.substr(8));
      fields >> request.method >> request.listener;
      std::getline(fields >> std::ws, request.path);
      requests.push_back(request);
    } else if (!line.empty() && !requests.empty()) {
      auto colon = line.find(": ");
      if (colon != std::string::npos) {
        requests.back().headers.emplace_back(line.substr(0, colon), line.substr(colon + 2));
      }
    }
  }
  return requests;
}

bool PutFile(const std::string& name, const std::string& data) {
  std::string body;
  return Control("PUT", "/_files/" + name, &data, &body) == 200;
}

bool PutScript(const std::string& key, const std::string& steps) {
  std::string body;
  return Control("PUT", "/_script/" + key, &steps, &body) == 200;
}

std::string UniqueName(const char* stem) {
  static std::atomic<int> counter{0};
  return std::string(stem) + "-" + std::to_string(GetCurrentProcessId()) + "-" +
         std::to_string(++counter);
}

}  // namespace test
