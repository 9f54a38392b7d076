#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kelvane::observability {

// Label pairs kept sorted by key (bytewise) with unique keys. Keys are static strings.
class Labels {
 public:
  using Pair = std::pair<std::string_view, std::string>;

  Labels() = default;

  // Adds the pair, or replaces the value when the key is present.
  [[nodiscard]] Labels with(std::string_view key, std::string_view value) &&;
  [[nodiscard]] Labels with(std::string_view key, std::string_view value) const&;

  [[nodiscard]] const std::vector<Pair>& pairs() const { return pairs_; }
  [[nodiscard]] bool empty() const { return pairs_.empty(); }

  friend bool operator==(const Labels&, const Labels&) = default;

 private:
  std::vector<Pair> pairs_;
};

// A family name plus its labels; identifies one series.
struct MetricKey {
  std::string_view name;
  Labels labels;

  friend bool operator==(const MetricKey&, const MetricKey&) = default;
};

struct MetricKeyHash {
  std::size_t operator()(const MetricKey& key) const;
};

}  // namespace kelvane::observability
