#include "common/utf8.hpp"
#include "daemon/entry.hpp"

#include <unistd.h>

#include <exception>
#include <string>
#include <vector>

#include "common/log.hpp"
#include "config/daemon_config.hpp"
#include "config/text.hpp"
#include "daemon/cli.hpp"
#include "daemon/fd_limit.hpp"
#include "daemon/server.hpp"
#include "daemon/signals.hpp"

namespace kelvane::daemon {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;

int usage_error(const std::string& message) {
  write_raw_line(STDERR_FILENO, "error: " + message);
  write_raw_line(STDERR_FILENO, kHelpText);
  return kExitFailure;
}

int run_daemon(const std::vector<std::string>& args) {
  auto cli = parse(args);
  if (!cli) return usage_error(cli.error().message());
  if (cli->help) {
    write_raw_line(STDOUT_FILENO, kHelpText);
    return kExitOk;
  }
  if (cli->version) {
    write_raw_line(STDOUT_FILENO, kVersionText);
    return kExitOk;
  }

  config::DaemonConfig config = config::default_for_dev();
  if (cli->config) {
    auto loaded = config::load_from_file(*cli->config);
    if (!loaded) {
      const ServerError error = ServerError::io("config: " + loaded.error().message());
      log_line(error.line());
      return error.exit_status();
    }
    config = std::move(*loaded);
  }
  if (cli->listen) config.listen = *cli->listen;
  if (cli->domain) config.domain = *cli->domain;
  if (cli->log_level) config.log_level = *cli->log_level;

  auto handle = start(std::move(config));
  if (!handle) {
    log_line(handle.error().line());
    return handle.error().exit_status();
  }
  log_line("running on " + handle->bound_address);
  wait_for_flag(handle->shutdown_flag);
  handle->shutdown();
  return kExitOk;
}

}  // namespace

int run(int argc, char** argv) {
  try {
    // Before any thread exists, so that every thread inherits the blocked signals.
    block_watched_signals();
    raise_open_file_limit();
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    for (std::size_t i = 0; i < args.size(); ++i) {
      if (!is_valid_utf8(args[i])) {
        return usage_error("argument " + std::to_string(i + 1) + " is not valid UTF-8");
      }
    }
    return run_daemon(args);
  } catch (const std::exception& e) {
    log_line(std::string("fatal: ") + e.what());
  } catch (...) {
    log_line("fatal: unknown exception");
  }
  return kExitFailure;
}

}  // namespace kelvane::daemon
