#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace kelvane {

// An unbounded multi-producer, single-consumer channel. Pushing never blocks; the
// receiver waits with a time-out and learns when every sender is gone.
template <typename T>
class Mpsc {
  struct State {
    std::mutex mutex;
    std::condition_variable ready;
    std::deque<T> items;       // guarded by mutex
    std::size_t senders = 0;   // guarded by mutex
    bool receiver_alive = true;  // guarded by mutex
  };

 public:
  enum class PopStatus { Value, Timeout, Disconnected };

  struct PopResult {
    PopStatus status;
    std::optional<T> value;
  };

  class Sender {
   public:
    Sender(const Sender& other) : state_(other.state_) { attach(); }
    Sender& operator=(const Sender& other) {
      if (this != &other) {
        detach();
        state_ = other.state_;
        attach();
      }
      return *this;
    }
    Sender(Sender&& other) noexcept : state_(std::move(other.state_)) {}
    Sender& operator=(Sender&& other) noexcept {
      if (this != &other) {
        detach();
        state_ = std::move(other.state_);
      }
      return *this;
    }
    ~Sender() { detach(); }

    // Returns false, dropping the item, when the receiver is gone.
    bool push(T item) const {
      {
        std::lock_guard lock(state_->mutex);
        if (!state_->receiver_alive) return false;
        state_->items.push_back(std::move(item));
      }
      state_->ready.notify_one();
      return true;
    }

   private:
    friend class Mpsc;
    explicit Sender(std::shared_ptr<State> state) : state_(std::move(state)) { attach(); }
    void attach() {
      if (!state_) return;
      std::lock_guard lock(state_->mutex);
      ++state_->senders;
    }
    void detach() {
      if (!state_) return;
      {
        std::lock_guard lock(state_->mutex);
        --state_->senders;
      }
      state_->ready.notify_all();
      state_.reset();
    }
    std::shared_ptr<State> state_;
  };

  class Receiver {
   public:
    Receiver(Receiver&&) noexcept = default;
    Receiver& operator=(Receiver&&) noexcept = default;
    Receiver(const Receiver&) = delete;
    Receiver& operator=(const Receiver&) = delete;
    ~Receiver() {
      if (!state_) return;
      std::lock_guard lock(state_->mutex);
      state_->receiver_alive = false;
      state_->items.clear();
    }

    // Waits up to timeout for an item. Items still queued are handed out before
    // Disconnected is reported.
    template <typename Rep, typename Period>
    PopResult pop_for(std::chrono::duration<Rep, Period> timeout) {
      std::unique_lock lock(state_->mutex);
      state_->ready.wait_for(lock, timeout, [&] { return !state_->items.empty() || state_->senders == 0; });
      if (!state_->items.empty()) {
        PopResult result{PopStatus::Value, std::move(state_->items.front())};
        state_->items.pop_front();
        return result;
      }
      return {state_->senders == 0 ? PopStatus::Disconnected : PopStatus::Timeout, std::nullopt};
    }

    std::optional<T> try_pop() {
      std::lock_guard lock(state_->mutex);
      if (state_->items.empty()) return std::nullopt;
      std::optional<T> item(std::move(state_->items.front()));
      state_->items.pop_front();
      return item;
    }

   private:
    friend class Mpsc;
    explicit Receiver(std::shared_ptr<State> state) : state_(std::move(state)) {}
    std::shared_ptr<State> state_;
  };

  static std::pair<Sender, Receiver> channel() {
    auto state = std::make_shared<State>();
    return {Sender(state), Receiver(state)};
  }
};

}  // namespace kelvane
