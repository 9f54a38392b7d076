#include "admin/catalog.hpp"

#include <charconv>
#include <initializer_list>
#include <string_view>
#include <utility>

#include "common/json_escape.hpp"

namespace kelvane::admin {

namespace {

using Member = std::pair<std::string_view, std::string_view>;

// "name":"value",… with escaped values, no braces.
void append_string_members(std::string& out, std::initializer_list<Member> members) {
  bool first = true;
  for (const auto& [name, value] : members) {
    if (!first) out += ',';
    first = false;
    out += '"';
    out += name;
    out += "\":\"";
    append_json_escaped(out, value);
    out += '"';
  }
}

}  // namespace

std::string CatalogSnapshot::render_json() const {
  std::string out;
  out.reserve(256 + 128 * topics.size());
  out += '{';
  append_string_members(out, {{"service", kService}, {"version", kVersion}});
  out += ",\"topics\":[";
  bool first = true;
  for (const config::TopicConfig& topic : topics) {
    if (!first) out += ',';
    first = false;
    out += '{';
    append_string_members(out, {{"name", topic.name},
                                {"type", topic.type_name},
                                {"direction", topic.direction},
                                {"ws_path", topic.ws_path}});
    out += ",\"qos\":{";
    append_string_members(out, {{"reliability", topic.reliability}, {"durability", topic.durability}});
    out += ",\"history_depth\":";
    char digits[16];
    const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, topic.history_depth);
    out.append(digits, end);
    out += "}}";
  }
  out += "]}";
  return out;
}

}  // namespace kelvane::admin
