#pragma once

#include <atomic>
#include <expected>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "admin/server.hpp"
#include "config/daemon_config.hpp"
#include "observability/registry.hpp"

namespace kelvane::admin {

inline constexpr std::string_view kDefaultAdminAddress = "127.0.0.1:9090";

// Where the daemon starts its admin endpoint: with metrics enabled the configured
// address, or kDefaultAdminAddress when none is configured; with metrics disabled the
// configured address when there is one; otherwise no endpoint (nullopt).
[[nodiscard]] std::optional<std::string> admin_address(const config::DaemonConfig& config);

// Why the endpoint did not start; the daemon logs message() and runs on without it.
struct AdminStartError {
  enum class Kind { AddressParse, Bind };

  Kind kind;
  std::string detail;  // the parser's message or the OS error text

  // "admin addr parse error: invalid socket address syntax" or
  // "admin bind error: <description> (os error <n>)".
  [[nodiscard]] std::string message() const;
};

// The log text of a started endpoint: "admin endpoint on <address> (/metrics /catalog /healthz)".
[[nodiscard]] std::string started_message(const AdminEndpoint& endpoint);

// Parses the numeric socket address, snapshots the topics into the catalog and serves
// the registry, the ready flag (health probe) and the catalog until the shutdown flag is
// set. The endpoint's address is the bound one (the OS-chosen port for port 0).
[[nodiscard]] std::expected<AdminEndpoint, AdminStartError> start_admin_endpoint(
    std::string_view address, std::shared_ptr<observability::Registry> registry,
    std::span<const config::TopicConfig> topics, std::shared_ptr<std::atomic<bool>> ready,
    std::shared_ptr<std::atomic<bool>> shutdown, AdminLimits limits = {});

}  // namespace kelvane::admin
