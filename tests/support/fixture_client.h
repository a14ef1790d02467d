// Client side of the HTTPS test server (tests/fixture/https_fixture.py): where it
// listens, and its control requests. It talks to the server with libcurl
// directly, independently of the installer's own HTTP client.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace test {

struct FixtureInfo {
  int main_port = 0;        // certificate of the run's CA for 127.0.0.1
  int http_port = 0;        // plain HTTP
  int other_ca_port = 0;    // certificate of an unrelated CA
  int wrong_host_port = 0;  // certificate of the run's CA for another host name
  int expired_port = 0;     // expired certificate of the run's CA
  std::string ca_file;      // the run's CA (PEM), as a Windows path
};

// Read once from the fixture's info file; all ports 0 when the server is not running.
const FixtureInfo& Fixture();

// "https://127.0.0.1:<main port>" + path.
std::string MainUrl(const std::string& path);
// The same on another listener's port, with the given scheme.
std::string UrlOn(int port, const std::string& path, const char* scheme = "https");

struct RecordedRequest {
  std::string method;
  std::string listener;
  std::string path;  // path and query, as sent
  std::vector<std::pair<std::string, std::string>> headers;  // in received order

  // First header of that name (ASCII case-insensitive), or empty.
  std::string Header(const std::string& name) const;
};

// Requests the server has received whose path starts with `prefix`, oldest first.
std::vector<RecordedRequest> RequestLog(const std::string& prefix);

// Stores `data` to be served as /files/<name>.
bool PutFile(const std::string& name, const std::string& data);

// Stores a script for /s/<key>/...: one step per line ("file NAME", "bytes N",
// "status CODE", "truncate DECLARED SENT", "stall SENT DECLARED HOLD"); each
// request takes the next step, the last one repeats.
bool PutScript(const std::string& key, const std::string& steps);

// A name unique within this process run, for paths and script keys.
std::string UniqueName(const char* stem);

}  // namespace test
