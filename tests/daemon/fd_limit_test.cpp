#include <gtest/gtest.h>

#include <sys/resource.h>

#include "daemon/fd_limit.hpp"

namespace kelvane::daemon {
namespace {

rlimit open_file_limit() {
  rlimit limit{};
  EXPECT_EQ(::getrlimit(RLIMIT_NOFILE, &limit), 0);
  return limit;
}

// Restores the test process's descriptor limit however the test ends.
class SavedOpenFileLimit {
 public:
  SavedOpenFileLimit() : saved_(open_file_limit()) {}
  SavedOpenFileLimit(const SavedOpenFileLimit&) = delete;
  SavedOpenFileLimit& operator=(const SavedOpenFileLimit&) = delete;
  ~SavedOpenFileLimit() { (void)::setrlimit(RLIMIT_NOFILE, &saved_); }

 private:
  rlimit saved_;
};

TEST(RaiseOpenFileLimit, LiftsTheSoftLimitToTheHardLimit) {
  const SavedOpenFileLimit saved;
  rlimit lowered = open_file_limit();
  constexpr rlim_t kLowSoftLimit = 256;
  if (lowered.rlim_max <= kLowSoftLimit) GTEST_SKIP() << "hard limit too low to lower the soft limit below it";
  lowered.rlim_cur = kLowSoftLimit;
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);

  raise_open_file_limit();

  const rlimit raised = open_file_limit();
  EXPECT_EQ(raised.rlim_cur, lowered.rlim_max);
  EXPECT_EQ(raised.rlim_max, lowered.rlim_max);
}

}  // namespace
}  // namespace kelvane::daemon
