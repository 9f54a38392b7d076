#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "common/encoding.hpp"
#include "common/json_escape.hpp"
#include "common/mpsc.hpp"
#include "common/shared_bytes.hpp"

namespace kelvane {
namespace {

std::vector<std::uint8_t> bytes_of(std::string_view s) { return {s.begin(), s.end()}; }

TEST(JsonEscape, EscapesQuotesBackslashesAndControlCharacters) {
  const struct {
    std::string_view in;
    std::string_view out;
  } cases[] = {
      {"plain", "plain"},
      {"a\"b\\c", "a\\\"b\\\\c"},
      {"\n\r\t", "\\n\\r\\t"},
      {std::string_view("\x00\x01\x1f", 3), "\\u0000\\u0001\\u001f"},
      {"\x7f", "\x7f"},
      {"gr\xc3\xbc\xc3\x9f", "gr\xc3\xbc\xc3\x9f"},
  };
  for (const auto& c : cases) {
    std::string out = "prefix:";
    append_json_escaped(out, c.in);
    EXPECT_EQ(out, "prefix:" + std::string(c.out)) << c.in;
  }
}

TEST(Encoding, HexAndBase64) {
  EXPECT_EQ(to_hex(bytes_of("\x01\xab\xff")), "01abff");
  // RFC 4648 test vectors.
  const std::pair<std::string_view, std::string_view> vectors[] = {
      {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="}, {"foobar", "Zm9vYmFy"}};
  for (const auto& [plain, encoded] : vectors) EXPECT_EQ(base64_encode(bytes_of(plain)), encoded);
}

TEST(Encoding, Base64UrlDecodeRejectsOtherAlphabetsAndPadding) {
  EXPECT_EQ(base64url_decode("Zm9vYg"), bytes_of("foob"));
  EXPECT_EQ(base64url_decode("-_8"), std::vector<std::uint8_t>({0xfb, 0xff}));
  EXPECT_EQ(base64url_decode(""), std::vector<std::uint8_t>{});
  EXPECT_FALSE(base64url_decode("Zm9vYg=="));
  EXPECT_FALSE(base64url_decode("+/8"));
  EXPECT_FALSE(base64url_decode("Zm9vY"));  // 5 characters cannot encode whole bytes
}

TEST(SharedBytes, SlicesShareTheBufferAndClamp) {
  const auto whole = SharedBytes::copy_of(bytes_of("hello world"));
  const auto world = whole.slice(6, 5);
  EXPECT_EQ(world.data(), whole.data() + 6);
  EXPECT_EQ(std::string(world.span().begin(), world.span().end()), "world");
  EXPECT_EQ(whole.slice(8, 100).size(), 3u);
  EXPECT_TRUE(whole.slice(50, 1).empty());
  EXPECT_EQ(SharedBytes::copy_of(bytes_of("world")), world);
}

TEST(Mpsc, DeliversInOrderThenReportsDisconnectAfterDraining) {
  auto [tx, rx] = Mpsc<int>::channel();
  std::thread producer([sender = tx] {
    for (int i = 0; i < 1000; ++i) sender.push(i);
  });
  producer.join();
  { auto gone = std::move(tx); }
  for (int i = 0; i < 1000; ++i) {
    auto r = rx.pop_for(std::chrono::milliseconds(100));
    ASSERT_EQ(r.status, Mpsc<int>::PopStatus::Value);
    EXPECT_EQ(*r.value, i);
  }
  EXPECT_EQ(rx.pop_for(std::chrono::milliseconds(1)).status, Mpsc<int>::PopStatus::Disconnected);
}

TEST(Mpsc, TimesOutWhileSendersLiveAndRefusesPushWithoutReceiver) {
  auto [tx, rx] = Mpsc<int>::channel();
  EXPECT_EQ(rx.pop_for(std::chrono::milliseconds(1)).status, Mpsc<int>::PopStatus::Timeout);
  { auto dropped = std::move(rx); }
  EXPECT_FALSE(tx.push(1));
}

}  // namespace
}  // namespace kelvane
