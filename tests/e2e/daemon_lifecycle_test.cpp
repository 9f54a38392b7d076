#include <gtest/gtest.h>

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "e2e/support/daemon_process.hpp"

namespace kelvane::e2e {
namespace {

std::string log(const std::string& text) { return std::string(kLogPrefix) + text + "\n"; }

// The three lines of a start without DDS topics on the given address.
// The security line of a configuration without auth or ACL settings.
constexpr const char* kDefaultSecurityLine = "auth-mode=none acl-entries=0";

std::string start_lines(const std::string& listen, const std::string& bound, int domain, int topics) {
  return log("starting on " + listen + " domain=" + std::to_string(domain) + " topics=" + std::to_string(topics)) +
         log(kDefaultSecurityLine) + log("bound on " + bound) + log("running on " + bound);
}

// A listening socket on 127.0.0.1 that keeps its port busy.
class BusyPort {
 public:
  BusyPort() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    EXPECT_EQ(::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(::listen(fd_, 1), 0);
    EXPECT_EQ(::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length), 0);
    address_ = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
  }
  BusyPort(const BusyPort&) = delete;
  BusyPort& operator=(const BusyPort&) = delete;
  ~BusyPort() { ::close(fd_); }
  [[nodiscard]] const std::string& address() const { return address_; }

 private:
  int fd_;
  std::string address_;
};

TEST(DaemonLifecycle, StartsLogsItsStagesAndStopsOnSigtermOrSigint) {
  for (const int signal : {SIGTERM, SIGINT}) {
    DaemonProcess daemon = DaemonProcess::start_listening({});
    ASSERT_TRUE(daemon.running()) << daemon.stderr_text();
    ASSERT_NE(daemon.port(), 0) << daemon.stderr_text();
    EXPECT_EQ(daemon.stderr_text(), start_lines("127.0.0.1:0", daemon.address(), 0, 0));

    // The listener is bound and takes connections into its backlog.
    const int client = connect_tcp(daemon.address());
    EXPECT_GE(client, 0);
    if (client >= 0) ::close(client);

    daemon.send_signal(signal);
    EXPECT_EQ(daemon.wait_exit(kExitTimeout), ExitStatus::exited(0)) << "signal " << signal;
    // Nothing more is written on the way out.
    EXPECT_EQ(daemon.stderr_text(), start_lines("127.0.0.1:0", daemon.address(), 0, 0));
    EXPECT_EQ(daemon.stdout_text(), "");
  }
}

TEST(DaemonLifecycle, SighupWithoutTlsChangesNothing) {
  DaemonProcess daemon = DaemonProcess::start_listening({});
  ASSERT_TRUE(daemon.running()) << daemon.stderr_text();
  const std::string before = daemon.stderr_text();

  daemon.send_signal(SIGHUP);
  daemon.send_signal(SIGHUP);
  // Give a wrong reaction (dying, printing) time to show.
  std::this_thread::sleep_for(300ms);
  EXPECT_TRUE(daemon.running());
  EXPECT_EQ(daemon.stderr_text(), before);

  daemon.send_signal(SIGTERM);
  EXPECT_EQ(daemon.wait_exit(kExitTimeout), ExitStatus::exited(0));
  EXPECT_EQ(daemon.stderr_text(), before);
}

TEST(DaemonLifecycle, ConfigFileEnvironmentAndOverrides) {
  const TempFile config(
      "listen: ${KVL_E2E_LISTEN:-127.0.0.1:1}  # replaced on the command line\n"
      "domain: ${KVL_E2E_DOMAIN}\n"
      "log_level: warn\n"
      "topics:\n"
      "  - name: Sensors::Temp\n"
      "    direction: out\n"
      "  - name: Commands\n");
  {
    // The file's values: the start line shows the substituted domain and the topics.
    const Completed run = run_to_exit({"--config", config.path(), "--listen", "127.0.0.1"},
                                      {{"KVL_E2E_DOMAIN", "17"}, {"KVL_E2E_LISTEN", std::nullopt}});
    EXPECT_EQ(run.status, ExitStatus::exited(2));
    EXPECT_EQ(run.err, log("starting on 127.0.0.1 domain=17 topics=2") + log(kDefaultSecurityLine) +
                           log("bind error: invalid socket address: missing port"));
  }
  // --domain replaces the file's domain.
  DaemonProcess daemon =
      DaemonProcess::start_listening({"--config", config.path(), "--domain", "-4"}, {{"KVL_E2E_DOMAIN", "17"}});
  ASSERT_TRUE(daemon.running()) << daemon.stderr_text();
  EXPECT_EQ(daemon.stderr_text(), start_lines("127.0.0.1:0", daemon.address(), -4, 2));
  daemon.send_signal(SIGTERM);
  EXPECT_EQ(daemon.wait_exit(kExitTimeout), ExitStatus::exited(0));
}

TEST(DaemonLifecycle, ConfigurationFailuresExitWithStatusOne) {
  const TempFile bad_syntax("listen: 127.0.0.1:0\n  indented: oops\n");
  const TempFile bad_domain("domain: 7x\n");
  const TempFile no_name("topics:\n  - type: T\n");
  const TempFile not_scalar("listen:\n  host: x\n");
  const TempFile latin1("listen: caf\xe9\n");
  const struct {
    std::string path;
    std::string line;
  } cases[] = {
      {"/nonexistent/kelvane.yaml", "io error: config: config io: No such file or directory (os error 2)"},
      {"/", "io error: config: config io: Is a directory (os error 21)"},
      {bad_syntax.path(), "io error: config: config syntax: unexpected indent at line containing indented: oops"},
      {bad_domain.path(), "io error: config: config bad value for domain: 7x"},
      {no_name.path(), "io error: config: config missing field: topics[].name"},
      {not_scalar.path(), "io error: config: config syntax: expected scalar"},
      {latin1.path(), "io error: config: config io: file is not valid UTF-8"},
  };
  for (const auto& c : cases) {
    const Completed run = run_to_exit({"--config", c.path});
    EXPECT_EQ(run.status, ExitStatus::exited(1)) << c.path;
    EXPECT_EQ(run.err, log(c.line)) << c.path;
    EXPECT_EQ(run.out, "") << c.path;
  }
}

TEST(DaemonLifecycle, BindFailuresExitWithStatusTwo) {
  const BusyPort busy;
  const struct {
    std::string listen;
    std::string line;
  } cases[] = {
      {busy.address(), "bind error: Address already in use (os error 98)"},
      {"127.0.0.1", "bind error: invalid socket address: missing port"},
      {"localhost", "bind error: invalid socket address: missing port"},
      {"127.0.0.1:70000", "bind error: invalid port value"},
  };
  for (const auto& c : cases) {
    const Completed run = run_to_exit({"--listen", c.listen});
    EXPECT_EQ(run.status, ExitStatus::exited(2)) << c.listen;
    EXPECT_EQ(run.err, log("starting on " + c.listen + " domain=0 topics=0") + log(kDefaultSecurityLine) + log(c.line)) << c.listen;
  }
}

TEST(DaemonLifecycle, ListensOnIpv6AndHostNames) {
  for (const std::string listen : {"localhost:0", "[::1]:0"}) {
    if (listen.starts_with("[")) {
      const int probe = ::socket(AF_INET6, SOCK_STREAM, 0);
      sockaddr_in6 loopback{};
      loopback.sin6_family = AF_INET6;
      loopback.sin6_addr = in6addr_loopback;
      const bool ipv6 = probe >= 0 && ::bind(probe, reinterpret_cast<const sockaddr*>(&loopback), sizeof loopback) == 0;
      if (probe >= 0) ::close(probe);
      if (!ipv6) continue;  // no IPv6 loopback in this network namespace
    }
    DaemonProcess daemon = DaemonProcess::spawn({"--listen", listen});
    const auto running = daemon.wait_for_stderr_line("running on ", kStartTimeout);
    ASSERT_TRUE(running) << daemon.stderr_text();
    const std::string bound = running->substr(kLogPrefix.size() + std::string("running on ").size());
    EXPECT_TRUE(bound.starts_with("127.0.0.1:") || bound.starts_with("[::1]:")) << bound;
    EXPECT_FALSE(bound.ends_with(":0")) << bound;
    const int client = connect_tcp(bound);
    EXPECT_GE(client, 0) << bound;
    if (client >= 0) ::close(client);
    daemon.send_signal(SIGTERM);
    EXPECT_EQ(daemon.wait_exit(kExitTimeout), ExitStatus::exited(0));
  }
}

}  // namespace
}  // namespace kelvane::e2e
