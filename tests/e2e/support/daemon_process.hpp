#pragma once

// A small harness for end-to-end tests that run the real daemon binary.
//
//   auto daemon = DaemonProcess::start_listening({"--config", file.path()});
//   ASSERT_TRUE(daemon.running()) << daemon.stderr_text();
//   ... connect to daemon.address() / daemon.port() ...
//   daemon.send_signal(SIGTERM);
//   EXPECT_EQ(daemon.wait_exit(kExitTimeout), ExitStatus::exited(0));
//
// The daemon's standard output and standard error are drained by a background thread
// into buffers, so a chatty daemon never blocks on a full pipe; tests read the stderr
// lines in order with a deadline. The destructor kills (SIGKILL) and reaps a daemon
// that is still running. Nothing here asserts: every call returns what it saw.

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace kelvane::e2e {

using namespace std::chrono_literals;

// Generous bounds that only keep a broken daemon from hanging a test.
inline constexpr std::chrono::milliseconds kStartTimeout = 10s;
inline constexpr std::chrono::milliseconds kExitTimeout = 10s;

// The prefix of the daemon's own log lines.
inline constexpr std::string_view kLogPrefix = "[kelvane-ws-bridged] ";

// How a process ended: exited with a status, or killed by a signal.
struct ExitStatus {
  int code = -1;    // exit status, -1 when killed by a signal
  int signal = 0;   // the terminating signal, 0 when it exited

  [[nodiscard]] static ExitStatus exited(int code) { return {code, 0}; }
  friend bool operator==(const ExitStatus&, const ExitStatus&) = default;
  friend std::ostream& operator<<(std::ostream& out, const ExitStatus& status) {
    return status.signal != 0 ? out << "killed by signal " << status.signal : out << "exit status " << status.code;
  }
};

// An environment change for the daemon: set name to value, or unset it (nullopt).
using EnvChange = std::pair<std::string, std::optional<std::string>>;

// A file with the given content in the test temporary directory, removed on destruction.
class TempFile {
 public:
  explicit TempFile(std::string_view content, std::string_view suffix = ".yaml");
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile();

  [[nodiscard]] const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// A TCP port on 127.0.0.1 that was free a moment ago (bound with port 0, then
// released). Prefer "127.0.0.1:0" where the daemon reports the address it bound.
[[nodiscard]] std::uint16_t free_port();

// Connects a TCP client to a numeric "host:port" address; -1 on failure.
[[nodiscard]] int connect_tcp(std::string_view address);

// The daemon binary run as a child process.
class DaemonProcess {
 public:
  // Starts KELVANE_DAEMON_BINARY with args (and the environment changes) and returns at
  // once. The child starts with default signal actions and an empty signal mask.
  [[nodiscard]] static DaemonProcess spawn(std::vector<std::string> args, std::vector<EnvChange> env = {});

  // Starts the daemon with args followed by "--listen 127.0.0.1:0" and waits (up to
  // timeout) for its "running on" line; address() then holds the bound address. When
  // the line does not come, running() is false and stderr_text() tells why.
  [[nodiscard]] static DaemonProcess start_listening(std::vector<std::string> args, std::vector<EnvChange> env = {},
                                                     std::chrono::milliseconds timeout = kStartTimeout);

  DaemonProcess(DaemonProcess&&) noexcept;
  DaemonProcess& operator=(DaemonProcess&&) = delete;
  DaemonProcess(const DaemonProcess&) = delete;
  DaemonProcess& operator=(const DaemonProcess&) = delete;
  ~DaemonProcess();

  [[nodiscard]] pid_t pid() const { return pid_; }
  // The address from the "running on" line, empty before it was seen.
  [[nodiscard]] const std::string& address() const { return address_; }
  // The port of address(), 0 when unknown.
  [[nodiscard]] std::uint16_t port() const;

  // True while the process has not ended (reaps it when it has).
  [[nodiscard]] bool running();

  // The next stderr line not yet consumed (without its line feed), waiting up to timeout.
  [[nodiscard]] std::optional<std::string> next_stderr_line(std::chrono::milliseconds timeout);
  // Consumes stderr lines until one starts with prefix (kLogPrefix is prepended when
  // log is true) and returns it; nullopt when no such line came within timeout.
  [[nodiscard]] std::optional<std::string> wait_for_stderr_line(std::string_view prefix,
                                                                std::chrono::milliseconds timeout, bool log = true);

  // Everything written so far, consumed or not.
  [[nodiscard]] std::string stderr_text() const;
  [[nodiscard]] std::string stdout_text() const;

  void send_signal(int signal) const;

  // Waits up to timeout for the process to end; nullopt while it still runs. After an
  // exit, the output buffers hold everything the process wrote.
  [[nodiscard]] std::optional<ExitStatus> wait_exit(std::chrono::milliseconds timeout);

 private:
  struct Output;

  DaemonProcess(pid_t pid, int stdout_fd, int stderr_fd);
  void finish_output();

  pid_t pid_ = -1;
  std::optional<ExitStatus> exit_;
  std::string address_;
  std::shared_ptr<Output> output_;
  std::thread drain_;
};

// Runs the daemon to its end (killing it after timeout) and returns its exit status
// and output.
struct Completed {
  ExitStatus status;
  std::string out;
  std::string err;
};
[[nodiscard]] Completed run_to_exit(std::vector<std::string> args, std::vector<EnvChange> env = {},
                                    std::chrono::milliseconds timeout = kExitTimeout);

}  // namespace kelvane::e2e
