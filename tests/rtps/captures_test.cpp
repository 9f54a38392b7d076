#include <gtest/gtest.h>

#include <map>
#include <set>

#include "captures.hpp"
#include "rtps/datagram.hpp"

namespace kelvane::rtps {
namespace {

struct CaptureStats {
  std::size_t datagrams = 0;
  std::map<std::size_t, std::size_t> kinds;  // variant index -> count
  std::set<std::uint32_t> fragmented_sample_sizes;
  std::size_t spdp_announcements = 0;
  std::size_t sedp_publications = 0;
  std::size_t user_samples = 0;
  std::size_t disposals = 0;  // DATA without D whose inline QoS carries PID_STATUS_INFO
  std::set<VendorId> vendors;
};

CaptureStats decode_capture(const std::string& name) {
  CaptureStats stats;
  for (const auto& bytes : testing::read_capture_fixture(name)) {
    auto decoded = decode_datagram(bytes);
    EXPECT_TRUE(decoded) << name << " datagram " << stats.datagrams << ": " << to_string(decoded.error());
    ++stats.datagrams;
    if (!decoded) continue;
    stats.vendors.insert(decoded->vendor_id);
    for (const auto& sub : decoded->submessages) {
      ++stats.kinds[sub.index()];
      if (const auto* data = std::get_if<DataSubmessage>(&sub)) {
        if (!data->has_data && data->inline_qos && data->inline_qos->find(PID_STATUS_INFO)) ++stats.disposals;
        if (data->writer_id == ENTITYID_SPDP_BUILTIN_PARTICIPANT_ANNOUNCER) ++stats.spdp_announcements;
        if (data->writer_id == ENTITYID_SEDP_BUILTIN_PUBLICATIONS_ANNOUNCER) ++stats.sedp_publications;
        if (data->writer_id.entity_kind == EntityKind::UserWriterNoKey && data->has_data) {
          ++stats.user_samples;
          // A serialized Text sample: encapsulation header, then a CDR string.
          EXPECT_GE(data->serialized_payload.size(), 8U);
        }
      }
      if (const auto* frag = std::get_if<DataFragSubmessage>(&sub)) {
        stats.fragmented_sample_sizes.insert(frag->sample_size);
        EXPECT_LE(frag->fragment_data.size(),
                  std::size_t{frag->fragment_size} * frag->fragments_in_submessage + 3);
      }
    }
  }
  return stats;
}

std::size_t index_of(const ParsedSubmessage& s) { return s.index(); }

TEST(Captures, EveryRtpsDatagramOfEveryCaptureDecodes) {
  std::size_t disposals = 0;
  const std::size_t data_index = index_of(DataSubmessage{});
  const std::size_t frag_index = index_of(DataFragSubmessage{});
  const std::size_t heartbeat_index = index_of(HeartbeatSubmessage{});
  const std::size_t acknack_index = index_of(AckNackSubmessage{});
  for (const char* name : testing::kCaptureNames) {
    SCOPED_TRACE(name);
    const auto stats = decode_capture(name);
    EXPECT_GT(stats.datagrams, 50U);
    EXPECT_GT(stats.kinds.at(data_index), 0U);
    EXPECT_GT(stats.kinds.at(frag_index), 0U);
    EXPECT_GT(stats.kinds.at(heartbeat_index), 0U);
    EXPECT_GT(stats.kinds.at(acknack_index), 0U);
    EXPECT_GT(stats.spdp_announcements, 0U);
    EXPECT_GT(stats.sedp_publications, 0U);
    EXPECT_GE(stats.user_samples, 3U);  // the three small samples, the late joiner's repeats
    // The two large samples of about 100 KB.
    bool large = false;
    for (const auto size : stats.fragmented_sample_sizes) large = large || (size > 90'000 && size < 110'000);
    EXPECT_TRUE(large);
    EXPECT_EQ(stats.vendors.size(), std::string(name) == "cc" || std::string(name) == "ff" ? 1U : 2U);
    disposals += stats.disposals;
  }
  // Participants leaving at the end announce it with key-only DATA: D clear, status info inline.
  EXPECT_GT(disposals, 0U);
}

}  // namespace
}  // namespace kelvane::rtps
