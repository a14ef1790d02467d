#include "installer/statistics.h"

#include <ctime>
#include <thread>

#include "installer/http_client.h"
#include "installer/md5.h"
#include "installer/text_util.h"

namespace {

constexpr int kWindowOpenDelayMs = 1000;

// Whether byte `c` of pos or bdvid must be percent-encoded: anything that
// would end or confuse the query ("&", "#", "+", "%", blanks and controls),
// break out of the JSON string ('"', "\") or is not plain ASCII.
bool NeedsEncoding(unsigned char c) {
  switch (c) {
    case ' ':
    case '&':
    case '#':
    case '+':
    case '%':
    case '"':
    case '\\':
      return true;
    default:
      return c < 0x20 || c >= 0x7F;
  }
}

std::string EncodeQueryField(const std::string& value) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(value.size());
  for (unsigned char c : value) {
    if (NeedsEncoding(c)) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace

std::string StatsSignature(const std::string& app, const std::string& machine_id, const std::string& node,
                           const std::string& time) {
  return Md5Hex(app + machine_id + node + time + kStatsSalt);
}

std::string StatsUrl(const StatsIdentity& identity, const std::string& app, const std::string& node,
                     const std::string& fathernode, const std::string& pos, long long time) {
  const std::string time_text = FormatNarrow("%lld", time);
  const std::string& bdvid = identity.context.bdvid.empty() ? std::string("empty") : identity.context.bdvid;
  return identity.origin + "/api/count/flow?data=" +
         FormatNarrow(
             "{\"appid\":\"%s\",\"mac\":\"%s\",\"appver\":\"%s\",\"fathernode\":\"%s\",\"node\":\"%s\","
             "\"time\":\"%s\",\"pos\":\"%s\",\"sign\":\"%s\",\"bdvid\":\"%s\"}",
             app.c_str(), identity.machine_id.c_str(), identity.context.ver.c_str(), fathernode.c_str(),
             node.c_str(), time_text.c_str(), EncodeQueryField(pos).c_str(),
             StatsSignature(app, identity.machine_id, node, time_text).c_str(), EncodeQueryField(bdvid).c_str());
}

void ReportEvent(const StatsIdentity& identity, const std::string& app, const std::string& node,
                 const std::string& fathernode, const std::string& pos) {
  const std::string url = StatsUrl(identity, app, node, fathernode, pos, static_cast<long long>(std::time(nullptr)));
  HttpClient client;
  if (!client.Init()) return;
  std::string answer;
  client.Get(url, &answer, std::wstring());
}

void StartWindowOpenReport(const StatsIdentity& identity) {
  std::thread([identity] {
    std::this_thread::sleep_for(std::chrono::milliseconds(kWindowOpenDelayMs));
    ReportEvent(identity, identity.context.app, "inst", "", identity.context.pos);
  }).detach();
}
