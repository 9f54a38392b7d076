#include "e2e/support/daemon_process.hpp"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <system_error>

#include <gtest/gtest.h>

extern char** environ;

namespace kelvane::e2e {

namespace {

[[noreturn]] void throw_errno(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

std::vector<std::string> child_environment(const std::vector<EnvChange>& changes) {
  std::vector<std::string> env;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string_view text(*entry);
    const std::string_view name = text.substr(0, text.find('='));
    bool replaced = false;
    for (const auto& change : changes) replaced = replaced || change.first == name;
    if (!replaced) env.emplace_back(text);
  }
  for (const auto& [name, value] : changes) {
    if (value) env.push_back(name + "=" + *value);
  }
  return env;
}

std::vector<char*> pointers_to(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

ExitStatus decode_wait_status(int status) {
  if (WIFSIGNALED(status)) return {-1, WTERMSIG(status)};
  return ExitStatus::exited(WEXITSTATUS(status));
}

}  // namespace

// Output of the child, filled by the drain thread.
struct DaemonProcess::Output {
  std::mutex mutex;
  std::condition_variable changed;
  std::string out;               // guarded by mutex
  std::string err;               // guarded by mutex
  std::size_t err_consumed = 0;  // guarded by mutex; bytes of err handed out as lines
  bool closed = false;           // guarded by mutex; both pipes reached end of file
};

TempFile::TempFile(std::string_view content, std::string_view suffix) {
  static std::atomic<int> counter{0};
  path_ = ::testing::TempDir() + "kelvane_e2e_" + std::to_string(::getpid()) + "_" + std::to_string(counter++) +
          std::string(suffix);
  std::ofstream(path_, std::ios::binary) << content;
}

TempFile::~TempFile() { std::remove(path_.c_str()); }

std::uint16_t free_port() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw_errno("socket");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(fd);
    throw_errno("bind");
  }
  ::close(fd);
  return ntohs(address.sin_port);
}

int connect_tcp(std::string_view address) {
  std::string host(address.substr(0, address.rfind(':')));
  const std::string port(address.substr(address.rfind(':') + 1));
  if (host.size() >= 2 && host.front() == '[') host = host.substr(1, host.size() - 2);
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
  addrinfo* list = nullptr;
  if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &list) != 0) return -1;
  int fd = ::socket(list->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd >= 0 && ::connect(fd, list->ai_addr, list->ai_addrlen) != 0) {
    ::close(fd);
    fd = -1;
  }
  ::freeaddrinfo(list);
  return fd;
}

DaemonProcess DaemonProcess::spawn(std::vector<std::string> args, std::vector<EnvChange> env) {
  int out_pipe[2];
  int err_pipe[2];
  if (::pipe2(out_pipe, O_CLOEXEC) != 0) throw_errno("pipe2");
  if (::pipe2(err_pipe, O_CLOEXEC) != 0) throw_errno("pipe2");

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out_pipe[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err_pipe[1], STDERR_FILENO);

  // The test process may have blocked or caught signals; the daemon starts clean.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigset_t all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  std::vector<std::string> argv_texts{KELVANE_DAEMON_BINARY};
  argv_texts.insert(argv_texts.end(), args.begin(), args.end());
  std::vector<std::string> env_texts = child_environment(env);
  const std::vector<char*> argv = pointers_to(argv_texts);
  const std::vector<char*> envp = pointers_to(env_texts);

  pid_t pid = -1;
  const int rc = ::posix_spawn(&pid, KELVANE_DAEMON_BINARY, &actions, &attributes, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(out_pipe[1]);
  ::close(err_pipe[1]);
  if (rc != 0) {
    ::close(out_pipe[0]);
    ::close(err_pipe[0]);
    throw std::system_error(rc, std::generic_category(), "posix_spawn " KELVANE_DAEMON_BINARY);
  }
  return DaemonProcess(pid, out_pipe[0], err_pipe[0]);
}

DaemonProcess DaemonProcess::start_listening(std::vector<std::string> args, std::vector<EnvChange> env,
                                             std::chrono::milliseconds timeout) {
  args.emplace_back("--listen");
  args.emplace_back("127.0.0.1:0");
  DaemonProcess daemon = spawn(std::move(args), std::move(env));
  constexpr std::string_view kRunning = "running on ";
  if (const auto line = daemon.wait_for_stderr_line(kRunning, timeout)) {
    daemon.address_ = line->substr(kLogPrefix.size() + kRunning.size());
  }
  return daemon;
}

DaemonProcess::DaemonProcess(pid_t pid, int stdout_fd, int stderr_fd)
    : pid_(pid), output_(std::make_shared<Output>()) {
  drain_ = std::thread([output = output_, stdout_fd, stderr_fd] {
    pollfd fds[2] = {{stdout_fd, POLLIN, 0}, {stderr_fd, POLLIN, 0}};
    int open = 2;
    char buffer[4096];
    while (open > 0) {
      if (::poll(fds, 2, -1) < 0) {
        if (errno == EINTR) continue;
        break;
      }
      for (pollfd& fd : fds) {
        if (fd.fd < 0 || fd.revents == 0) continue;
        const ssize_t n = ::read(fd.fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
          ::close(fd.fd);
          fd.fd = -1;
          --open;
          continue;
        }
        {
          const std::lock_guard lock(output->mutex);
          (fd.fd == stdout_fd ? output->out : output->err).append(buffer, static_cast<std::size_t>(n));
        }
        output->changed.notify_all();
      }
    }
    for (const pollfd& fd : fds) {
      if (fd.fd >= 0) ::close(fd.fd);
    }
    {
      const std::lock_guard lock(output->mutex);
      output->closed = true;
    }
    output->changed.notify_all();
  });
}

DaemonProcess::DaemonProcess(DaemonProcess&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)),
      exit_(other.exit_),
      address_(std::move(other.address_)),
      output_(std::move(other.output_)),
      drain_(std::move(other.drain_)) {}

DaemonProcess::~DaemonProcess() {
  if (pid_ > 0 && !exit_) {
    ::kill(pid_, SIGKILL);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
  }
  finish_output();
}

void DaemonProcess::finish_output() {
  if (drain_.joinable()) drain_.join();
}

std::uint16_t DaemonProcess::port() const {
  const std::size_t colon = address_.rfind(':');
  if (colon == std::string::npos) return 0;
  return static_cast<std::uint16_t>(std::stoul(address_.substr(colon + 1)));
}

bool DaemonProcess::running() { return !wait_exit(0ms).has_value(); }

std::optional<std::string> DaemonProcess::next_stderr_line(std::chrono::milliseconds timeout) {
  std::unique_lock lock(output_->mutex);
  const auto line_end = [&] { return output_->err.find('\n', output_->err_consumed); };
  output_->changed.wait_for(lock, timeout, [&] { return line_end() != std::string::npos || output_->closed; });
  std::size_t end = line_end();
  if (end == std::string::npos) {
    // A last line without a line feed is handed out once the stream has ended.
    if (!output_->closed || output_->err_consumed == output_->err.size()) return std::nullopt;
    end = output_->err.size();
  }
  std::string line = output_->err.substr(output_->err_consumed, end - output_->err_consumed);
  output_->err_consumed = std::min(end + 1, output_->err.size());
  return line;
}

std::optional<std::string> DaemonProcess::wait_for_stderr_line(std::string_view prefix,
                                                               std::chrono::milliseconds timeout, bool log) {
  const std::string wanted = log ? std::string(kLogPrefix) + std::string(prefix) : std::string(prefix);
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (true) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    auto line = next_stderr_line(std::max(left, 0ms));
    if (!line) return std::nullopt;
    if (line->starts_with(wanted)) return line;
  }
}

std::string DaemonProcess::stderr_text() const {
  const std::lock_guard lock(output_->mutex);
  return output_->err;
}

std::string DaemonProcess::stdout_text() const {
  const std::lock_guard lock(output_->mutex);
  return output_->out;
}

void DaemonProcess::send_signal(int signal) const {
  if (pid_ > 0 && !exit_) ::kill(pid_, signal);
}

std::optional<ExitStatus> DaemonProcess::wait_exit(std::chrono::milliseconds timeout) {
  if (exit_) return exit_;
  if (pid_ <= 0) return std::nullopt;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (true) {
    int status = 0;
    const pid_t reaped = ::waitpid(pid_, &status, WNOHANG);
    if (reaped == pid_) {
      exit_ = decode_wait_status(status);
      finish_output();
      return exit_;
    }
    if (reaped < 0 && errno != EINTR) return std::nullopt;
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(2ms);
  }
}

Completed run_to_exit(std::vector<std::string> args, std::vector<EnvChange> env, std::chrono::milliseconds timeout) {
  DaemonProcess daemon = DaemonProcess::spawn(std::move(args), std::move(env));
  auto status = daemon.wait_exit(timeout);
  if (!status) {
    daemon.send_signal(SIGKILL);
    status = daemon.wait_exit(kExitTimeout);
  }
  return {status.value_or(ExitStatus{}), daemon.stdout_text(), daemon.stderr_text()};
}

}  // namespace kelvane::e2e
