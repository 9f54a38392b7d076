#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "access/auth.hpp"

namespace kelvane::access {

enum class Operation { Read, Write };

// Who may read (subscribe to) and write one topic. Patterns, first match wins: "*" is
// everyone, "*group:NAME*" (NAME non-empty) the subjects in group NAME, anything else
// the subject of exactly that name.
struct AclEntry {
  std::vector<std::string> read;
  std::vector<std::string> write;

  [[nodiscard]] static AclEntry allow_all() { return AclEntry{{"*"}, {"*"}}; }

  bool operator==(const AclEntry&) const = default;
};

// Per-topic access lists. Shared read-only by every connection and sender thread.
struct Acl {
  std::optional<AclEntry> default_entry;                 // for topics without an entry
  std::map<std::string, AclEntry, std::less<>> entries;  // exact, case-sensitive topic names

  // Whether `subject` may perform `operation` on `topic`; no entry and no default denies.
  [[nodiscard]] bool check(const AuthSubject& subject, Operation operation, std::string_view topic) const;
};

}  // namespace kelvane::access
