#pragma once

#include <cstdint>

namespace kelvane::builtin_data {

// Parameter ids of the discovery records and of the parameter-list container.
inline constexpr std::uint16_t PID_PAD = 0x0000;
inline constexpr std::uint16_t PID_SENTINEL = 0x0001;
inline constexpr std::uint16_t PID_PARTICIPANT_LEASE_DURATION = 0x0002;
inline constexpr std::uint16_t PID_TOPIC_NAME = 0x0005;
inline constexpr std::uint16_t PID_OWNERSHIP_STRENGTH = 0x0006;
inline constexpr std::uint16_t PID_TYPE_NAME = 0x0007;
inline constexpr std::uint16_t PID_DOMAIN_ID = 0x000F;
inline constexpr std::uint16_t PID_PROTOCOL_VERSION = 0x0015;
inline constexpr std::uint16_t PID_VENDORID = 0x0016;
inline constexpr std::uint16_t PID_RELIABILITY = 0x001A;
inline constexpr std::uint16_t PID_LIVELINESS = 0x001B;
inline constexpr std::uint16_t PID_DURABILITY = 0x001D;
inline constexpr std::uint16_t PID_OWNERSHIP = 0x001F;
inline constexpr std::uint16_t PID_DEADLINE = 0x0023;
inline constexpr std::uint16_t PID_PARTITION = 0x0029;
inline constexpr std::uint16_t PID_LIFESPAN = 0x002B;
inline constexpr std::uint16_t PID_USER_DATA = 0x002C;
inline constexpr std::uint16_t PID_GROUP_DATA = 0x002D;
inline constexpr std::uint16_t PID_TOPIC_DATA = 0x002E;
inline constexpr std::uint16_t PID_DEFAULT_UNICAST_LOCATOR = 0x0031;
inline constexpr std::uint16_t PID_METATRAFFIC_UNICAST_LOCATOR = 0x0032;
inline constexpr std::uint16_t PID_METATRAFFIC_MULTICAST_LOCATOR = 0x0033;
inline constexpr std::uint16_t PID_CONTENT_FILTER_PROPERTY = 0x0035;
inline constexpr std::uint16_t PID_DEFAULT_MULTICAST_LOCATOR = 0x0048;
inline constexpr std::uint16_t PID_PARTICIPANT_GUID = 0x0050;
inline constexpr std::uint16_t PID_BUILTIN_ENDPOINT_SET = 0x0058;
inline constexpr std::uint16_t PID_PROPERTY_LIST = 0x0059;
inline constexpr std::uint16_t PID_ENDPOINT_GUID = 0x005A;
inline constexpr std::uint16_t PID_DATA_REPRESENTATION = 0x0073;
inline constexpr std::uint16_t PID_TYPE_INFORMATION = 0x0075;
inline constexpr std::uint16_t PID_SERVICE_INSTANCE_NAME = 0x0080;
inline constexpr std::uint16_t PID_RELATED_ENTITY_GUID = 0x0081;
inline constexpr std::uint16_t PID_TOPIC_ALIASES = 0x0082;
inline constexpr std::uint16_t PID_IDENTITY_TOKEN = 0x1001;
inline constexpr std::uint16_t PID_PERMISSIONS_TOKEN = 0x1002;
inline constexpr std::uint16_t PID_ENDPOINT_SECURITY_INFO = 0x1004;
inline constexpr std::uint16_t PID_IDENTITY_STATUS_TOKEN = 0x1006;
inline constexpr std::uint16_t PID_PARTICIPANT_SECURITY_DIGITAL_SIGNATURE_ALGO_INFO = 0x1010;
inline constexpr std::uint16_t PID_PARTICIPANT_SECURITY_KEY_ESTABLISHMENT_ALGO_INFO = 0x1011;
inline constexpr std::uint16_t PID_PARTICIPANT_SECURITY_SYMMETRIC_CIPHER_ALGO_INFO = 0x1012;
// Skipped by the list decoder: neither stored nor counted.
inline constexpr std::uint16_t PID_IGNORED = 0x3F03;
// Vendor-specific ids of this system.
inline constexpr std::uint16_t PID_SHM_LOCATOR = 0x8001;
inline constexpr std::uint16_t PID_TYPE_IDENTIFIER = 0x8002;

// Flag bits of a parameter id.
inline constexpr std::uint16_t PID_MUST_UNDERSTAND_FLAG = 0x4000;
inline constexpr std::uint16_t PID_VENDOR_SPECIFIC_FLAG = 0x8000;

}  // namespace kelvane::builtin_data
