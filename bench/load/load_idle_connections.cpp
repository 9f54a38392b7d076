// Opens many idle WebSocket connections to a freshly started daemon and reports what
// they cost: handshake rate and latency, the daemon's resident memory and thread count.
//
//   load_idle_connections [--daemon PATH] [--connections N] [--parallel P] [--hold SECONDS]

#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <iterator>
#include <cmath>
#include <iomanip>
#include <iostream>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include "daemon_child.hpp"
#include "ws_client.hpp"

namespace kelvane::load {

namespace {

using Clock = std::chrono::steady_clock;
using Millis = std::chrono::duration<double, std::milli>;

constexpr std::chrono::milliseconds kStartTimeout{10000};
constexpr std::chrono::milliseconds kHandshakeTimeout{10000};
constexpr std::chrono::milliseconds kStartupSettle{500};
constexpr std::chrono::milliseconds kThreadSettleTimeout{10000};
constexpr std::chrono::milliseconds kCloseTimeout{10000};
constexpr std::chrono::milliseconds kExitTimeout{10000};
constexpr std::chrono::milliseconds kPollPause{50};
// Descriptors the load program needs besides its client sockets.
constexpr rlim_t kSpareDescriptors = 64;
constexpr double kGoalKibPerConnection = 100.0;
constexpr std::size_t kMaxLinesShown = 10;

struct Options {
  std::string daemon = KELVANE_DAEMON_BINARY;
  std::size_t connections = 2000;
  std::size_t parallel = 16;
  std::chrono::seconds hold{2};
};

constexpr std::string_view kUsage =
    "usage: load_idle_connections [--daemon PATH] [--connections N] [--parallel P] [--hold SECONDS]";

std::expected<std::size_t, std::string> parse_count(std::string_view flag, std::string_view text) {
  std::size_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size() || value == 0) {
    return std::unexpected(std::string(flag) + " needs a positive number, not \"" + std::string(text) + "\"");
  }
  return value;
}

std::expected<Options, std::string> parse_options(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view flag = argv[i];
    if (flag == "--help") return std::unexpected(std::string());
    if (i + 1 >= argc) return std::unexpected(std::string(flag) + " needs a value");
    const std::string_view value = argv[++i];
    if (flag == "--daemon") {
      options.daemon = value;
      continue;
    }
    auto count = parse_count(flag, value);
    if (!count) return std::unexpected(count.error());
    if (flag == "--connections") {
      options.connections = *count;
    } else if (flag == "--parallel") {
      options.parallel = *count;
    } else if (flag == "--hold") {
      options.hold = std::chrono::seconds(*count);
    } else {
      return std::unexpected("unknown option " + std::string(flag));
    }
  }
  return options;
}

// Lifts the soft descriptor limit to the hard one; returns the soft limit now in force.
rlim_t raise_own_open_file_limit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
  limit.rlim_cur = limit.rlim_max;
  (void)::setrlimit(RLIMIT_NOFILE, &limit);
  (void)::getrlimit(RLIMIT_NOFILE, &limit);
  return limit.rlim_cur;
}

struct Ramp {
  std::vector<UniqueFd> sockets;     // the upgraded connections
  std::vector<double> latencies_ms;  // connect to end of the 101 answer, one per upgrade
  std::map<std::string, std::size_t> failures;
  Millis elapsed{};
};

// Upgrades options.connections connections, options.parallel at a time.
Ramp run_ramp(const ServerAddress& server, const Options& options) {
  Ramp ramp;
  std::mutex mutex;
  std::atomic<std::size_t> next{0};
  const auto worker = [&] {
    std::vector<UniqueFd> sockets;
    std::vector<double> latencies;
    while (next.fetch_add(1) < options.connections) {
      const auto begin = Clock::now();
      auto opened = open_websocket(server, kHandshakeTimeout);
      if (opened) {
        latencies.push_back(Millis(Clock::now() - begin).count());
        sockets.push_back(std::move(*opened));
        continue;
      }
      const std::lock_guard lock(mutex);
      ++ramp.failures[opened.error()];
    }
    const std::lock_guard lock(mutex);
    std::ranges::move(sockets, std::back_inserter(ramp.sockets));
    ramp.latencies_ms.insert(ramp.latencies_ms.end(), latencies.begin(), latencies.end());
  };
  const auto begin = Clock::now();
  {
    std::vector<std::jthread> workers;
    for (std::size_t i = 0; i < std::min(options.parallel, options.connections); ++i) workers.emplace_back(worker);
  }
  ramp.elapsed = Clock::now() - begin;
  std::ranges::sort(ramp.latencies_ms);
  return ramp;
}

// Nearest-rank percentile of sorted values.
double percentile(const std::vector<double>& sorted, double p) {
  if (sorted.empty()) return 0;
  const auto rank = static_cast<std::size_t>(std::ceil(p / 100.0 * static_cast<double>(sorted.size())));
  return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

// Waits until the daemon runs at least `threads` threads (or the time-out) and returns
// its status then.
std::optional<ProcessStatus> wait_for_threads(pid_t pid, std::uint64_t threads) {
  const auto deadline = Clock::now() + kThreadSettleTimeout;
  auto status = read_process_status(pid);
  while (status && status->threads < threads && Clock::now() < deadline) {
    std::this_thread::sleep_for(kPollPause);
    status = read_process_status(pid);
  }
  return status;
}

// Connections that are still open and on which the daemon sent nothing.
std::size_t count_quiet(const std::vector<UniqueFd>& sockets) {
  std::vector<pollfd> fds;
  for (const UniqueFd& socket : sockets) fds.push_back({socket.get(), POLLIN, 0});
  const int ready = ::poll(fds.data(), fds.size(), 0);
  return ready < 0 ? 0 : sockets.size() - static_cast<std::size_t>(ready);
}

struct CloseOutcome {
  std::size_t ended = 0;     // the daemon ended the stream
  std::size_t answered = 0;  // of those, the ones it sent a Close frame first
  Millis elapsed{};
};

// Sends every connection a Close and reads each to its end.
CloseOutcome close_all(const std::vector<UniqueFd>& sockets) {
  CloseOutcome outcome;
  const auto begin = Clock::now();
  std::vector<pollfd> fds;
  std::vector<bool> saw_close(sockets.size(), false);
  std::vector<bool> first_byte(sockets.size(), true);
  for (const UniqueFd& socket : sockets) fds.push_back({send_close(socket.get()) ? socket.get() : -1, POLLIN, 0});
  std::size_t open = static_cast<std::size_t>(std::ranges::count_if(fds, [](const pollfd& p) { return p.fd >= 0; }));
  const auto deadline = begin + kCloseTimeout;
  char buffer[512];
  while (open > 0 && Clock::now() < deadline) {
    if (::poll(fds.data(), fds.size(), static_cast<int>(kPollPause.count())) < 0 && errno != EINTR) break;
    for (std::size_t i = 0; i < fds.size(); ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      const ssize_t n = ::recv(fds[i].fd, buffer, sizeof buffer, 0);
      if (n > 0) {
        if (first_byte[i]) saw_close[i] = static_cast<unsigned char>(buffer[0]) == 0x88;
        first_byte[i] = false;
        continue;
      }
      if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      fds[i].fd = -1;
      --open;
      ++outcome.ended;
      if (saw_close[i]) ++outcome.answered;
    }
  }
  outcome.elapsed = Clock::now() - begin;
  return outcome;
}

std::string fixed(double value, int decimals) {
  std::ostringstream out;
  out << std::fixed << std::setprecision(decimals) << value;
  return out.str();
}

void row(std::string_view label, const std::string& text) {
  std::cout << "  " << std::left << std::setw(20) << label << text << '\n';
}

std::string describe_wait_status(int status) {
  if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return "killed by signal " + std::to_string(WTERMSIG(status));
  return "wait status " + std::to_string(status);
}

// Everything the daemon wrote after its "running on" line.
std::vector<std::string> lines_after_start(const DaemonChild& daemon) {
  std::vector<std::string> lines = daemon.output_lines();
  const auto running = std::ranges::find_if(lines, [](const std::string& l) { return l.find("running on ") != std::string::npos; });
  if (running == lines.end()) return lines;
  return {running + 1, lines.end()};
}

// Each distinct line once, in the order of first appearance, with how often it came.
std::vector<std::pair<std::string, std::size_t>> count_distinct(const std::vector<std::string>& lines) {
  std::vector<std::pair<std::string, std::size_t>> distinct;
  for (const std::string& line : lines) {
    const auto seen = std::ranges::find(distinct, line, &std::pair<std::string, std::size_t>::first);
    if (seen != distinct.end()) {
      ++seen->second;
    } else {
      distinct.emplace_back(line, 1);
    }
  }
  return distinct;
}

int run(const Options& options) {
  // The daemon is started before this program lifts its own limit, so that it runs with
  // the limit it was given and has to lift its own.
  DaemonChild daemon(options.daemon);
  const auto address = daemon.wait_running(kStartTimeout);
  if (!address) {
    std::cerr << "daemon did not start: " << address.error() << '\n';
    return 1;
  }
  const auto server = resolve(*address);
  if (!server) {
    std::cerr << "daemon address: " << server.error() << '\n';
    return 1;
  }
  const rlim_t own_limit = raise_own_open_file_limit();
  if (own_limit < options.connections + kSpareDescriptors) {
    std::cerr << "RLIMIT_NOFILE of this program is " << own_limit << " (its hard limit), too low for "
              << options.connections << " connections plus " << kSpareDescriptors << " spare descriptors\n";
    return 1;
  }

  const std::string daemon_limit = open_file_soft_limit(daemon.pid()).value_or("unknown");
  std::this_thread::sleep_for(kStartupSettle);
  const auto before = read_process_status(daemon.pid());
  if (!before) {
    std::cerr << "daemon ended before the ramp\n";
    return 1;
  }
  Ramp ramp = run_ramp(*server, options);
  const std::size_t upgraded = ramp.sockets.size();
  // Each connection runs a connection thread and a sender thread.
  (void)wait_for_threads(daemon.pid(), before->threads + 2 * upgraded);
  const double cpu_before_hold = cpu_seconds(daemon.pid()).value_or(0);
  std::this_thread::sleep_for(options.hold);
  const double idle_cpu_share = (cpu_seconds(daemon.pid()).value_or(0) - cpu_before_hold) /
                                static_cast<double>(options.hold.count());
  const auto after = read_process_status(daemon.pid()).value_or(ProcessStatus{});
  const std::size_t quiet = count_quiet(ramp.sockets);

  const CloseOutcome closed = close_all(ramp.sockets);
  ramp.sockets.clear();
  const auto after_close = wait_for_threads(daemon.pid(), 0).value_or(ProcessStatus{});

  const auto stop_begin = Clock::now();
  daemon.terminate();
  const auto exit = daemon.wait_exit(kExitTimeout);
  const Millis stop_time = Clock::now() - stop_begin;

  const double rate = static_cast<double>(upgraded) / (ramp.elapsed.count() / 1000.0);
  const double grown_kib = static_cast<double>(after.rss_kib) - static_cast<double>(before->rss_kib);
  const double per_connection = upgraded == 0 ? 0 : grown_kib / static_cast<double>(upgraded);
  std::size_t failed = 0;
  for (const auto& [reason, count] : ramp.failures) failed += count;

  std::cout << "idle WebSocket connections against kelvane-ws-bridged\n";
  row("daemon", options.daemon + " (pid " + std::to_string(daemon.pid()) + ", " + *address + ")");
  row("open file limit", "daemon " + daemon_limit + ", load program " +
                             std::to_string(own_limit) + " (soft)");
  row("connections", std::to_string(options.connections) + " wanted, " + std::to_string(upgraded) + " upgraded (101), " +
                         std::to_string(failed) + " failed; " + std::to_string(options.parallel) + " handshakes in flight");
  for (const auto& [reason, count] : ramp.failures) row("  failure", std::to_string(count) + "x " + reason);
  row("ramp", fixed(ramp.elapsed.count() / 1000.0, 2) + " s, " + fixed(rate, 0) + " handshakes/s");
  row("handshake latency", "p50 " + fixed(percentile(ramp.latencies_ms, 50), 2) + " ms, p99 " +
                               fixed(percentile(ramp.latencies_ms, 99), 2) + " ms, max " +
                               fixed(ramp.latencies_ms.empty() ? 0 : ramp.latencies_ms.back(), 2) + " ms");
  row("daemon RSS", "before " + std::to_string(before->rss_kib) + " KiB, with connections " +
                        std::to_string(after.rss_kib) + " KiB (peak " + std::to_string(after.peak_rss_kib) +
                        " KiB), after close " + std::to_string(after_close.rss_kib) + " KiB");
  row("RSS per connection", fixed(per_connection, 1) + " KiB (goal <= " + fixed(kGoalKibPerConnection, 0) + " KiB: " +
                                (per_connection <= kGoalKibPerConnection ? "met" : "MISSED") + ")");
  row("daemon threads", "before " + std::to_string(before->threads) + ", with connections " +
                            std::to_string(after.threads) + ", after close " + std::to_string(after_close.threads));
  row("idle", std::to_string(quiet) + " of " + std::to_string(upgraded) + " connections open and silent after " +
                  std::to_string(options.hold.count()) + " s; daemon CPU while idle " +
                  fixed(idle_cpu_share * 100, 1) + "% of one core");
  row("close", "Close sent; the daemon ended " + std::to_string(closed.ended) + " connections (" +
                   std::to_string(closed.answered) + " with a Close frame first) in " +
                   fixed(closed.elapsed.count(), 0) + " ms");
  row("stop", exit ? describe_wait_status(*exit) + " " + fixed(stop_time.count(), 0) + " ms after SIGTERM"
                   : "still running " + fixed(stop_time.count(), 0) + " ms after SIGTERM (killed)");
  const std::vector<std::string> lines = lines_after_start(daemon);
  row("daemon log", std::to_string(lines.size()) + " lines after \"running on\"");
  const auto distinct = count_distinct(lines);
  for (std::size_t i = 0; i < std::min(distinct.size(), kMaxLinesShown); ++i) {
    std::cout << "    " << distinct[i].second << "x " << distinct[i].first << '\n';
  }

  const bool clean = failed == 0 && quiet == upgraded && closed.ended == upgraded && exit && WIFEXITED(*exit) &&
                     WEXITSTATUS(*exit) == 0;
  return clean ? 0 : 1;
}

}  // namespace

}  // namespace kelvane::load

int main(int argc, char** argv) {
  const auto options = kelvane::load::parse_options(argc, argv);
  if (!options) {
    if (options.error().empty()) {
      std::cout << kelvane::load::kUsage << '\n';
      return 0;
    }
    std::cerr << "error: " << options.error() << '\n' << kelvane::load::kUsage << '\n';
    return 2;
  }
  try {
    return kelvane::load::run(*options);
  } catch (const std::exception& e) {
    std::cerr << "load_idle_connections: " << e.what() << '\n';
  }
  return 1;
}
