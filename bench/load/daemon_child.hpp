#pragma once

// The daemon binary run as a child of the load program, with its standard output and
// error drained into memory so that it never blocks on a full pipe.

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <expected>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kelvane::load {

class DaemonChild {
 public:
  // Starts binary with "--listen 127.0.0.1:0"; throws std::system_error when it cannot.
  explicit DaemonChild(const std::string& binary);
  DaemonChild(const DaemonChild&) = delete;
  DaemonChild& operator=(const DaemonChild&) = delete;
  // Kills and reaps a child that is still running.
  ~DaemonChild();

  [[nodiscard]] pid_t pid() const { return pid_; }

  // The address from the daemon's "running on" line, or what went wrong instead.
  [[nodiscard]] std::expected<std::string, std::string> wait_running(std::chrono::milliseconds timeout);

  // Every line the daemon wrote so far.
  [[nodiscard]] std::vector<std::string> output_lines() const;

  void terminate() const;

  // The wait status once the child ended within timeout, nullopt while it still runs.
  [[nodiscard]] std::optional<int> wait_exit(std::chrono::milliseconds timeout);

 private:
  void drain(int fd);

  pid_t pid_ = -1;
  std::optional<int> wait_status_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::string output_;  // guarded by mutex_
  bool closed_ = false;  // guarded by mutex_; the output pipe reached end of file
  std::thread drain_thread_;
};

// Parts of /proc/<pid>/status, nullopt when the process is gone.
struct ProcessStatus {
  std::uint64_t rss_kib = 0;       // VmRSS
  std::uint64_t peak_rss_kib = 0;  // VmHWM
  std::uint64_t threads = 0;
};
[[nodiscard]] std::optional<ProcessStatus> read_process_status(pid_t pid);

// CPU time (user and system) the process has used so far, in seconds.
[[nodiscard]] std::optional<double> cpu_seconds(pid_t pid);

// The soft "Max open files" limit of a process, from /proc/<pid>/limits.
[[nodiscard]] std::optional<std::string> open_file_soft_limit(pid_t pid);

}  // namespace kelvane::load
