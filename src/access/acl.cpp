#include "access/acl.hpp"

#include <algorithm>

namespace kelvane::access {

namespace {

constexpr std::string_view kGroupPrefix = "*group:";

bool matches(std::string_view pattern, const AuthSubject& subject) {
  if (pattern == "*") return true;
  if (pattern.size() > kGroupPrefix.size() + 1 && pattern.starts_with(kGroupPrefix) &&
      pattern.ends_with('*')) {
    const std::string_view group =
        pattern.substr(kGroupPrefix.size(), pattern.size() - kGroupPrefix.size() - 1);
    return std::find(subject.groups.begin(), subject.groups.end(), group) != subject.groups.end();
  }
  return pattern == subject.name;
}

}  // namespace

bool Acl::check(const AuthSubject& subject, Operation operation, std::string_view topic) const {
  const auto found = entries.find(topic);
  const AclEntry* entry =
      found != entries.end() ? &found->second : (default_entry ? &*default_entry : nullptr);
  if (entry == nullptr) return false;
  const auto& patterns = operation == Operation::Read ? entry->read : entry->write;
  return std::any_of(patterns.begin(), patterns.end(),
                     [&](const std::string& p) { return matches(p, subject); });
}

}  // namespace kelvane::access
