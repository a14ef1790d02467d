// Usage statistics: each install event is one signed GET to the statistics
// server whose query carries a small JSON object. Reports are fire and forget:
// nothing in the installer depends on their success.
//
// Threads: ReportEvent may be called on any thread and blocks that thread
// until the request has completed or failed (at most the HTTP client's
// 30-second limits). Every call uses its own HttpClient and reads only the
// identity it is given.
#pragma once

// windows.h defines ReportEvent as the event-log function ReportEventW. The
// installer never writes the event log, so the name is taken back here, after
// windows.h, whose include guard keeps later inclusions from defining it again.
#include <windows.h>
#undef ReportEvent

#include <string>

#include "installer/install_context.h"

// The salt appended to the signed text.
inline constexpr char kStatsSalt[] = "Qv73mTzd!#hwp%81x";

// Who reports: the statistics server's origin (scheme, host, port), the
// machine id and the installer's context. Copied by value wherever a report
// may outlive the window that made it.
struct StatsIdentity {
  std::string origin;
  std::string machine_id;
  InstallContext context;
};

// The signature of an event: MD5 of app + machine id + node + time + salt, as
// 32 lowercase hexadecimal characters.
std::string StatsSignature(const std::string& app, const std::string& machine_id, const std::string& node,
                           const std::string& time);

// The request URL for one event at `time` (seconds since 1970, UTC):
// origin + "/api/count/flow?data=" + the JSON object with appid, mac, appver,
// fathernode, node, time, pos, sign and bdvid in that order. An empty bdvid
// is sent as "empty". The fields that come from the installer's file name,
// pos and bdvid, are percent-encoded where a character would break the query
// or the JSON (space, &, #, +, %, ", \, control and non-ASCII bytes); every
// other value is inserted as it is. The URL is as long as its content needs.
std::string StatsUrl(const StatsIdentity& identity, const std::string& app, const std::string& node,
                     const std::string& fathernode, const std::string& pos, long long time);

// Sends one event now and waits for its answer, which is ignored.
void ReportEvent(const StatsIdentity& identity, const std::string& app, const std::string& node,
                 const std::string& fathernode, const std::string& pos);

// The window-open event: a detached thread that holds its own copy of the
// identity, sleeps one second, then reports node "inst" with an empty
// fathernode.
void StartWindowOpenReport(const StatsIdentity& identity);
