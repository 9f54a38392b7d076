#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "daemon/cli.hpp"
#include "e2e/support/daemon_process.hpp"

namespace kelvane::e2e {
namespace {

// The help text as printed: the text (checked byte for byte by the unit tests) and one
// more line feed, so the output ends with an empty line.
std::string help_text() { return std::string(daemon::kHelpText) + "\n"; }

TEST(DaemonCli, HelpAndVersionGoToStandardOutputWithStatusZero) {
  const struct {
    std::vector<std::string> args;
    std::string out;
  } cases[] = {
      {{"--help"}, help_text()},
      {{"-h"}, help_text()},
      {{"--help=yes"}, help_text()},
      {{"--help", "--version"}, help_text()},
      {{"-V", "--help"}, help_text()},
      {{"--version"}, "kelvane-ws-bridged 1.0\n"},
      {{"-V"}, "kelvane-ws-bridged 1.0\n"},
      // Parsed values are checked, but nothing is loaded before help/version.
      {{"--config", "/nonexistent.yaml", "--version"}, "kelvane-ws-bridged 1.0\n"},
  };
  for (const auto& c : cases) {
    const Completed run = run_to_exit(c.args);
    EXPECT_EQ(run.status, ExitStatus::exited(0)) << c.args.front();
    EXPECT_EQ(run.out, c.out) << c.args.front();
    EXPECT_EQ(run.err, "") << c.args.front();
  }
}

TEST(DaemonCli, ErrorsPrintTheMessageAndHelpOnStandardErrorWithStatusOne) {
  const struct {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"--bogus"}, "unknown flag: --bogus"},
      {{"--foo=bar"}, "unknown flag: --foo"},
      {{"--help", "stray"}, "unknown flag: stray"},
      {{"--config"}, "flag --config requires a value"},
      {{"--domain", "x1"}, "flag --domain got invalid value: x1"},
      {{"--domain="}, "flag --domain got invalid value: "},
      {{"--listen", "127.0.0.1:0", "caf\xe9"}, "argument 3 is not valid UTF-8"},
  };
  for (const auto& c : cases) {
    const Completed run = run_to_exit(c.args);
    EXPECT_EQ(run.status, ExitStatus::exited(1)) << c.message;
    EXPECT_EQ(run.out, "") << c.message;
    EXPECT_EQ(run.err, "error: " + c.message + "\n" + help_text()) << c.message;
  }
}

}  // namespace
}  // namespace kelvane::e2e
