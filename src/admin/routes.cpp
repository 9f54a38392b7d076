#include "admin/routes.hpp"

#include "observability/prometheus.hpp"

namespace kelvane::admin {

namespace {

constexpr std::string_view kOk = "200 OK";
constexpr std::string_view kUnavailable = "503 Service Unavailable";
constexpr std::string_view kNotFound = "404 Not Found";
constexpr std::string_view kPlainText = "text/plain; charset=utf-8";
constexpr std::string_view kJson = "application/json";
constexpr std::string_view kIndex = "kelvane-ws-bridged\nendpoints: /catalog /healthz /metrics\n";

std::string format_response(std::string_view status, std::string_view content_type, std::string_view body) {
  std::string out;
  out.reserve(128 + body.size());
  out.append("HTTP/1.1 ").append(status);
  out.append("\r\nContent-Type: ").append(content_type);
  out.append("\r\nContent-Length: ").append(std::to_string(body.size()));
  out.append("\r\nConnection: close\r\n\r\n");
  out.append(body);
  return out;
}

}  // namespace

std::string respond(std::string_view path, const RouteContext& context) {
  if (path == "/") return format_response(kOk, kPlainText, kIndex);
  if (path == "/catalog") return format_response(kOk, kJson, context.catalog.render_json());
  if (path == "/healthz") {
    return context.ready->load() ? format_response(kOk, kPlainText, "OK\n")
                                 : format_response(kUnavailable, kPlainText, "DOWN\n");
  }
  if (path == "/metrics") {
    return format_response(kOk, observability::kPrometheusContentType,
                           observability::render_prometheus(context.registry->snapshot()));
  }
  return format_response(kNotFound, kPlainText, "");
}

}  // namespace kelvane::admin
