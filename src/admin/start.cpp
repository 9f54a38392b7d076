#include "admin/start.hpp"

#include <utility>

#include "common/os_error.hpp"

namespace kelvane::admin {

std::optional<std::string> admin_address(const config::DaemonConfig& config) {
  if (!config.metrics_address.empty()) return config.metrics_address;
  if (config.metrics_enabled) return std::string(kDefaultAdminAddress);
  return std::nullopt;
}

std::string AdminStartError::message() const {
  return (kind == Kind::AddressParse ? "admin addr parse error: " : "admin bind error: ") + detail;
}

std::string started_message(const AdminEndpoint& endpoint) {
  return "admin endpoint on " + to_string(endpoint.address) + " (/metrics /catalog /healthz)";
}

std::expected<AdminEndpoint, AdminStartError> start_admin_endpoint(std::string_view address,
                                                                   std::shared_ptr<observability::Registry> registry,
                                                                   std::span<const config::TopicConfig> topics,
                                                                   std::shared_ptr<std::atomic<bool>> ready,
                                                                   std::shared_ptr<std::atomic<bool>> shutdown,
                                                                   AdminLimits limits) {
  const auto parsed = parse_socket_address(address);
  if (!parsed) return std::unexpected(AdminStartError{AdminStartError::Kind::AddressParse, "invalid socket address syntax"});
  AdminShared shared{
      RouteContext{CatalogSnapshot{{topics.begin(), topics.end()}}, std::move(registry), std::move(ready)},
      std::move(shutdown),
  };
  auto endpoint = serve_admin_endpoints(*parsed, std::move(shared), limits);
  if (!endpoint) return std::unexpected(AdminStartError{AdminStartError::Kind::Bind, os_error_text(endpoint.error().value())});
  return std::move(*endpoint);
}

}  // namespace kelvane::admin
