#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace kelvane::rtps {

// A vector that keeps its first N elements in inline storage and moves everything to the
// heap only when a (rare) N+1-th element arrives. Decoding a typical datagram thereby
// allocates nothing for its list of submessages. Only live elements are constructed.
template <typename T, std::size_t N>
class SmallVector {
 public:
  SmallVector() = default;
  SmallVector(const SmallVector& other) { append_all(other); }
  SmallVector(SmallVector&& other) noexcept { take(std::move(other)); }
  SmallVector& operator=(const SmallVector& other) {
    if (this != &other) {
      clear();
      append_all(other);
    }
    return *this;
  }
  SmallVector& operator=(SmallVector&& other) noexcept {
    if (this != &other) {
      clear();
      take(std::move(other));
    }
    return *this;
  }
  ~SmallVector() { clear(); }

  void push_back(T value) {
    if (!spilled_ && size_ < N) {
      std::construct_at(inline_data() + size_, std::move(value));
      ++size_;
      return;
    }
    if (!spilled_) {
      heap_.reserve(2 * N);
      for (std::size_t i = 0; i < size_; ++i) heap_.push_back(std::move(inline_data()[i]));
      std::destroy_n(inline_data(), size_);
      spilled_ = true;
    }
    heap_.push_back(std::move(value));
    ++size_;
  }

  void clear() {
    if (spilled_) {
      heap_.clear();
      spilled_ = false;
    } else {
      std::destroy_n(inline_data(), size_);
    }
    size_ = 0;
  }

  [[nodiscard]] std::size_t size() const { return size_; }
  [[nodiscard]] bool empty() const { return size_ == 0; }
  [[nodiscard]] T* data() { return spilled_ ? heap_.data() : inline_data(); }
  [[nodiscard]] const T* data() const { return spilled_ ? heap_.data() : inline_data(); }
  [[nodiscard]] T& operator[](std::size_t i) { return data()[i]; }
  [[nodiscard]] const T& operator[](std::size_t i) const { return data()[i]; }
  [[nodiscard]] T* begin() { return data(); }
  [[nodiscard]] T* end() { return data() + size_; }
  [[nodiscard]] const T* begin() const { return data(); }
  [[nodiscard]] const T* end() const { return data() + size_; }

 private:
  T* inline_data() { return std::launder(reinterpret_cast<T*>(storage_)); }
  const T* inline_data() const { return std::launder(reinterpret_cast<const T*>(storage_)); }

  void append_all(const SmallVector& other) {
    for (const auto& item : other) push_back(item);
  }

  // Requires this to be empty.
  void take(SmallVector&& other) noexcept {
    if (other.spilled_) {
      heap_ = std::move(other.heap_);
      spilled_ = true;
      size_ = other.size_;
    } else {
      for (std::size_t i = 0; i < other.size_; ++i) std::construct_at(inline_data() + i, std::move(other.inline_data()[i]));
      size_ = other.size_;
    }
    other.clear();
  }

  alignas(T) std::byte storage_[N * sizeof(T)];
  std::vector<T> heap_;
  std::size_t size_ = 0;
  bool spilled_ = false;
};

}  // namespace kelvane::rtps
