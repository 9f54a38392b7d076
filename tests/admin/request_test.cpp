#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#include "admin/request.hpp"
#include "admin/socket_address.hpp"
#include "admin/start.hpp"

namespace kelvane::admin {
namespace {

std::string_view path_of(std::string_view request) {
  return request_path({reinterpret_cast<const std::uint8_t*>(request.data()), request.size()});
}

TEST(RequestPath, FirstLineSecondTokenCutAtQuestionMark) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n", "/metrics"},
      {"GET /metrics?x=1 HTTP/1.1\r\n", "/metrics"},
      {"GET /metrics/ HTTP/1.1\r\n", "/metrics/"},
      {"POST /healthz HTTP/1.0\n", "/healthz"},
      {"GET\r\n", "/"},
      {"GET", "/"},
      {"", "/"},
      {"\r\n", "/"},
      {"   GET \t /catalog   \r\n", "/catalog"},
      {"GET ?only-query HTTP/1.1\r\n", ""},
      {"GET\xC2\xA0/healthz HTTP/1.1\r\n", "/healthz"},          // U+00A0 separates tokens
      {"GET\xE3\x80\x80/catalog\xE2\x80\xA8x\r\n", "/catalog"},  // U+3000, U+2028
      {"GET\xC2/healthz\r\n", "/"},                            // a malformed byte is not white space
      {"GET\xC2 /healthz\r\n", "/healthz"},
      {"GET \xC2\x85/x\r\n", "/x"},                           // U+0085
      {"GET\x85/healthz\r\n", "/"},                            // a lone continuation byte neither
      {"GET /a\rb HTTP/1.1\r\n", "/a"},  // CR inside the line is white space
      {"GET /first\nGET /second\n", "/first"},
  };
  for (const auto& [request, path] : cases) EXPECT_EQ(path_of(request), path) << request;
}

TEST(RequestPath, FirstLineIsComplete) {
  const auto bytes = [](std::string_view s) {
    return std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
  };
  EXPECT_FALSE(has_first_line(bytes("")));
  EXPECT_FALSE(has_first_line(bytes("GET /metr")));
  EXPECT_TRUE(has_first_line(bytes("GET /metrics\n")));
}

TEST(SocketAddress, ParsesNumericAddressesOnly) {
  const std::pair<std::string_view, std::optional<std::string_view>> cases[] = {
      {"127.0.0.1:9090", "127.0.0.1:9090"},
      {"0.0.0.0:0", "0.0.0.0:0"},
      {"[::1]:8080", "[::1]:8080"},
      {"[::]:65535", "[::]:65535"},
      {"localhost:9090", std::nullopt},
      {"127.0.0.1", std::nullopt},
      {"127.0.0.1:", std::nullopt},
      {"127.0.0.1:65536", std::nullopt},
      {"127.0.0.1:+80", std::nullopt},
      {"127.0.0.1:9090 ", std::nullopt},
      {"1.2.3:80", std::nullopt},
      {"01.2.3.4:80", std::nullopt},
      {"::1:80", std::nullopt},
      {"[127.0.0.1]:80", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& [text, expected] : cases) {
    const auto parsed = parse_socket_address(text);
    ASSERT_EQ(parsed.has_value(), expected.has_value()) << text;
    if (parsed) {
      EXPECT_EQ(to_string(*parsed), *expected);
    }
  }
}

TEST(AdminAddress, ChosenFromTheMetricsSection) {
  struct Case {
    bool enabled;
    std::string_view address;
    std::optional<std::string_view> expected;
  };
  const Case cases[] = {
      {true, "", "127.0.0.1:9090"},
      {true, "0.0.0.0:9100", "0.0.0.0:9100"},
      {false, "127.0.0.1:9200", "127.0.0.1:9200"},
      {false, "", std::nullopt},
  };
  for (const Case& c : cases) {
    config::DaemonConfig cfg;
    cfg.metrics_enabled = c.enabled;
    cfg.metrics_address = std::string(c.address);
    const auto chosen = admin_address(cfg);
    ASSERT_EQ(chosen.has_value(), c.expected.has_value()) << c.address;
    if (chosen) {
      EXPECT_EQ(*chosen, *c.expected);
    }
  }
}

}  // namespace
}  // namespace kelvane::admin
