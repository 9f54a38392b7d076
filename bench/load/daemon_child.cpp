#include "daemon_child.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <string_view>
#include <system_error>

extern char** environ;

namespace kelvane::load {

namespace {

constexpr std::string_view kRunningLine = "[kelvane-ws-bridged] running on ";
constexpr std::chrono::milliseconds kExitPollPause{10};

std::vector<std::string> split_lines(std::string_view text) {
  std::vector<std::string> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    lines.emplace_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

}  // namespace

DaemonChild::DaemonChild(const std::string& binary) {
  int pipe_fds[2];
  if (::pipe2(pipe_fds, O_CLOEXEC) != 0) throw std::system_error(errno, std::generic_category(), "pipe2");

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDERR_FILENO);
  // The daemon starts with default signal actions and nothing blocked, as from a shell.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigset_t all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  std::string argv_texts[] = {binary, "--listen", "127.0.0.1:0"};
  char* argv[] = {argv_texts[0].data(), argv_texts[1].data(), argv_texts[2].data(), nullptr};
  const int rc = ::posix_spawn(&pid_, binary.c_str(), &actions, &attributes, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(pipe_fds[1]);
  if (rc != 0) {
    ::close(pipe_fds[0]);
    throw std::system_error(rc, std::generic_category(), "posix_spawn " + binary);
  }
  drain_thread_ = std::thread([this, fd = pipe_fds[0]] { drain(fd); });
}

DaemonChild::~DaemonChild() {
  if (!wait_status_) {
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  drain_thread_.join();  // the pipe closes when the child has ended
}

void DaemonChild::drain(int fd) {
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    const std::lock_guard lock(mutex_);
    output_.append(buffer, static_cast<std::size_t>(n));
    changed_.notify_all();
  }
  ::close(fd);
  const std::lock_guard lock(mutex_);
  closed_ = true;
  changed_.notify_all();
}

std::expected<std::string, std::string> DaemonChild::wait_running(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  std::size_t at = std::string::npos;
  const auto found = [&] {
    at = output_.find(kRunningLine);
    return (at != std::string::npos && output_.find('\n', at) != std::string::npos) || closed_;
  };
  if (!changed_.wait_for(lock, timeout, found)) {
    return std::unexpected("no \"running on\" line within the start time-out");
  }
  if (at == std::string::npos) return std::unexpected("the daemon ended before it was running:\n" + output_);
  const std::size_t begin = at + kRunningLine.size();
  return output_.substr(begin, output_.find('\n', begin) - begin);
}

std::vector<std::string> DaemonChild::output_lines() const {
  const std::lock_guard lock(mutex_);
  return split_lines(output_);
}

void DaemonChild::terminate() const { ::kill(pid_, SIGTERM); }

std::optional<int> DaemonChild::wait_exit(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!wait_status_) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      wait_status_ = status;
      break;
    }
    if (std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(kExitPollPause);
  }
  return wait_status_;
}

std::optional<ProcessStatus> read_process_status(pid_t pid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/status");
  if (!file) return std::nullopt;
  ProcessStatus status;
  std::string line;
  while (std::getline(file, line)) {
    std::istringstream fields(line);
    std::string name;
    std::uint64_t value = 0;
    if (!(fields >> name >> value)) continue;
    if (name == "VmRSS:") status.rss_kib = value;
    if (name == "VmHWM:") status.peak_rss_kib = value;
    if (name == "Threads:") status.threads = value;
  }
  return status;
}

std::optional<double> cpu_seconds(pid_t pid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
  std::string stat;
  if (!std::getline(file, stat)) return std::nullopt;
  // The command name may hold spaces and parentheses: the fields proper start after the last ')'.
  const std::size_t name_end = stat.rfind(')');
  if (name_end == std::string::npos) return std::nullopt;
  std::istringstream fields(stat.substr(name_end + 1));
  // Fields 3 to 13 come before utime (14) and stime (15).
  constexpr int kFieldsBeforeUtime = 11;
  std::string skipped;
  for (int i = 0; i < kFieldsBeforeUtime; ++i) fields >> skipped;
  unsigned long long user_ticks = 0;
  unsigned long long system_ticks = 0;
  if (!(fields >> user_ticks >> system_ticks)) return std::nullopt;
  return static_cast<double>(user_ticks + system_ticks) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

std::optional<std::string> open_file_soft_limit(pid_t pid) {
  constexpr std::string_view kName = "Max open files";
  std::ifstream file("/proc/" + std::to_string(pid) + "/limits");
  std::string line;
  while (std::getline(file, line)) {
    if (!line.starts_with(kName)) continue;
    std::istringstream fields(line.substr(kName.size()));
    std::string soft;
    if (fields >> soft) return soft;
  }
  return std::nullopt;
}

}  // namespace kelvane::load
