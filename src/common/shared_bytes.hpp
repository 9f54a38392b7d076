#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>

namespace kelvane {

// An immutable byte range inside a reference-counted buffer. Received payloads travel
// as SharedBytes from the socket to the WebSocket senders without being copied; slices
// share the buffer of their parent.
class SharedBytes {
 public:
  SharedBytes() = default;

  // One allocation holding a copy of bytes.
  static SharedBytes copy_of(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return {};
    auto buffer = std::make_shared_for_overwrite<std::uint8_t[]>(bytes.size());
    std::memcpy(buffer.get(), bytes.data(), bytes.size());
    return SharedBytes(std::move(buffer), 0, bytes.size());
  }

  // Takes a buffer the caller filled; size bytes of it are valid.
  static SharedBytes adopt(std::shared_ptr<const std::uint8_t[]> buffer, std::size_t size) {
    return SharedBytes(std::move(buffer), 0, size);
  }

  // A sub-range sharing this buffer; offset and length are clamped to this range.
  [[nodiscard]] SharedBytes slice(std::size_t offset, std::size_t length) const {
    if (offset > size_) offset = size_;
    if (length > size_ - offset) length = size_ - offset;
    return SharedBytes(buffer_, offset_ + offset, length);
  }

  [[nodiscard]] std::span<const std::uint8_t> span() const { return {data(), size_}; }
  [[nodiscard]] const std::uint8_t* data() const { return buffer_ ? buffer_.get() + offset_ : nullptr; }
  [[nodiscard]] std::size_t size() const { return size_; }
  [[nodiscard]] bool empty() const { return size_ == 0; }

  friend bool operator==(const SharedBytes& a, const SharedBytes& b) {
    return a.size_ == b.size_ && (a.size_ == 0 || std::memcmp(a.data(), b.data(), a.size_) == 0);
  }

 private:
  SharedBytes(std::shared_ptr<const std::uint8_t[]> buffer, std::size_t offset, std::size_t size)
      : buffer_(std::move(buffer)), offset_(offset), size_(size) {}

  std::shared_ptr<const std::uint8_t[]> buffer_;
  std::size_t offset_ = 0;
  std::size_t size_ = 0;
};

}  // namespace kelvane
