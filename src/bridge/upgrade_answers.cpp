#include "bridge/upgrade_answers.hpp"

namespace kelvane::bridge {

std::string forbidden_response(std::string_view topic) {
  std::string body = "forbidden: read on ";
  body.append(topic);
  std::string out = "HTTP/1.1 403 Forbidden\r\nContent-Length: ";
  out.append(std::to_string(body.size()));
  out.append("\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n");
  out.append(body);
  return out;
}

std::optional<std::string> select_path_topic(std::span<const config::TopicConfig> topics,
                                             std::string_view request_path) {
  for (const auto& topic : topics) {
    if ((!topic.ws_path.empty() && topic.ws_path == request_path) || config::default_ws_path(topic.name) == request_path) {
      return topic.name;
    }
  }
  return std::nullopt;
}

}  // namespace kelvane::bridge
