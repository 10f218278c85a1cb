#include <gtest/gtest.h>

#include <cstring>

#include <string>
#include <vector>

#include "remote/http_request.h"
#include "remote/metrics_text.h"
#include "remote/record_ring.h"

namespace {

struct Case {
  const char* request;
  uint32_t status;
  uint32_t route;
};

HttpVerdict Judge(const std::string& request) { return JudgeHttpRequest(request.data(), request.size(), "Bench-7"); }

// The captures: their list, and one by a name that can name nothing but a
// file of their folder.
TEST(HttpRequest, CapturesByAPlainName) {
  const std::string good = "GET /captures/cap-261208-231502-tcpu_c-gt-85.csv?x HTTP/1.0\r\n\r\n";
  const HttpVerdict verdict = Judge(good);
  EXPECT_EQ(kHttpOk, verdict.status);
  EXPECT_EQ(static_cast<uint32_t>(ROUTE_CAPTURE), verdict.route);
  EXPECT_EQ("cap-261208-231502-tcpu_c-gt-85.csv", good.substr(verdict.nameStart, verdict.nameLength));
  EXPECT_EQ(static_cast<uint32_t>(ROUTE_CAPTURES), Judge("GET /captures HTTP/1.0\r\n\r\n").route);
  for (const char* path : {"/captures/", "/captures/../run.csv", "/captures/%2e%2e", "/captures/a/b", "/captures/c:x",
                           "/captures/a\\b", "/capturesx", "/captures/CAP.csv"}) {
    EXPECT_EQ(kHttpNotFound, Judge(std::string("GET ") + path + " HTTP/1.0\r\n\r\n").status) << path;
  }
  const std::string longName = "GET /captures/" + std::string(kCaptureNameChars, 'a') + " HTTP/1.0\r\n\r\n";
  EXPECT_EQ(kHttpNotFound, Judge(longName).status);
}

TEST(HttpRequest, EachRequestGetsItsVerdict) {
  const Case cases[] = {
      {"GET / HTTP/1.1\r\nHost: 127.0.0.1:9231\r\n\r\n", 200, ROUTE_PAGE},
      {"GET /events HTTP/1.1\r\nhost: bench-7\r\nAccept: text/event-stream\r\n\r\n", 200, ROUTE_EVENTS},
      {"GET /metrics?x=1 HTTP/1.1\r\nHost:[::1]:80 \r\n\r\n", 200, ROUTE_METRICS},
      {"GET /record.csv HTTP/1.0\r\n\r\n", 200, ROUTE_RECORD},  // 1.0 needs no Host
      {"GET / HTTP/1.1\r\nHost: LOCALHOST\r\nContent-Length: 00\r\n\r\n", 200, ROUTE_PAGE},
      {"GET / HTTP/1.1\r\nHost: 10.0.0.2\r\n\r\ntrailing bytes are not read", 200, ROUTE_PAGE},
      // Not whole yet.
      {"", 0, ROUTE_NONE},
      {"GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n", 0, ROUTE_NONE},
      {"GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r", 0, ROUTE_NONE},
      // Malformed.
      {"GET / HTTP/1.1\nHost: 127.0.0.1\n\n", 400, ROUTE_NONE},
      {"GET / HTTP/1.1\r\nHost: 127.0.0.1\n\r\n", 400, ROUTE_NONE},
      {"GET / HTTP/1.1\r\n\r\n", 400, ROUTE_NONE},                                        // no Host
      {"GET / HTTP/1.1\r\nHost: a\r\nHost: 127.0.0.1\r\n\r\n", 400, ROUTE_NONE},          // two
      {"GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n folded\r\n\r\n", 400, ROUTE_NONE},
      {"GET / HTTP/1.1\r\nHost : 127.0.0.1\r\n\r\n", 400, ROUTE_NONE},
      {"GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX: a\x01\r\n\r\n", 400, ROUTE_NONE},
      {"GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 5\r\n\r\nhello", 400, ROUTE_NONE},
      {"GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nTransfer-Encoding: chunked\r\n\r\n", 400, ROUTE_NONE},
      {"GET  / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 400, ROUTE_NONE},
      {"GET /a b HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 400, ROUTE_NONE},
      {"GET http://127.0.0.1/ HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 400, ROUTE_NONE},
      {"GET / HTTP/2.0\r\nHost: 127.0.0.1\r\n\r\n", 400, ROUTE_NONE},
      {"\r\n\r\n", 400, ROUTE_NONE},
      // Hosts a page elsewhere could have pointed here by DNS.
      {"GET / HTTP/1.1\r\nHost: attacker.example\r\n\r\n", 403, ROUTE_NONE},
      {"GET / HTTP/1.1\r\nHost: 127.0.0.1.attacker.example\r\n\r\n", 403, ROUTE_NONE},
      {"GET / HTTP/1.1\r\nHost: bench-7.attacker.example:9231\r\n\r\n", 403, ROUTE_NONE},
      {"GET / HTTP/1.1\r\nHost: 256.0.0.1\r\n\r\n", 403, ROUTE_NONE},
      {"GET / HTTP/1.1\r\nHost: 127.0.0.1:65536\r\n\r\n", 403, ROUTE_NONE},
      {"GET / HTTP/1.1\r\nHost: [::1\r\n\r\n", 403, ROUTE_NONE},
      {"GET / HTTP/1.1\r\nHost: [fe80::1%eth0]\r\n\r\n", 403, ROUTE_NONE},
      {"GET / HTTP/1.1\r\nHost: \r\n\r\n", 403, ROUTE_NONE},
      // Any method but GET is refused for its method, whatever it carries.
      {"POST / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 405, ROUTE_NONE},
      {"get / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 405, ROUTE_NONE},
      {"POST /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 5\r\n\r\nhello", 405, ROUTE_NONE},
      {"PUT / HTTP/1.1\r\nHost: 127.0.0.1\r\nTransfer-Encoding: chunked\r\n\r\n", 405, ROUTE_NONE},
      {"DELETE / HTTP/1.1\r\n\r\n", 405, ROUTE_NONE},
      // Paths, judged last.
      {"GET /Metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 404, ROUTE_NONE},
      {"GET /events/ HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 404, ROUTE_NONE},
  };
  for (const Case& c : cases) {
    const HttpVerdict verdict = Judge(c.request);
    EXPECT_EQ(c.status, verdict.status) << c.request;
    EXPECT_EQ(c.route, verdict.route) << c.request;
  }
  // An unknown machine name matches no name, not even an empty one.
  const std::string emptyName = "GET / HTTP/1.1\r\nHost: :80\r\n\r\n";
  EXPECT_EQ(kHttpForbidden, JudgeHttpRequest(emptyName.data(), emptyName.size(), "").status);
}

TEST(HttpRequest, LongLinesAndHeadsAreRefusedAsSoonAsTheyAreTooLong) {
  const std::string longLine = "GET /" + std::string(kHttpRequestLineBytes, 'a');
  EXPECT_EQ(kHttpUriTooLong, Judge(longLine).status);  // no line end yet
  EXPECT_EQ(kHttpUriTooLong, Judge(longLine + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n").status);
  const std::string justFits = "GET /" + std::string(kHttpRequestLineBytes - 16, 'a') + " HTTP/1.1\r\n";
  ASSERT_EQ(kHttpRequestLineBytes, justFits.size());
  EXPECT_EQ(kHttpNotFound, Judge(justFits + "Host: 127.0.0.1\r\n\r\n").status);
  EXPECT_EQ(kHttpUriTooLong, Judge("GET /a" + justFits.substr(5) + "Host: 127.0.0.1\r\n\r\n").status);  // one more

  std::string head = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n";
  while (head.size() < kHttpHeadBytes - 4) head += "X-Padding: 0123456789\r\n";
  EXPECT_EQ(kHttpIncomplete, Judge(head.substr(0, kHttpHeadBytes - 1)).status);
  EXPECT_EQ(kHttpHeadersTooLarge, Judge(head.substr(0, kHttpHeadBytes)).status);
}

RecordFigures Figures(uint32_t elapsedMs, const HardwareReadings* hardware) {
  RecordFigures figures = {elapsedMs, 2, {0.25f, 1.0f}, {0.5f, 0.125f}, 0, hardware, 37, 1, 9, 40, "", 0, 0, {}};
  return figures;
}

TEST(RecordRing, KeepsTheLastTenMinutesByValue) {
  static RecordRing ring;  // too large for the stack of every platform
  HardwareReadings hardware = {};
  hardware.tCpu = 55;
  for (uint32_t i = 0; i < kRecordRingSamples + 5; ++i) PublishRecord(&ring, Figures(i, i % 2 ? &hardware : nullptr));
  hardware.tCpu = -1;  // the ring holds its own copy
  EXPECT_EQ(5u, OldestRecord(ring));

  RingSample out[3];
  uint32_t from = 0;  // no longer held: starts at the oldest
  ASSERT_EQ(3u, CopyRecords(ring, &from, out, 3));
  EXPECT_EQ(5u, from);
  EXPECT_EQ(5u, out[0].figures.elapsedMs);
  EXPECT_EQ(55, SampleFigures(out[0]).hardware->tCpu);
  EXPECT_EQ(nullptr, SampleFigures(out[1]).hardware);
  from = kRecordRingSamples + 3;
  EXPECT_EQ(2u, CopyRecords(ring, &from, out, 3));  // the two newest
  EXPECT_EQ(kRecordRingSamples + 4, out[1].figures.elapsedMs);
  from = kRecordRingSamples + 5;
  EXPECT_EQ(0u, CopyRecords(ring, &from, out, 3));
}

std::string Metrics(const RecordFigures* figures, size_t capacity = 8192) {
  std::vector<char> text(capacity);
  ByteText out = MakeByteText(text.data(), text.size());
  FormatMetrics(&out, figures, "1.2.0", "bench\"7");
  return out.full ? std::string("full") : std::string(text.data(), out.length);
}

TEST(MetricsText, EveryFigureInBaseUnitsWithItsLabels) {
  HardwareReadings hardware = {};
  hardware.usage[0] = ClockUsage{0, 0, 0, 1000000, 456789, 114198};
  hardware.usage[6] = ClockUsage{0, 0, 0, 0, 300000, 0};
  hardware.tModule = 41;
  hardware.tCpu = -3;
  hardware.stat[1] = 1023;
  hardware.stat[5] = -1;
  const RecordFigures figures = Figures(12045, &hardware);
  const std::string text = Metrics(&figures);
  const char* const lines[] = {
      "selvane_info{version=\"1.2.0\",module=\"bench\\\"7\"} 1\n",
      "# HELP selvane_record_seconds ",
      "\n# TYPE selvane_record_seconds gauge\nselvane_record_seconds 12.045\n",
      "selvane_processor_load_ratio{processor=\"2\"} 1.0000\n",
      "selvane_processor_busy_ratio{processor=\"2\"} 0.1250\n",
      "selvane_memory_load_ratio 0.3700\n",
      "selvane_cpu_clock_hertz 456789000\n",
      "selvane_cpu_high_corner_hertz 1000000000\n",
      "selvane_clock_domain_hertz{domain=\"emc\"} 300000000\n",
      "selvane_clock_domain_activity_ratio{domain=\"cpu\"} 0.2500\n",
      "selvane_temperature_celsius{zone=\"cpu\"} -3\n",
      "selvane_pool_used_bytes{pool=\"carveout\"} 1023\n",
      "selvane_pool_largest_free_bytes{pool=\"gart\"} -1\n",
      "selvane_processes 9\n", "selvane_threads 40\n"};
  for (const char* line : lines) EXPECT_NE(std::string::npos, text.find(line)) << line;
  EXPECT_EQ(std::string::npos, text.find("processor=\"3\""));

  // Without the chip, its counts or any cycle: those metrics are left out.
  RecordFigures bare = Figures(1000, nullptr);
  bare.countsKnown = 0;
  const std::string without = Metrics(&bare);
  EXPECT_EQ(std::string::npos, without.find("hertz"));
  EXPECT_EQ(std::string::npos, without.find("selvane_threads"));
  EXPECT_NE(std::string::npos, without.find("selvane_memory_load_ratio"));
  EXPECT_EQ(std::string::npos, Metrics(nullptr).find("record_seconds"));
  EXPECT_EQ("full", Metrics(&figures, 200));

  // A processor with no load has no sample (not a 0); with none, no family at all.
  RecordFigures offOne = Figures(1000, nullptr);
  offOne.noLoad = 0b01;
  const std::string partial = Metrics(&offOne);
  EXPECT_EQ(std::string::npos, partial.find("processor=\"1\""));
  EXPECT_NE(std::string::npos, partial.find("selvane_processor_load_ratio{processor=\"2\"} 1.0000\n"));
  offOne.noLoad = 0b11;
  EXPECT_EQ(std::string::npos, Metrics(&offOne).find("selvane_processor_"));
}

// Counters by Prometheus' conventions: _total, TYPE counter, one sample a rule
// labelled with the rule as written, quotes escaped.
TEST(MetricsText, EventCountersByRule) {
  TriggerRule rules[2] = {};
  std::strcpy(rules[0].text, "tcpu_c>85");
  std::strcpy(rules[1].text, "cpu_mhz<300");
  HardwareReadings hardware = {};
  RecordFigures figures = Figures(1000, &hardware);
  figures.dfsTransitions = 3;
  figures.ruleCount = 2;
  figures.ruleFires[1] = 4;
  std::vector<char> text(4096);
  ByteText out = MakeByteText(text.data(), text.size());
  FormatEventCounters(&out, figures, rules);
  EXPECT_EQ("# HELP selvane_dfs_transitions_total Times the chip's frequency scaling stopped or started.\n"
            "# TYPE selvane_dfs_transitions_total counter\nselvane_dfs_transitions_total 3\n"
            "# HELP selvane_trigger_fires_total Times each trigger (/t) fired, by its rule.\n"
            "# TYPE selvane_trigger_fires_total counter\n"
            "selvane_trigger_fires_total{rule=\"tcpu_c>85\"} 0\nselvane_trigger_fires_total{rule=\"cpu_mhz<300\"} 4\n",
            std::string(text.data(), out.length));
  figures.hardware = nullptr;  // no chip: no scaling to count; no rule: no family
  figures.ruleCount = 0;
  out = MakeByteText(text.data(), text.size());
  FormatEventCounters(&out, figures, rules);
  EXPECT_EQ(0u, out.length);
}

TEST(ByteText, ScaledFiguresAndTheBound) {
  char text[16];
  ByteText out = MakeByteText(text, sizeof text);
  PutScaled(&out, -1205, 3);
  PutText(&out, " ");
  PutScaled(&out, 5, 4);
  PutText(&out, " ");
  PutUnsigned(&out, 0);
  EXPECT_EQ("-1.205 0.0005 0", std::string(text, out.length));
  PutText(&out, "ab");  // one byte of room: nothing more is written
  EXPECT_TRUE(out.full);
  EXPECT_EQ(15u, out.length);
}

}  // namespace
