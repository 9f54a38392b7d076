#include "observability/prometheus.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <system_error>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace kelvane::observability {

namespace {

template <typename Value>
using Series = std::vector<const std::pair<MetricKey, Value>*>;

// One family while rendering: the series of the kind that claimed the name first.
using MetricGroup = std::variant<Series<std::uint64_t>, Series<std::int64_t>, Series<Histogram>>;

template <typename Integer>
void append_integer(std::string& out, Integer value) {
  char buf[24];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  out.append(buf, end);
}

// Shortest decimal that reads back to the same double, never in exponent notation.
void append_plain_double(std::string& out, double value) {
  char buf[400];  // a fixed-notation double needs at most ~330 characters
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
  if (ec == std::errc{}) out.append(buf, end);
}

void append_escaped_label_value(std::string& out, std::string_view value) {
  for (const char c : value) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      default: out += c;
    }
  }
}

void append_pair(std::string& out, std::string_view key, std::string_view value) {
  out += key;
  out += "=\"";
  append_escaped_label_value(out, value);
  out += '"';
}

void append_labels(std::string& out, const Labels& labels) {
  if (labels.empty()) return;
  out += '{';
  bool first = true;
  for (const auto& [key, value] : labels.pairs()) {
    if (!first) out += ',';
    first = false;
    append_pair(out, key, value);
  }
  out += '}';
}

void append_labels_with_le(std::string& out, const Labels& labels, std::string_view le) {
  out += '{';
  for (const auto& [key, value] : labels.pairs()) {
    append_pair(out, key, value);
    out += ',';
  }
  out += "le=\"";
  out += le;
  out += "\"}";
}

std::uint64_t saturating_add(std::uint64_t a, std::uint64_t b) {
  return b > std::numeric_limits<std::uint64_t>::max() - a ? std::numeric_limits<std::uint64_t>::max() : a + b;
}

template <typename Value>
void append_sample(std::string& out, const MetricKey& key, Value value) {
  out += key.name;
  append_labels(out, key.labels);
  out += ' ';
  append_integer(out, value);
  out += '\n';
}

void append_histogram(std::string& out, const MetricKey& key, const Histogram& h) {
  static const std::array<std::string, Histogram::kBuckets> bound_texts = [] {
    std::array<std::string, Histogram::kBuckets> texts;
    for (std::size_t i = 0; i < Histogram::kBuckets; ++i) texts[i] = bucket_bound_text(Histogram::kUpperBoundsSeconds[i]);
    return texts;
  }();
  std::uint64_t running = 0;
  for (std::size_t i = 0; i < Histogram::kBuckets; ++i) {
    running = saturating_add(running, h.buckets[i]);
    out += key.name;
    out += "_bucket";
    append_labels_with_le(out, key.labels, bound_texts[i]);
    out += ' ';
    append_integer(out, running);
    out += '\n';
  }
  out += key.name;
  out += "_bucket";
  append_labels_with_le(out, key.labels, "+Inf");
  out += ' ';
  append_integer(out, h.count);
  out += '\n';

  out += key.name;
  out += "_sum";
  append_labels(out, key.labels);
  out += ' ';
  if (h.sum == 0) {
    out += '0';
  } else {
    append_plain_double(out, static_cast<double>(h.sum) * 1e-9);
  }
  out += '\n';

  out += key.name;
  out += "_count";
  append_labels(out, key.labels);
  out += ' ';
  append_integer(out, h.count);
  out += '\n';
}

template <typename Value>
void add_series(std::map<std::string_view, MetricGroup>& families, const std::vector<std::pair<MetricKey, Value>>& list) {
  for (const auto& series : list) {
    auto it = families.try_emplace(series.first.name, std::in_place_type<Series<Value>>).first;
    // A name already claimed by another kind drops this series.
    if (auto* group = std::get_if<Series<Value>>(&it->second)) group->push_back(&series);
  }
}

template <typename Value>
void append_family(std::string& out, Series<Value>& series) {
  std::stable_sort(series.begin(), series.end(),
                   [](const auto* a, const auto* b) { return a->first.labels.pairs() < b->first.labels.pairs(); });
  for (const auto* s : series) {
    if constexpr (std::is_same_v<Value, Histogram>) {
      append_histogram(out, s->first, s->second);
    } else {
      append_sample(out, s->first, s->second);
    }
  }
}

constexpr std::string_view type_name(const MetricGroup& group) {
  switch (group.index()) {
    case 0: return "counter";
    case 1: return "gauge";
    default: return "histogram";
  }
}

}  // namespace

std::string render_prometheus(const RegistrySnapshot& snapshot) {
  // Inserting in snapshot order lets the last help pair of a name win.
  std::map<std::string_view, std::string_view> help;
  for (const auto& [name, text] : snapshot.help) help.insert_or_assign(name, text);

  std::map<std::string_view, MetricGroup> families;
  add_series(families, snapshot.counters);
  add_series(families, snapshot.gauges);
  add_series(families, snapshot.histograms);

  std::string out;
  out.reserve(64 * (snapshot.counters.size() + snapshot.gauges.size()) + 1024 * snapshot.histograms.size() +
              128 * families.size());
  bool first = true;
  for (auto& [name, group] : families) {
    if (!first) out += '\n';
    first = false;
    if (const auto h = help.find(name); h != help.end() && !h->second.empty()) {
      out += "# HELP ";
      out += name;
      out += ' ';
      out += h->second;
      out += '\n';
    }
    out += "# TYPE ";
    out += name;
    out += ' ';
    out += type_name(group);
    out += '\n';
    std::visit([&out](auto& series) { append_family(out, series); }, group);
  }
  return out;
}

std::string render_labels(const Labels& labels) {
  std::string out;
  append_labels(out, labels);
  return out;
}

std::string render_labels_with_extra(const Labels& labels, std::string_view le) {
  std::string out;
  append_labels_with_le(out, labels, le);
  return out;
}

std::string escape_label_value(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  append_escaped_label_value(out, value);
  return out;
}

std::string bucket_bound_text(double bound) {
  if (bound == 0.0) return "0";
  const double log = std::round(std::log10(bound));
  int exponent = 0;
  if (!std::isnan(log)) {
    exponent = static_cast<int>(std::clamp(log, static_cast<double>(std::numeric_limits<std::int32_t>::min()),
                                           static_cast<double>(std::numeric_limits<std::int32_t>::max())));
  }
  const double power = std::pow(10.0, exponent);
  if (std::fabs(power - bound) < bound * 1e-6) {
    std::string text = "1e";
    text += exponent < 0 ? '-' : '+';
    const std::int64_t magnitude = exponent < 0 ? -static_cast<std::int64_t>(exponent) : exponent;
    if (magnitude < 10) text += '0';
    append_integer(text, magnitude);
    return text;
  }
  std::string text;
  append_plain_double(text, bound);
  return text;
}

}  // namespace kelvane::observability
