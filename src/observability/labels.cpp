#include "observability/labels.hpp"

#include <algorithm>
#include <functional>

namespace kelvane::observability {

Labels Labels::with(std::string_view key, std::string_view value) && {
  const auto existing = std::find_if(pairs_.begin(), pairs_.end(), [&](const Pair& p) { return p.first == key; });
  if (existing != pairs_.end()) {
    existing->second = std::string(value);
    return std::move(*this);
  }
  pairs_.emplace_back(key, std::string(value));
  // Keys are unique, so a plain sort orders the list the same way a stable one would.
  std::sort(pairs_.begin(), pairs_.end(), [](const Pair& a, const Pair& b) { return a.first < b.first; });
  return std::move(*this);
}

Labels Labels::with(std::string_view key, std::string_view value) const& {
  Labels copy = *this;
  return std::move(copy).with(key, value);
}

std::size_t MetricKeyHash::operator()(const MetricKey& key) const {
  std::size_t h = std::hash<std::string_view>{}(key.name);
  const auto mix = [&h](std::string_view part) {
    h ^= std::hash<std::string_view>{}(part) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
  };
  for (const auto& [k, v] : key.labels.pairs()) {
    mix(k);
    mix(v);
  }
  return h;
}

}  // namespace kelvane::observability
