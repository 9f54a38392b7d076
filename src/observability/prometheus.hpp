#pragma once

#include <string>
#include <string_view>

#include "observability/labels.hpp"
#include "observability/registry.hpp"

namespace kelvane::observability {

// The content type under which render_prometheus documents are served.
inline constexpr std::string_view kPrometheusContentType = "text/plain; version=0.0.4; charset=utf-8";

// Renders a snapshot in the Prometheus text exposition format 0.0.4. Families are
// ordered by name and series by labels, so an unchanged registry renders byte-identically.
// A name registered under several kinds keeps the first of counter, gauge, histogram.
[[nodiscard]] std::string render_prometheus(const RegistrySnapshot& snapshot);

// "" for no labels, else {k1="v1",k2="v2"} with escaped values.
[[nodiscard]] std::string render_labels(const Labels& labels);

// {k1="v1",...,le="<le>"}; the le text is written as given.
[[nodiscard]] std::string render_labels_with_extra(const Labels& labels, std::string_view le);

// Backslash, double quote and line feed become \\, \" and \n.
[[nodiscard]] std::string escape_label_value(std::string_view value);

// The le text of a bucket bound: powers of ten as 1e-09 … 1e+01, other values as the
// shortest round-tripping decimal without exponent.
[[nodiscard]] std::string bucket_bound_text(double bound);

}  // namespace kelvane::observability
