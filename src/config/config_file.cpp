#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "common/os_error.hpp"
#include "common/unique_fd.hpp"
#include "config/daemon_config.hpp"
#include "common/utf8.hpp"
#include "config/text.hpp"

namespace kelvane::config {

namespace {

// Refuses to read more than this, so a device or a runaway file cannot exhaust memory.
constexpr std::size_t kMaxConfigFileBytes = 16 * 1024 * 1024;

std::expected<std::string, ConfigError> read_whole_file(const std::string& path) {
  const UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.valid()) return std::unexpected(ConfigError::io(os_error_text(errno)));
  std::string content;
  char buffer[16384];
  while (true) {
    const ssize_t n = ::read(file.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::unexpected(ConfigError::io(os_error_text(errno)));
    if (n == 0) return content;
    content.append(buffer, static_cast<std::size_t>(n));
    if (content.size() > kMaxConfigFileBytes) {
      return std::unexpected(ConfigError::io("file larger than " + std::to_string(kMaxConfigFileBytes) + " bytes"));
    }
  }
}

}  // namespace

std::expected<DaemonConfig, ConfigError> load_from_file(const std::string& path) {
  auto content = read_whole_file(path);
  if (!content) return std::unexpected(std::move(content.error()));
  if (!is_valid_utf8(*content)) return std::unexpected(ConfigError::io("file is not valid UTF-8"));
  return load_from_str(*content);
}

}  // namespace kelvane::config
