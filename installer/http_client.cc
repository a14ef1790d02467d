#include "installer/http_client.h"

#include <curl/curl.h>
#include <shlwapi.h>
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "installer/endpoints.h"

namespace {

// The browser identification the vendor's servers expect.
constexpr char kUserAgentHeader[] =
    "User-Agent: Mozilla/5.0 (Windows NT 10.0; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/70.0.3538.25 Safari/537.36 Core/1.70.3878.400 QQBrowser/10.8.4518.400";

constexpr char kNoInitText[] = "InitLibCurl is not invoked";

// Whole-transfer and connect limits of `Get`, in seconds.
constexpr long kGetTimeoutSeconds = 30;
constexpr long kConnectTimeoutSeconds = 30;

// A download is abandoned when it receives less than this many bytes per
// second for StallTimeoutSeconds().
constexpr long kStallBytesPerSecond = 1;

// libcurl's receive buffer for downloads: its default is 16 KiB; this is the
// size curl's own command-line tool uses, so fewer callbacks and file writes
// are made per megabyte.
constexpr long kDownloadBufferBytes = 100 * 1024;

constexpr char kBlanks[] = " \t\r\n";

// libcurl's global state must be set up once per process before the first
// easy handle; clients are created on several threads at once (statistics,
// UI, worker), so this goes through call_once instead of the implicit,
// unsynchronised initialisation inside curl_easy_init.
void EnsureCurlInitialized() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_ALL); });
}

// Where libcurl's verbose trace goes: to an attached debugger, never to the
// standard streams. Data and TLS records are skipped; they would only flood
// the debugger.
int OnTrace(CURL*, curl_infotype type, char* data, size_t size, void*) {
  if (type != CURLINFO_TEXT && type != CURLINFO_HEADER_IN && type != CURLINFO_HEADER_OUT) return 0;
  if (!IsDebuggerPresent()) return 0;
  std::string line(data, size);
  OutputDebugStringA(line.c_str());
  return 0;
}

// The trust and signal policy shared by every handle this client creates, so
// that `Get` and `Download` cannot drift apart: verify the peer's certificate
// chain and its host name, against the build's CA file when there is one and
// against the Windows certificate store otherwise.
void ApplyTransferPolicy(CURL* curl) {
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  const char* ca_file = TrustedCaFile();
  if (ca_file && *ca_file) {
    curl_easy_setopt(curl, CURLOPT_CAINFO, ca_file);
  } else {
    curl_easy_setopt(curl, CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_NATIVE_CA));
  }
  curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);
  curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, OnTrace);
  // Transfers run on threads other than the main one, where signals cannot be
  // used for time-outs.
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
}

bool HasSeparator(const std::wstring& path) {
  return path.find_first_of(L"\\/") != std::wstring::npos;
}

std::wstring ParentOf(const std::wstring& path) {
  return path.substr(0, path.find_last_of(L"\\/"));
}

std::string Trimmed(const std::string& text) {
  size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string::npos) return std::string();
  size_t last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

// The text up to its first NUL, decoded as UTF-8 and encoded again, so that
// invalid sequences become U+FFFD and the result is always valid UTF-8.
std::string ToValidUtf8(const std::string& bytes) {
  int length = static_cast<int>(strnlen(bytes.data(), bytes.size()));
  if (length == 0) return std::string();
  int wide_length = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), length, nullptr, 0);
  if (wide_length <= 0) return std::string();
  std::wstring wide(static_cast<size_t>(wide_length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes.data(), length, &wide[0], wide_length);
  int narrow_length =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_length, nullptr, 0, nullptr, nullptr);
  if (narrow_length <= 0) return std::string();
  std::string narrow(static_cast<size_t>(narrow_length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_length, &narrow[0], narrow_length, nullptr,
                      nullptr);
  return narrow;
}

// The value of the Host line for `url`: the host and, when the URL names one,
// the port, as libcurl will connect to them. Empty when the URL cannot be
// parsed; libcurl then fails the transfer itself.
std::string HostLineValue(const std::string& url) {
  std::string value;
  CURLU* parsed = curl_url();
  if (!parsed) return value;
  if (curl_url_set(parsed, CURLUPART_URL, url.c_str(),
                   CURLU_GUESS_SCHEME | CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK) {
    char* host = nullptr;
    if (curl_url_get(parsed, CURLUPART_HOST, &host, 0) == CURLUE_OK && host) {
      value = host;
      char* port = nullptr;
      if (curl_url_get(parsed, CURLUPART_PORT, &port, 0) == CURLUE_OK && port) {
        value += ":";
        value += port;
      }
      curl_free(port);
    }
    curl_free(host);
  }
  curl_url_cleanup(parsed);
  return value;
}

bool StartsWithNoCase(const std::string& text, const char* prefix) {
  size_t length = std::strlen(prefix);
  return text.size() >= length && _strnicmp(text.c_str(), prefix, length) == 0;
}

// Everything one `Download` needs inside libcurl's callbacks.
struct DownloadState {
  FILE* file;
  CURL* curl;
  void* context;
  HttpClient::ProgressFunction progress;
};

size_t OnDownloadData(char* data, size_t size, size_t count, void* state) {
  // A short count makes libcurl fail the transfer with a write error.
  return std::fwrite(data, size, count, static_cast<DownloadState*>(state)->file) * size;
}

int OnDownloadProgress(void* state, curl_off_t download_total, curl_off_t downloaded,
                       curl_off_t, curl_off_t) {
  auto* download = static_cast<DownloadState*>(state);
  if (!download->progress) return 0;
  curl_off_t speed = 0;
  curl_easy_getinfo(download->curl, CURLINFO_SPEED_DOWNLOAD_T, &speed);
  bool go_on = download->progress(download->context, static_cast<int64_t>(download_total),
                                  static_cast<int64_t>(downloaded), static_cast<double>(speed));
  return go_on ? 0 : 1;
}

// Owns a curl_slist.
class HeaderList {
 public:
  HeaderList() = default;
  ~HeaderList() { curl_slist_free_all(list_); }
  HeaderList(const HeaderList&) = delete;
  HeaderList& operator=(const HeaderList&) = delete;
  void Append(const std::string& line) {
    if (curl_slist* appended = curl_slist_append(list_, line.c_str())) list_ = appended;
  }
  curl_slist* get() const { return list_; }

 private:
  curl_slist* list_ = nullptr;
};

}  // namespace

HttpClient::HttpClient() { EnsureCurlInitialized(); }

HttpClient::~HttpClient() {
  if (curl_) curl_easy_cleanup(curl_);
}

bool HttpClient::Init() {
  std::lock_guard<std::mutex> hold(lock_);
  last_error_.clear();
  if (curl_) {
    curl_easy_cleanup(curl_);
    curl_ = nullptr;
  }
  CURL* curl = curl_easy_init();
  if (!curl) return false;
  curl_ = curl;
  ApplyTransferPolicy(curl);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, OnHeader);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &response_headers_);
  curl_easy_setopt(curl, CURLOPT_HEADER, 0L);
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, kGetTimeoutSeconds);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
  return true;
}

size_t HttpClient::OnHeader(char* data, size_t size, size_t count, void* headers) {
  static_cast<std::string*>(headers)->append(data, size * count);
  return size * count;
}

size_t HttpClient::OnBody(char* data, size_t size, size_t count, void* client) {
  auto* self = static_cast<HttpClient*>(client);
  size_t bytes = size * count;
  if (!self->body_file_.empty()) {
    // Reopened for every chunk, so that the file holds everything received so
    // far even while the transfer is still running.
    if (FILE* file = _wfopen(self->body_file_.c_str(), L"ab+")) {
      std::fwrite(data, 1, bytes, file);
      std::fclose(file);
    }
  }
  // The text is made valid UTF-8 once the transfer has ended, so a character
  // split between two chunks stays intact.
  self->response_body_.append(data, bytes);
  return bytes;
}

int HttpClient::Get(const std::string& url, std::string* text, const std::wstring& body_file) {
  std::lock_guard<std::mutex> hold(lock_);
  body_file_ = body_file;
  DeleteFileW(body_file_.c_str());
  if (url.empty()) return 0;
  if (HasSeparator(body_file_)) static_cast<void>(MakeDirectories(ParentOf(body_file_)));

  // Blanks around the URL are dropped before anything else looks at it:
  // libcurl refuses a URL that starts with a blank, and the scheme test and
  // the Host line must see the URL that is actually sent.
  std::string target = Trimmed(url);
  if (target.find("http://") == std::string::npos && target.find("https://") == std::string::npos) {
    target = "http://" + target;
  }

  if (!curl_) {
    if (text) *text = kNoInitText;
    return 0;
  }
  CURL* curl = curl_;
  response_headers_.clear();
  response_body_.clear();

  // libcurl writes the Host line directly after the request line whatever its
  // place in this list; the other lines go out in list order.
  HeaderList headers;
  headers.Append("Accept: */*");
  headers.Append("Accept-Language: zh-CN");
  headers.Append(kUserAgentHeader);
  std::string host = HostLineValue(target);
  if (!host.empty()) headers.Append("Host: " + host);
  headers.Append("Connection: Keep-Alive");
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(curl, CURLOPT_IPRESOLVE, static_cast<long>(CURL_IPRESOLVE_V4));
  curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(curl, CURLOPT_URL, target.c_str());
  CURLcode result = curl_easy_perform(curl);
  // The list is freed when this function returns; the handle must not keep
  // pointing at it.
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, static_cast<curl_slist*>(nullptr));
  if (result != CURLE_OK) last_error_ = curl_easy_strerror(result);

  long status = 0;
  CURLcode info = curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  int answer = info == CURLE_OK ? static_cast<int>(status) : static_cast<int>(info);
  if (text) *text = result == CURLE_OK ? ToValidUtf8(response_body_) : last_error_;
  return answer;
}

bool HttpClient::Download(const std::string& url, const std::string& dns_servers,
                          const std::wstring& file_path, void* context,
                          ProgressFunction progress) {
  DeleteFileW(file_path.c_str());
  if (url.empty()) return false;
  if (HasSeparator(file_path)) static_cast<void>(MakeDirectories(ParentOf(file_path)));

  // "wb", not append: should the delete above have failed, old bytes must not
  // stay in front of the new body and pass for part of it.
  FILE* file = _wfopen(file_path.c_str(), L"wb");
  if (!file) return false;
  CURL* curl = curl_easy_init();
  if (!curl) {
    std::fclose(file);
    DeleteFileW(file_path.c_str());
    return false;
  }
  DownloadState state{file, curl, context, progress};
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  ApplyTransferPolicy(curl);
  curl_easy_setopt(curl, CURLOPT_HEADER, 0L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnDownloadData);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &state);
  curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, kDownloadBufferBytes);
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  // A package fetched over HTTPS must not be handed over to plain HTTP by a
  // redirect; that would undo the certificate check.
  if (StartsWithNoCase(url, "https://")) {
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "https");
  }
  if (!dns_servers.empty()) {
    // Refused by libcurl builds with the system resolver; names are then
    // resolved as usual, which is fine.
    static_cast<void>(curl_easy_setopt(curl, CURLOPT_DNS_SERVERS, dns_servers.c_str()));
  }
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnDownloadProgress);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &state);
  curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
  // A server that stops sending, or a connect that never completes, must end
  // the transfer so that the caller's fallback and failure paths can run.
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, kStallBytesPerSecond);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, static_cast<long>(StallTimeoutSeconds()));
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);

  CURLcode result = curl_easy_perform(curl);
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  curl_easy_cleanup(curl);
  // Closing flushes the last buffered bytes; if that fails the file is short.
  bool closed = std::fclose(file) == 0;

  if (result == CURLE_OK && status >= 200 && status <= 399 && closed) return true;
  DeleteFileW(file_path.c_str());
  return false;
}

bool HttpClient::MakeDirectories(const std::wstring& path) {
  if (path.empty()) return false;
  if (PathIsDirectoryW(path.c_str())) return true;
  size_t separator = path.find_last_of(L"\\/");
  if (separator != std::wstring::npos && separator > 0) {
    std::wstring parent = path.substr(0, separator);
    if (!PathIsDirectoryW(parent.c_str())) static_cast<void>(MakeDirectories(parent));
  }
  CreateDirectoryW(path.c_str(), nullptr);
  return PathIsDirectoryW(path.c_str()) != FALSE;
}
