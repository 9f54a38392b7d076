#include "access/acl.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelvane::access {
namespace {

AuthSubject subject(std::string name, std::vector<std::string> groups = {}) {
  return AuthSubject{std::move(name), std::move(groups), {}};
}

TEST(Acl, PatternTable) {
  struct Case {
    std::string pattern;
    AuthSubject who;
    bool allowed;
  };
  const std::vector<Case> cases = {
      {"*", subject("anyone"), true},
      {"*", subject(""), true},
      {"alice", subject("alice"), true},
      {"alice", subject("Alice"), false},
      {"alice", subject("alice2"), false},
      {"*group:ops*", subject("x", {"dev", "ops"}), true},
      {"*group:ops*", subject("x", {"opsx"}), false},
      {"*group:ops*", subject("x", {}), false},
      {"*group:ops*", subject("*group:ops*"), false},
      {"*group:o*", subject("x", {"o"}), true},
      {"group:ops", subject("x", {"ops"}), false},
      {"group:ops", subject("group:ops"), true},
      {"*group:ops", subject("x", {"ops"}), false},  // no final '*': a plain name
      {"*group:ops", subject("*group:ops"), true},
      {"*group:*", subject("x", {""}), false},  // nothing between: a plain name
      {"*group:*", subject("*group:*"), true},
      {"*group:a*b*", subject("x", {"a*b"}), true},
  };
  for (const Case& c : cases) {
    Acl acl;
    acl.entries.emplace("T", AclEntry{{c.pattern}, {c.pattern}});
    EXPECT_EQ(acl.check(c.who, Operation::Read, "T"), c.allowed) << c.pattern << " vs " << c.who.name;
    EXPECT_EQ(acl.check(c.who, Operation::Write, "T"), c.allowed) << c.pattern << " vs " << c.who.name;
  }
}

TEST(Acl, EntriesDefaultsAndOperations) {
  Acl acl;
  acl.entries.emplace("T", AclEntry{{"S"}, {}});
  acl.entries.emplace("Chat", AclEntry{{"*"}, {"*group:ops*", "bob"}});
  const AuthSubject s = subject("S");
  const AuthSubject bob = subject("bob");
  const AuthSubject op = subject("carol", {"ops"});

  EXPECT_TRUE(acl.check(s, Operation::Read, "T"));
  EXPECT_FALSE(acl.check(s, Operation::Write, "T"));  // an empty list denies
  EXPECT_FALSE(acl.check(bob, Operation::Read, "T"));
  EXPECT_FALSE(acl.check(s, Operation::Read, "Other"));  // no entry, no default
  EXPECT_TRUE(acl.check(s, Operation::Read, "Chat"));
  EXPECT_FALSE(acl.check(s, Operation::Write, "Chat"));
  EXPECT_TRUE(acl.check(bob, Operation::Write, "Chat"));
  EXPECT_TRUE(acl.check(op, Operation::Write, "Chat"));
  EXPECT_FALSE(acl.check(s, Operation::Read, "chat"));  // exact topic names

  acl.default_entry = AclEntry{{"bob"}, {}};
  EXPECT_TRUE(acl.check(bob, Operation::Read, "Other"));
  EXPECT_FALSE(acl.check(bob, Operation::Write, "Other"));
  EXPECT_FALSE(acl.check(bob, Operation::Read, "T"));  // an entry replaces the default
}

TEST(Acl, AllowAll) {
  Acl acl;
  acl.default_entry = AclEntry::allow_all();
  EXPECT_EQ(*acl.default_entry, (AclEntry{{"*"}, {"*"}}));
  EXPECT_TRUE(acl.check(subject("x"), Operation::Read, "any"));
  EXPECT_TRUE(acl.check(subject(""), Operation::Write, ""));
}

}  // namespace
}  // namespace kelvane::access
