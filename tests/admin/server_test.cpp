#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "admin/start.hpp"
#include "common/unique_fd.hpp"
#include "observability/registry.hpp"

namespace kelvane::admin {
namespace {

using namespace std::chrono_literals;

// Client side: a blocking loop-back socket whose reads give up after 5 s, so a server
// that never answers fails the test instead of hanging it.
UniqueFd connect_to(const SocketAddress& address) {
  UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  timeval limit{5, 0};
  ::setsockopt(fd.get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  EXPECT_EQ(::connect(fd.get(), address.get(), address.length), 0);
  return fd;
}

void send_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    ASSERT_GT(n, 0);
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

// Everything up to the server's close; "<reset>" or "<timeout>" when it did not close cleanly.
std::string read_to_end(int fd) {
  std::string out;
  char buf[4096];
  for (;;) {
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n == 0) return out;
    if (n < 0) return errno == ECONNRESET ? out + "<reset>" : out + "<timeout>";
    out.append(buf, static_cast<std::size_t>(n));
  }
}

std::string roundtrip(const SocketAddress& address, std::string_view request, bool half_close = false) {
  UniqueFd fd = connect_to(address);
  send_all(fd.get(), request);
  if (half_close) ::shutdown(fd.get(), SHUT_WR);
  return read_to_end(fd.get());
}

std::string http(std::string_view status, std::string_view type, std::string_view body) {
  return "HTTP/1.1 " + std::string(status) + "\r\nContent-Type: " + std::string(type) +
         "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + std::string(body);
}

const std::string kIndex = http("200 OK", "text/plain; charset=utf-8",
                                "kelvane-ws-bridged\nendpoints: /catalog /healthz /metrics\n");
const std::string kHealthy = http("200 OK", "text/plain; charset=utf-8", "OK\n");
const std::string kDown = http("503 Service Unavailable", "text/plain; charset=utf-8", "DOWN\n");
const std::string kNotFound = http("404 Not Found", "text/plain; charset=utf-8", "");

class AdminServer : public ::testing::Test {
 protected:
  void start(AdminLimits limits = {}) {
    registry->set_help("kelvane_ws_errors_total", "Frame/codec/socket errors");
    errors = registry->counter("kelvane_ws_errors_total", {});
    errors->add(42);
    topics.push_back({"Chat", "chat::Msg", "bidir", "/topics/chat", "reliable", "volatile", 5});
    auto started = start_admin_endpoint("127.0.0.1:0", registry, topics, ready, shutdown, limits);
    ASSERT_TRUE(started.has_value()) << started.error().message();
    endpoint = std::move(*started);
  }

  void TearDown() override {
    shutdown->store(true);
    if (endpoint.thread.joinable()) {
      // Wakes the loop at once; refused when the loop has already seen the flag and closed.
      UniqueFd wake(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
      static_cast<void>(::connect(wake.get(), endpoint.address.get(), endpoint.address.length));
      endpoint.thread.join();
    }
  }

  std::shared_ptr<observability::Registry> registry = std::make_shared<observability::Registry>();
  observability::CounterHandle errors;
  std::vector<config::TopicConfig> topics;
  std::shared_ptr<std::atomic<bool>> ready = std::make_shared<std::atomic<bool>>(true);
  std::shared_ptr<std::atomic<bool>> shutdown = std::make_shared<std::atomic<bool>>(false);
  AdminEndpoint endpoint;
};

TEST_F(AdminServer, RoutesAnswerByteForByte) {
  start();
  const std::string metrics = http("200 OK", "text/plain; version=0.0.4; charset=utf-8",
                                   "# HELP kelvane_ws_errors_total Frame/codec/socket errors\n"
                                   "# TYPE kelvane_ws_errors_total counter\n"
                                   "kelvane_ws_errors_total 42\n");
  const std::string catalog =
      http("200 OK", "application/json",
           R"({"service":"kelvane-ws-bridged","version":"1.0.0-rc.1","topics":[{"name":"Chat","type":"chat::Msg",)"
           R"("direction":"bidir","ws_path":"/topics/chat","qos":{"reliability":"reliable","durability":"volatile",)"
           R"("history_depth":5}}]})");
  struct Case {
    std::string_view request;
    const std::string& response;
  };
  const Case cases[] = {
      {"GET / HTTP/1.1\r\nHost: a\r\n\r\n", kIndex},
      {"GET /metrics HTTP/1.1\r\n\r\n", metrics},
      {"GET /metrics?x=1 HTTP/1.1\r\n\r\n", metrics},
      {"GET /metrics/ HTTP/1.1\r\n\r\n", kNotFound},
      {"GET /catalog HTTP/1.1\r\n\r\n", catalog},
      {"GET /healthz HTTP/1.1\r\n\r\n", kHealthy},
      {"POST /healthz HTTP/1.1\r\nContent-Length: 0\r\n\r\n", kHealthy},
      {"GET /nope HTTP/1.1\r\n\r\n", kNotFound},
      {"GET\r\n\r\n", kIndex},
  };
  for (const Case& c : cases) EXPECT_EQ(roundtrip(endpoint.address, c.request), c.response) << c.request;
}

TEST_F(AdminServer, MetricsAreAFreshSnapshotPerScrape) {
  start();
  errors->inc();
  const std::string body = roundtrip(endpoint.address, "GET /metrics HTTP/1.1\r\n\r\n");
  EXPECT_NE(body.find("\r\n\r\n# HELP kelvane_ws_errors_total"), std::string::npos) << body;
  EXPECT_NE(body.find("\nkelvane_ws_errors_total 43\n"), std::string::npos) << body;
}

TEST_F(AdminServer, HealthFollowsTheReadyFlag) {
  start();
  EXPECT_EQ(roundtrip(endpoint.address, "GET /healthz HTTP/1.1\r\n\r\n"), kHealthy);
  ready->store(false);
  EXPECT_EQ(roundtrip(endpoint.address, "GET /healthz HTTP/1.1\r\n\r\n"), kDown);
  ready->store(true);
  EXPECT_EQ(roundtrip(endpoint.address, "GET /healthz HTTP/1.1\r\n\r\n"), kHealthy);
}

TEST_F(AdminServer, EmptyRequestWithHalfCloseGetsTheIndex) {
  start();
  EXPECT_EQ(roundtrip(endpoint.address, "", /*half_close=*/true), kIndex);
  EXPECT_EQ(roundtrip(endpoint.address, "GET", /*half_close=*/true), kIndex);
}

TEST_F(AdminServer, RequestLineSplitAcrossWritesIsRoutedWhole) {
  start();
  UniqueFd fd = connect_to(endpoint.address);
  send_all(fd.get(), "GET /hea");
  // Give the first fragment time to be read on its own: the server must not answer from
  // it, since only the second fragment completes the line.
  std::this_thread::sleep_for(50ms);
  send_all(fd.get(), "lthz HTTP/1.1\r\n\r\n");
  EXPECT_EQ(read_to_end(fd.get()), kHealthy);
}

TEST_F(AdminServer, OversizedRequestIsAnsweredWithoutReset) {
  start();
  const std::string request = "GET /healthz HTTP/1.1\r\nCookie: " + std::string(20000, 'c') + "\r\n\r\n";
  UniqueFd fd = connect_to(endpoint.address);
  send_all(fd.get(), request);
  // Read late, after the server is done with the connection: a close with unread request
  // bytes would have reset it and lost the response.
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(read_to_end(fd.get()), kHealthy);
}

TEST_F(AdminServer, SilentClientIsDroppedWithoutResponse) {
  AdminLimits limits;
  limits.io_timeout = 200ms;
  start(limits);
  UniqueFd silent = connect_to(endpoint.address);
  EXPECT_EQ(read_to_end(silent.get()), "");
}

TEST_F(AdminServer, UnfinishedRequestLineIsAnsweredWhenTheClientStalls) {
  AdminLimits limits;
  limits.io_timeout = 200ms;
  start(limits);
  UniqueFd fd = connect_to(endpoint.address);
  send_all(fd.get(), "GET /healthz");  // no line end, no half-close
  EXPECT_EQ(read_to_end(fd.get()), kHealthy);
}

TEST_F(AdminServer, TricklingClientIsCutOffAtTheLifetimeLimit) {
  AdminLimits limits;
  limits.io_timeout = 60s;
  limits.max_lifetime = 300ms;
  start(limits);
  UniqueFd fd = connect_to(endpoint.address);
  send_all(fd.get(), "GET /heal");
  EXPECT_EQ(read_to_end(fd.get()), "");
}

TEST_F(AdminServer, RunsOnItsNamedThread) {
  start();
  ASSERT_EQ(roundtrip(endpoint.address, "GET / HTTP/1.1\r\n\r\n"), kIndex);  // the loop has started
  bool found = false;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::ifstream comm(task.path() / "comm");
    std::string name;
    std::getline(comm, name);
    found = found || name == "kelvane-ws-admi";  // the OS keeps 15 bytes of "kelvane-ws-admin"
  }
  EXPECT_TRUE(found);
}

TEST_F(AdminServer, SilentClientsDoNotStallOthers) {
  AdminLimits limits;
  limits.io_timeout = 60s;  // far beyond the client's 5 s read limit
  start(limits);
  std::vector<UniqueFd> silent;
  for (int i = 0; i < 3; ++i) silent.push_back(connect_to(endpoint.address));
  EXPECT_EQ(roundtrip(endpoint.address, "GET /healthz HTTP/1.1\r\n\r\n"), kHealthy);
}

TEST_F(AdminServer, OldestConnectionMakesRoomWhenFull) {
  AdminLimits limits;
  limits.io_timeout = 60s;
  limits.max_connections = 2;
  start(limits);
  UniqueFd first = connect_to(endpoint.address);
  UniqueFd second = connect_to(endpoint.address);
  EXPECT_EQ(roundtrip(endpoint.address, "GET /healthz HTTP/1.1\r\n\r\n"), kHealthy);
  EXPECT_EQ(read_to_end(first.get()), "");  // evicted, no answer
}

TEST_F(AdminServer, ShutdownFlagAndWakeUpEndTheThread) {
  start();
  shutdown->store(true);
  connect_to(endpoint.address);
  endpoint.thread.join();  // returns only once the loop has ended
  UniqueFd late(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  EXPECT_NE(::connect(late.get(), endpoint.address.get(), endpoint.address.length), 0);  // listener closed
}

TEST_F(AdminServer, StartReportsBoundAddressAndErrors) {
  start();
  const std::string message = started_message(endpoint);
  EXPECT_TRUE(message.starts_with("admin endpoint on 127.0.0.1:")) << message;
  EXPECT_TRUE(message.ends_with(" (/metrics /catalog /healthz)")) << message;
  EXPECT_EQ(message.find("127.0.0.1:0 "), std::string::npos) << message;

  const auto bad = start_admin_endpoint("localhost:9090", registry, topics, ready, shutdown);
  ASSERT_FALSE(bad.has_value());
  EXPECT_EQ(bad.error().message(), "admin addr parse error: invalid socket address syntax");

  const auto taken = start_admin_endpoint(to_string(endpoint.address), registry, topics, ready, shutdown);
  ASSERT_FALSE(taken.has_value());
  EXPECT_EQ(taken.error().message(), "admin bind error: Address already in use (os error 98)");
}

}  // namespace
}  // namespace kelvane::admin
