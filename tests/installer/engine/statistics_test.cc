// Usage statistics: the request URL byte for byte, the signature, the
// encoding of fields that come from the installer's file name, and real
// reports arriving at the HTTPS fixture.
#include <gtest/gtest.h>
#include <windows.h>

#include "installer/statistics.h"
#include "tests/installer/engine/engine_test_environment.h"
#include "tests/support/fixture_client.h"

namespace {

StatsIdentity Identity(const std::string& pos, const std::string& bdvid) {
  StatsIdentity identity;
  identity.origin = "https://stats.example";
  identity.machine_id = "0123456789abcdef0123456789abcdef";
  identity.context = InstallContext{"setup", "1.25.7.71", "vorandel", pos, "1.25.7.71", "win7", bdvid};
  return identity;
}

TEST(StatisticsTest, UrlCarriesTheFieldsInOrderWithTheSignature) {
  const StatsIdentity identity = Identity("1001", "ab");
  const std::string sign = test::OpenSslMd5("vorandel" + identity.machine_id + "install" + "1700000000" + kStatsSalt);
  EXPECT_EQ(
      "https://stats.example/api/count/flow?data={\"appid\":\"vorandel\",\"mac\":\"0123456789abcdef0123456789abcdef\","
      "\"appver\":\"1.25.7.71\",\"fathernode\":\"inst\",\"node\":\"install\",\"time\":\"1700000000\","
      "\"pos\":\"1001\",\"sign\":\"" + sign + "\",\"bdvid\":\"ab\"}",
      StatsUrl(identity, "vorandel", "install", "inst", "1001", 1700000000));
}

TEST(StatisticsTest, SignatureCoversOnlyAppMachineNodeAndTime) {
  const std::string base = StatsSignature("vorandel", "m", "install", "17");
  EXPECT_EQ(test::OpenSslMd5(std::string("vorandel") + "m" + "install" + "17" + "Qv73mTzd!#hwp%81x"), base);
  // pos, bdvid and fathernode change the URL but not the signature.
  auto sign_of = [](const std::string& url) {
    size_t at = url.find("\"sign\":\"") + 8;
    return url.substr(at, 32);
  };
  const std::string a = StatsUrl(Identity("p1", "b1"), "vorandel", "install", "inst", "p1", 17);
  const std::string b = StatsUrl(Identity("p2", "b2"), "vorandel", "install", "other", "p2", 17);
  EXPECT_NE(a, b);
  EXPECT_EQ(sign_of(a), sign_of(b));
  EXPECT_NE(sign_of(a), sign_of(StatsUrl(Identity("p1", "b1"), "vorandel", "succeed", "inst", "p1", 17)));
}

TEST(StatisticsTest, FieldsFromTheFileNameAreEncodedAndNothingElse) {
  const struct {
    const char* pos;
    const char* bdvid;
    const char* expected_pos;
    const char* expected_bdvid;
  } kCases[] = {
      {"1001", "", "1001", "empty"},  // an empty campaign code is sent as "empty"
      {"chan (2)", "x.beta", "chan%20(2)", "x.beta"},
      {"a&b=c", "d#e", "a%26b=c", "d%23e"},
      {"1+1", "50%", "1%2B1", "50%25"},
      {"q\"uote", "back\\slash", "q%22uote", "back%5Cslash"},
      {"tab\there", "nl\n", "tab%09here", "nl%0A"},
      {"\xc7\xfe\xb5\xc0", "ok", "%C7%FE%B5%C0", "ok"},  // GBK bytes
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.pos);
    const std::string url = StatsUrl(Identity(c.pos, c.bdvid), "vorandel", "inst", "", c.pos, 5);
    EXPECT_NE(std::string::npos, url.find(std::string("\"pos\":\"") + c.expected_pos + "\""));
    EXPECT_NE(std::string::npos, url.find(std::string("\"bdvid\":\"") + c.expected_bdvid + "\""));
    EXPECT_NE(std::string::npos, url.find("\"fathernode\":\"\""));
    // Nothing in the URL may end or split the query.
    EXPECT_EQ(std::string::npos, url.find_first_of(" &#\t\n"));
  }
}

TEST(StatisticsTest, LongFieldsAreNeverTruncated) {
  const std::string pos(2000, 'p');
  const std::string url = StatsUrl(Identity(pos, "tail"), "vorandel", "inst", "", pos, 5);
  EXPECT_GT(url.size(), 2000u);
  EXPECT_EQ('}', url.back());
  EXPECT_NE(std::string::npos, url.find("\"bdvid\":\"tail\"}"));
}

TEST(StatisticsTest, ReportReachesTheServerWithAVerifiableSignature) {
  StatsIdentity identity = Identity("chan 1", "");
  const std::string prefix = "/" + test::UniqueName("report");
  identity.origin = test::MainUrl(prefix);
  ReportEvent(identity, "vorandel", "install", "inst", "chan 1");
  auto requests = test::StatsRequests(prefix + "/api/count/flow");
  ASSERT_EQ(1u, requests.size());
  const test::StatsRequest& request = requests[0];
  const std::vector<std::string> kOrder = {"appid", "mac", "appver", "fathernode", "node",
                                           "time",  "pos", "sign",   "bdvid"};
  ASSERT_EQ(kOrder.size(), request.fields.size()) << request.raw_path;
  for (size_t i = 0; i < kOrder.size(); ++i) EXPECT_EQ(kOrder[i], request.fields[i].first);
  EXPECT_EQ("chan 1", request.Field("pos"));
  EXPECT_EQ("empty", request.Field("bdvid"));
  EXPECT_EQ("inst", request.Field("fathernode"));
  const std::string time = request.Field("time");
  EXPECT_NEAR(static_cast<double>(std::time(nullptr)), std::stod(time), 120.0);
  EXPECT_EQ(test::OpenSslMd5("vorandel" + identity.machine_id + "install" + time + kStatsSalt),
            request.Field("sign"));
}

TEST(StatisticsTest, UnreachableServerIsIgnored) {
  // Nothing listens on port 9 of loopback: the report fails quietly.
  StatsIdentity identity = Identity("1", "2");
  identity.origin = "https://127.0.0.1:9";
  ReportEvent(identity, "vorandel", "inst", "", "1");
}

TEST(StatisticsTest, WindowOpenReportUsesItsOwnCopyAfterOneSecond) {
  const std::string prefix = "/" + test::UniqueName("open");
  const std::string flow = prefix + "/api/count/flow";
  {
    StatsIdentity identity = Identity("pos9", "bd9");
    identity.origin = test::MainUrl(prefix);
    StartWindowOpenReport(identity);
    // The caller's identity is gone right away, as a closed window's would be.
    identity.machine_id.assign(32, 'x');
    identity.context.pos = "changed";
  }
  const ULONGLONG start = GetTickCount64();
  EXPECT_TRUE(test::StatsRequests(flow).empty()) << "reported before its delay";
  std::vector<test::StatsRequest> requests;
  while (requests.empty() && GetTickCount64() - start < 20000) {
    Sleep(100);
    requests = test::StatsRequests(flow);
  }
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ("inst", requests[0].Field("node"));
  EXPECT_EQ("", requests[0].Field("fathernode"));
  EXPECT_EQ("pos9", requests[0].Field("pos"));
  EXPECT_EQ("bd9", requests[0].Field("bdvid"));
  EXPECT_EQ("0123456789abcdef0123456789abcdef", requests[0].Field("mac"));
}

}  // namespace
