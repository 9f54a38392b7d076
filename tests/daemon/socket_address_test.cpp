#include <gtest/gtest.h>

#include <netinet/in.h>

#include <string_view>

#include "daemon/server_error.hpp"
#include "daemon/socket_address.hpp"

namespace kelvane::daemon {
namespace {

TEST(ResolveSocketAddress, NumericForms) {
  const struct {
    std::string_view text;
    int family;
    std::string_view formatted;
  } cases[] = {
      {"127.0.0.1:8080", AF_INET, "127.0.0.1:8080"},
      {"0.0.0.0:0", AF_INET, "0.0.0.0:0"},
      {"[::1]:8080", AF_INET6, "[::1]:8080"},
      {"[::]:65535", AF_INET6, "[::]:65535"},
      {"[::ffff:10.0.0.1]:1", AF_INET6, "[::ffff:10.0.0.1]:1"},
  };
  for (const auto& c : cases) {
    const auto resolved = resolve_socket_address(c.text, /*numeric_only=*/true);
    ASSERT_TRUE(resolved) << c.text << ": " << resolved.error();
    ASSERT_EQ(resolved->size(), 1u) << c.text;
    EXPECT_EQ(resolved->front().family(), c.family) << c.text;
    EXPECT_EQ(format_socket_address(resolved->front().get(), resolved->front().length), c.formatted);
  }
}

TEST(ResolveSocketAddress, HostNamesResolveUnlessNumericOnly) {
  const auto resolved = resolve_socket_address("localhost:80", /*numeric_only=*/false);
  ASSERT_TRUE(resolved) << resolved.error();
  ASSERT_FALSE(resolved->empty());
  for (const SocketAddress& address : *resolved) {
    const std::string text = format_socket_address(address.get(), address.length);
    EXPECT_TRUE(text == "127.0.0.1:80" || text == "[::1]:80") << text;
  }
  const auto refused = resolve_socket_address("localhost:80", /*numeric_only=*/true);
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error(), "invalid socket address");
}

TEST(ResolveSocketAddress, Errors) {
  const struct {
    std::string_view text;
    std::string_view error;
  } cases[] = {
      {"localhost", "invalid socket address: missing port"},
      {"127.0.0.1", "invalid socket address: missing port"},
      {"[::1]", "invalid socket address: missing port"},
      {"", "invalid socket address: missing port"},
      {"::1", "invalid socket address"},
      {"[::1", "invalid socket address"},
      {"[::1]8080", "invalid socket address"},
      {"127.0.0.1:", "invalid port value"},
      {"127.0.0.1:65536", "invalid port value"},
      {"127.0.0.1:80a", "invalid port value"},
      {"127.0.0.1:-1", "invalid port value"},
      {"127.0.0.1:123456", "invalid port value"},
  };
  for (const auto& c : cases) {
    const auto resolved = resolve_socket_address(c.text, /*numeric_only=*/false);
    ASSERT_FALSE(resolved) << c.text;
    EXPECT_EQ(resolved.error(), c.error) << c.text;
  }
  // A name the resolver cannot find carries the resolver's own text.
  const auto unknown = resolve_socket_address("no-such-host.invalid:80", /*numeric_only=*/false);
  ASSERT_FALSE(unknown);
  EXPECT_TRUE(unknown.error().starts_with("failed to lookup address information: ")) << unknown.error();
}

TEST(ServerErrorLines, PrefixAndExitStatus) {
  const struct {
    ServerError error;
    std::string_view line;
    int status;
  } cases[] = {
      {ServerError::io("config: config io: x"), "io error: config: config io: x", 1},
      {ServerError::bind("Address already in use (os error 98)"), "bind error: Address already in use (os error 98)", 2},
      {ServerError::dds("TransportError { label: \"spdp\" }"), "dds error: TransportError { label: \"spdp\" }", 3},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.error.line(), c.line);
    EXPECT_EQ(c.error.exit_status(), c.status);
  }
}

}  // namespace
}  // namespace kelvane::daemon
