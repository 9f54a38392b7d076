#pragma once

#include <array>
#include <cstddef>
#include <utility>
#include <vector>

namespace kelvane::rtps {

// A vector that keeps its first N elements inline and moves everything to the heap only
// when a (rare) N+1-th element arrives. Decoding a typical datagram thereby allocates
// nothing for its list of submessages. T must be default-constructible and movable.
template <typename T, std::size_t N>
class SmallVector {
 public:
  void push_back(T value) {
    if (!spilled_ && size_ < N) {
      inline_[size_++] = std::move(value);
      return;
    }
    if (!spilled_) {
      heap_.reserve(2 * N);
      for (std::size_t i = 0; i < size_; ++i) heap_.push_back(std::move(inline_[i]));
      spilled_ = true;
    }
    heap_.push_back(std::move(value));
    ++size_;
  }

  [[nodiscard]] std::size_t size() const { return size_; }
  [[nodiscard]] bool empty() const { return size_ == 0; }
  [[nodiscard]] T* data() { return spilled_ ? heap_.data() : inline_.data(); }
  [[nodiscard]] const T* data() const { return spilled_ ? heap_.data() : inline_.data(); }
  [[nodiscard]] T& operator[](std::size_t i) { return data()[i]; }
  [[nodiscard]] const T& operator[](std::size_t i) const { return data()[i]; }
  [[nodiscard]] T* begin() { return data(); }
  [[nodiscard]] T* end() { return data() + size_; }
  [[nodiscard]] const T* begin() const { return data(); }
  [[nodiscard]] const T* end() const { return data() + size_; }

 private:
  std::array<T, N> inline_{};
  std::vector<T> heap_;
  std::size_t size_ = 0;
  bool spilled_ = false;
};

}  // namespace kelvane::rtps
