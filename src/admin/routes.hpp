#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <string_view>

#include "admin/catalog.hpp"
#include "observability/registry.hpp"

namespace kelvane::admin {

// What the admin routes read: the immutable catalog, the bridge's registry and the
// daemon's ready flag.
struct RouteContext {
  CatalogSnapshot catalog;
  std::shared_ptr<observability::Registry> registry;
  std::shared_ptr<std::atomic<bool>> ready;
};

// The complete HTTP/1.1 response (status line, Content-Type, Content-Length,
// "Connection: close", body) for a request path.
[[nodiscard]] std::string respond(std::string_view path, const RouteContext& context);

}  // namespace kelvane::admin
