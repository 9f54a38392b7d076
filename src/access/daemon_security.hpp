#pragma once

#include <expected>

#include "access/security_ctx.hpp"
#include "config/daemon_config.hpp"

namespace kelvane::access {

// The security context of the daemon's configuration: TLS files (when TLS is enabled;
// a non-empty client CA file means client certificates are required), the auth mode,
// the single configured bearer token (subject "anonymous" unless one is configured) and
// the per-topic access lists. SASL users, a JWT key and an ACL default cannot be
// configured, so the modes "sasl" and "jwt" fail with a missing-input error.
[[nodiscard]] std::expected<SecurityCtx, SecurityError> ctx_from_daemon_config(
    const config::DaemonConfig& config);

}  // namespace kelvane::access
