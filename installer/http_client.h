// The installer's HTTP client: a thin layer over libcurl's easy interface.
//
// Two operations exist. `Get` fetches a short text answer (the statistics
// reports use it) and needs `Init` first; `Download` stores a URL's body in a
// file while reporting progress (the install engine fetches the package with
// it) and uses a handle of its own.
//
// Every transfer verifies the server: the peer's certificate must chain to the
// trusted authority of this build (the Windows certificate store in release
// builds, the fixture's CA in test builds, see installer/endpoints.h) and must
// name the host. The installer runs elevated and executes what it downloads,
// so there is no switch to turn this off.
//
// Threads: each caller creates its own client on its own thread and uses it
// there; clients are never shared. `Init` and `Get` are nevertheless
// serialised by the object's lock, and `Download` touches no state of the
// object, so no method can corrupt the object when misused from two threads.
// The progress function runs on the thread that called `Download`, from inside
// the transfer.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

class HttpClient {
 public:
  // Called during `Download` with the caller's context, the expected body size
  // (0 while unknown), the bytes received so far and the current average speed
  // in bytes per second. Returning false aborts the transfer.
  using ProgressFunction = bool (*)(void* context, int64_t total, int64_t received,
                                    double speed);

  HttpClient();
  ~HttpClient();
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  // Prepares the handle that `Get` uses. False when libcurl cannot create one.
  [[nodiscard]] bool Init();

  // One GET of `url` (a URL without "http://" or "https://" is sent as
  // "http://" + url). Returns the HTTP status of the response, 0 when none
  // arrived. `text` receives the body (brought to valid UTF-8, cut at the first
  // NUL) when the transfer completed, otherwise libcurl's error text, or
  // "InitLibCurl is not invoked" without a successful `Init`. When `body_file`
  // is not empty, the file is deleted first and every received chunk of the
  // raw body is appended to it; its missing folders are created.
  int Get(const std::string& url, std::string* text, const std::wstring& body_file);

  // Stores the body of `url` in `file_path` (missing folders are created).
  // True only when the whole body arrived with a status of 200 to 399 and was
  // written; otherwise the file is removed and the result is false. A transfer
  // that receives less than one byte per second for StallTimeoutSeconds() is
  // abandoned (libcurl averages the speed over the last five seconds, so a
  // stall right after a burst of data is noticed that much later); a connect
  // is given 30 seconds. `dns_servers` is handed to libcurl's DNS-server option when not
  // empty; libcurl builds with the system resolver refuse the option and
  // resolve names as usual. `progress` may be null.
  bool Download(const std::string& url, const std::string& dns_servers,
                const std::wstring& file_path, void* context, ProgressFunction progress);

  // Creates `path` and, recursively, its missing parents (separators "\" and
  // "/"). True when the folder exists at the end.
  [[nodiscard]] static bool MakeDirectories(const std::wstring& path);

  // The raw header lines of the last `Get`, in the order they arrived.
  const std::string& response_headers() const { return response_headers_; }

 private:
  // libcurl callbacks (plain C calling convention, as libcurl declares them).
  static size_t OnHeader(char* data, size_t size, size_t count, void* headers);
  static size_t OnBody(char* data, size_t size, size_t count, void* client);

  std::string response_headers_;
  std::string response_body_;
  void* curl_ = nullptr;  // CURL* created by Init.
  std::string last_error_;
  std::wstring body_file_;
  std::mutex lock_;
};
