#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "observability/labels.hpp"

namespace kelvane::observability {

// A monotonically growing series. Bumps are single lock-free atomic operations.
class Counter {
 public:
  Counter(std::string_view name, Labels labels) : name_(name), labels_(std::move(labels)) {}

  void inc() { value_.fetch_add(1); }
  void add(std::uint64_t amount) { value_.fetch_add(amount); }
  [[nodiscard]] std::uint64_t get() const { return value_.load(); }

  [[nodiscard]] std::string_view name() const { return name_; }
  [[nodiscard]] const Labels& labels() const { return labels_; }

 private:
  std::string_view name_;
  Labels labels_;
  std::atomic<std::uint64_t> value_{0};
};

// A series that goes up and down, below zero included.
class Gauge {
 public:
  Gauge(std::string_view name, Labels labels) : name_(name), labels_(std::move(labels)) {}

  void set(std::int64_t value) { value_.store(value); }
  void inc() { value_.fetch_add(1); }
  void dec() { value_.fetch_sub(1); }
  [[nodiscard]] std::int64_t get() const { return value_.load(); }

  [[nodiscard]] std::string_view name() const { return name_; }
  [[nodiscard]] const Labels& labels() const { return labels_; }

 private:
  std::string_view name_;
  Labels labels_;
  std::atomic<std::int64_t> value_{0};
};

// Durations in nanoseconds over 11 fixed buckets with upper bounds 1e-9 s … 10 s.
// Buckets hold per-bucket counts; renderers accumulate them.
struct Histogram {
  static constexpr std::size_t kBuckets = 11;
  static constexpr std::array<double, kBuckets> kUpperBoundsSeconds = {1e-9, 1e-8, 1e-7, 1e-6, 1e-5, 1e-4,
                                                                      1e-3, 1e-2, 1e-1, 1.0,  10.0};

  std::string name;
  std::uint64_t count = 0;
  std::uint64_t sum = 0;
  std::uint64_t min = std::numeric_limits<std::uint64_t>::max();
  std::uint64_t max = 0;
  std::array<std::uint64_t, kBuckets> buckets{};

  // Records one duration; durations above the last bound are counted in count and sum only.
  void observe(std::uint64_t nanos);

  friend bool operator==(const Histogram&, const Histogram&) = default;
};

class LabeledHistogram {
 public:
  LabeledHistogram(std::string_view name, Labels labels) : name_(name), labels_(std::move(labels)) {
    histogram_.name = std::string(name);
  }

  void observe(std::uint64_t nanos) {
    std::lock_guard lock(mutex_);
    histogram_.observe(nanos);
  }
  [[nodiscard]] Histogram snapshot() const {
    std::lock_guard lock(mutex_);
    return histogram_;
  }

  [[nodiscard]] std::string_view name() const { return name_; }
  [[nodiscard]] const Labels& labels() const { return labels_; }

 private:
  std::string_view name_;
  Labels labels_;
  mutable std::mutex mutex_;
  Histogram histogram_;  // guarded by mutex_
};

using CounterHandle = std::shared_ptr<Counter>;
using GaugeHandle = std::shared_ptr<Gauge>;
using HistogramHandle = std::shared_ptr<LabeledHistogram>;

}  // namespace kelvane::observability
