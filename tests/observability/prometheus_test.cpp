#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <utility>

#include "observability/prometheus.hpp"
#include "observability/registry.hpp"

namespace kelvane::observability {
namespace {

constexpr std::uint64_t kMaxU64 = std::numeric_limits<std::uint64_t>::max();

TEST(Prometheus, EmptySnapshotRendersNothing) {
  EXPECT_EQ(render_prometheus(RegistrySnapshot{}), "");
  Registry help_only;
  help_only.set_help("lonely_total", "help without a series");
  EXPECT_EQ(render_prometheus(help_only.snapshot()), "");
}

TEST(Prometheus, SingleCounterWithHelp) {
  Registry r;
  r.set_help("kelvane_ws_errors_total", "Frame/codec/socket errors");
  r.counter("kelvane_ws_errors_total", {})->add(42);
  EXPECT_EQ(render_prometheus(r.snapshot()),
            "# HELP kelvane_ws_errors_total Frame/codec/socket errors\n"
            "# TYPE kelvane_ws_errors_total counter\n"
            "kelvane_ws_errors_total 42\n");
}

// Families in name order, series in label order (a prefix list first), escaping, signs,
// missing and empty help, and a name claimed by two kinds.
TEST(Prometheus, CountersAndGaugesDocument) {
  Registry r;
  r.set_help("b_requests_total", "Requests served");
  r.counter("b_requests_total", Labels{}.with("path", "/x").with("code", "200"))->add(7);
  r.counter("b_requests_total", Labels{}.with("code", "404"))->add(2);
  r.counter("b_requests_total", Labels{}.with("code", "200"))->inc();
  r.counter("c_escaped_total", Labels{}.with("v", "a\\b\"c\nd"))->add(kMaxU64);
  r.gauge("a_temperature", {})->set(-3);
  r.set_help("d_empty_help", "");
  r.gauge("d_empty_help", {})->set(5);
  r.counter("e_conflict", {})->inc();
  r.gauge("e_conflict", {})->set(9);
  r.set_help("z_help_only", "never rendered");

  const std::string expected =
      "# TYPE a_temperature gauge\n"
      "a_temperature -3\n"
      "\n"
      "# HELP b_requests_total Requests served\n"
      "# TYPE b_requests_total counter\n"
      "b_requests_total{code=\"200\"} 1\n"
      "b_requests_total{code=\"200\",path=\"/x\"} 7\n"
      "b_requests_total{code=\"404\"} 2\n"
      "\n"
      "# TYPE c_escaped_total counter\n"
      "c_escaped_total{v=\"a\\\\b\\\"c\\nd\"} 18446744073709551615\n"
      "\n"
      "# TYPE d_empty_help gauge\n"
      "d_empty_help 5\n"
      "\n"
      "# TYPE e_conflict counter\n"
      "e_conflict 1\n";
  const std::string rendered = render_prometheus(r.snapshot());
  EXPECT_EQ(rendered, expected);
  // Snapshots come out in hash order; the document must not depend on it.
  EXPECT_EQ(render_prometheus(r.snapshot()), rendered);
}

TEST(Prometheus, HelpTextIsWrittenAsStoredAndLastPairWins) {
  RegistrySnapshot snap;
  snap.counters.push_back({MetricKey{"dds_x_total", {}}, 1});
  snap.help = {{"dds_x_total", "old"}, {"dds_x_total", "Bytes gesendet (kelvane-monitor-1.0 §2.1) \\ \"q\""}};
  EXPECT_EQ(render_prometheus(snap),
            "# HELP dds_x_total Bytes gesendet (kelvane-monitor-1.0 §2.1) \\ \"q\"\n"
            "# TYPE dds_x_total counter\n"
            "dds_x_total 1\n");
}

TEST(Prometheus, HistogramsAccumulateBucketsAndTheirKindLosesToGauge) {
  Histogram labelled;
  labelled.buckets = {1, 0, 2, 0, 0, 0, 0, 0, 0, 0, 3};
  labelled.count = 8;  // two observations above the last bound
  labelled.sum = 1500;
  Histogram saturated;
  saturated.buckets = {kMaxU64, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  saturated.count = 3;
  saturated.sum = 3'000'000'000;
  Histogram losing;
  losing.count = 1;

  RegistrySnapshot snap;
  snap.histograms.push_back({MetricKey{"h_seconds", Labels{}.with("op", "a\"b")}, labelled});
  snap.histograms.push_back({MetricKey{"h_seconds", {}}, Histogram{}});
  snap.histograms.push_back({MetricKey{"i_seconds", {}}, saturated});
  snap.histograms.push_back({MetricKey{"g_mixed", {}}, losing});
  snap.gauges.push_back({MetricKey{"g_mixed", {}}, 4});
  snap.help = {{"h_seconds", "Durations"}};

  const std::string expected =
      "# TYPE g_mixed gauge\n"
      "g_mixed 4\n"
      "\n"
      "# HELP h_seconds Durations\n"
      "# TYPE h_seconds histogram\n"
      "h_seconds_bucket{le=\"1e-09\"} 0\n"
      "h_seconds_bucket{le=\"1e-08\"} 0\n"
      "h_seconds_bucket{le=\"1e-07\"} 0\n"
      "h_seconds_bucket{le=\"1e-06\"} 0\n"
      "h_seconds_bucket{le=\"1e-05\"} 0\n"
      "h_seconds_bucket{le=\"1e-04\"} 0\n"
      "h_seconds_bucket{le=\"1e-03\"} 0\n"
      "h_seconds_bucket{le=\"1e-02\"} 0\n"
      "h_seconds_bucket{le=\"1e-01\"} 0\n"
      "h_seconds_bucket{le=\"1e+00\"} 0\n"
      "h_seconds_bucket{le=\"1e+01\"} 0\n"
      "h_seconds_bucket{le=\"+Inf\"} 0\n"
      "h_seconds_sum 0\n"
      "h_seconds_count 0\n"
      "h_seconds_bucket{op=\"a\\\"b\",le=\"1e-09\"} 1\n"
      "h_seconds_bucket{op=\"a\\\"b\",le=\"1e-08\"} 1\n"
      "h_seconds_bucket{op=\"a\\\"b\",le=\"1e-07\"} 3\n"
      "h_seconds_bucket{op=\"a\\\"b\",le=\"1e-06\"} 3\n"
      "h_seconds_bucket{op=\"a\\\"b\",le=\"1e-05\"} 3\n"
      "h_seconds_bucket{op=\"a\\\"b\",le=\"1e-04\"} 3\n"
      "h_seconds_bucket{op=\"a\\\"b\",le=\"1e-03\"} 3\n"
      "h_seconds_bucket{op=\"a\\\"b\",le=\"1e-02\"} 3\n"
      "h_seconds_bucket{op=\"a\\\"b\",le=\"1e-01\"} 3\n"
      "h_seconds_bucket{op=\"a\\\"b\",le=\"1e+00\"} 3\n"
      "h_seconds_bucket{op=\"a\\\"b\",le=\"1e+01\"} 6\n"
      "h_seconds_bucket{op=\"a\\\"b\",le=\"+Inf\"} 8\n"
      "h_seconds_sum{op=\"a\\\"b\"} 0.0000015\n"
      "h_seconds_count{op=\"a\\\"b\"} 8\n"
      "\n"
      "# TYPE i_seconds histogram\n"
      "i_seconds_bucket{le=\"1e-09\"} 18446744073709551615\n"
      "i_seconds_bucket{le=\"1e-08\"} 18446744073709551615\n"
      "i_seconds_bucket{le=\"1e-07\"} 18446744073709551615\n"
      "i_seconds_bucket{le=\"1e-06\"} 18446744073709551615\n"
      "i_seconds_bucket{le=\"1e-05\"} 18446744073709551615\n"
      "i_seconds_bucket{le=\"1e-04\"} 18446744073709551615\n"
      "i_seconds_bucket{le=\"1e-03\"} 18446744073709551615\n"
      "i_seconds_bucket{le=\"1e-02\"} 18446744073709551615\n"
      "i_seconds_bucket{le=\"1e-01\"} 18446744073709551615\n"
      "i_seconds_bucket{le=\"1e+00\"} 18446744073709551615\n"
      "i_seconds_bucket{le=\"1e+01\"} 18446744073709551615\n"
      "i_seconds_bucket{le=\"+Inf\"} 3\n"
      "i_seconds_sum 3\n"
      "i_seconds_count 3\n";
  EXPECT_EQ(render_prometheus(snap), expected);
}

TEST(Prometheus, HistogramFromRegistryObservations) {
  Registry r;
  auto h = r.histogram("op_seconds", Labels{}.with("kind", "w"));
  h->observe(250'000'000);  // 0.25 s, in the 1 s bucket
  h->observe(20'000'000'000);  // 20 s, above the last bound
  const std::string doc = render_prometheus(r.snapshot());
  EXPECT_NE(doc.find("op_seconds_bucket{kind=\"w\",le=\"1e-01\"} 0\n"), std::string::npos) << doc;
  EXPECT_NE(doc.find("op_seconds_bucket{kind=\"w\",le=\"1e+00\"} 1\n"), std::string::npos) << doc;
  EXPECT_NE(doc.find("op_seconds_bucket{kind=\"w\",le=\"1e+01\"} 1\n"), std::string::npos) << doc;
  EXPECT_NE(doc.find("op_seconds_bucket{kind=\"w\",le=\"+Inf\"} 2\n"), std::string::npos) << doc;
  EXPECT_NE(doc.find("op_seconds_sum{kind=\"w\"} 20.25\n"), std::string::npos) << doc;
  EXPECT_NE(doc.find("op_seconds_count{kind=\"w\"} 2\n"), std::string::npos) << doc;
}

TEST(Prometheus, LabelRendering) {
  EXPECT_EQ(render_labels({}), "");
  EXPECT_EQ(render_labels(Labels{}.with("kind", "writer").with("domain_id", "0")), "{domain_id=\"0\",kind=\"writer\"}");
  EXPECT_EQ(render_labels_with_extra({}, "1e-09"), "{le=\"1e-09\"}");
  EXPECT_EQ(render_labels_with_extra(Labels{}.with("a", "x\ny"), "q\"uote"), "{a=\"x\\ny\",le=\"q\"uote\"}");

  const std::pair<std::string_view, std::string_view> escapes[] = {
      {"", ""},
      {"plain text", "plain text"},
      {"back\\slash", "back\\\\slash"},
      {"say \"hi\"", "say \\\"hi\\\""},
      {"two\nlines", "two\\nlines"},
      {"tab\tand\rcr stay", "tab\tand\rcr stay"},
      {"\xc2\xa7 utf-8", "\xc2\xa7 utf-8"},
  };
  for (const auto& [in, out] : escapes) EXPECT_EQ(escape_label_value(in), out) << in;
}

TEST(Prometheus, BucketBoundTexts) {
  const std::pair<double, std::string_view> cases[] = {
      {1e-9, "1e-09"}, {1e-8, "1e-08"}, {1e-7, "1e-07"}, {1e-6, "1e-06"}, {1e-5, "1e-05"}, {1e-4, "1e-04"},
      {1e-3, "1e-03"}, {1e-2, "1e-02"}, {1e-1, "1e-01"}, {1.0, "1e+00"},  {10.0, "1e+01"}, {0.0, "0"},
      {1e100, "1e+100"}, {0.25, "0.25"}, {2.5, "2.5"},  {5e-7, "0.0000005"}, {300.0, "300"},
  };
  for (const auto& [bound, text] : cases) EXPECT_EQ(bucket_bound_text(bound), text) << bound;
}

}  // namespace
}  // namespace kelvane::observability
