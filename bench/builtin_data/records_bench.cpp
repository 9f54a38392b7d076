#include <benchmark/benchmark.h>

#include "builtin_data/endpoint_data.hpp"
#include "builtin_data/participant_data.hpp"

namespace kelvane::builtin_data {
namespace {

rtps::Guid guid(rtps::EntityId id) {
  rtps::Guid g;
  for (std::size_t i = 0; i < g.prefix.bytes.size(); ++i)
    g.prefix.bytes[i] = static_cast<std::uint8_t>(i + 1);
  g.entity_id = id;
  return g;
}

// A typical announcement of one of the bridge's writers.
PublicationBuiltinTopicData publication() {
  PublicationBuiltinTopicData p;
  p.endpoint_guid = guid(rtps::make_entity_id(0, 0, 1, rtps::EntityKind::UserWriterNoKey));
  p.participant_guid = p.endpoint_guid.participant();
  p.topic_name = "sensors/temperature";
  p.type_name = "Text";
  p.durability = DurabilityKind::TransientLocal;
  p.reliability = {ReliabilityKind::Reliable, DEFAULT_MAX_BLOCKING_TIME};
  p.partition = {"plant-a"};
  p.type_identifier = xtypes::TypeIdentifier{xtypes::EquivalenceMinimal{}};
  p.data_representation = {2, 0};
  return p;
}

ParticipantBuiltinTopicData participant() {
  ParticipantBuiltinTopicData p;
  p.vendor_id = rtps::VENDORID_KELVANE;
  p.guid = guid(rtps::ENTITYID_PARTICIPANT);
  p.default_unicast_locator = rtps::Locator::udpv4({127, 0, 0, 1}, 7411);
  p.metatraffic_unicast_locator = rtps::Locator::udpv4({127, 0, 0, 1}, 7410);
  p.metatraffic_multicast_locator = rtps::Locator::udpv4({239, 255, 0, 1}, 7400);
  p.domain_id = 0;
  p.builtin_endpoint_set = 0x0C3F;
  p.properties.properties = {{"dds.sys_info.hostname", "bridge-1"}};
  return p;
}

void BM_PublicationDecode(benchmark::State& state) {
  const auto bytes = *publication().to_pl_cdr_le();
  for (auto _ : state) benchmark::DoNotOptimize(PublicationBuiltinTopicData::from_pl_cdr_le(bytes));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_PublicationDecode);

void BM_PublicationEncode(benchmark::State& state) {
  const auto record = publication();
  for (auto _ : state) benchmark::DoNotOptimize(record.to_pl_cdr_le());
}
BENCHMARK(BM_PublicationEncode);

void BM_ParticipantDecode(benchmark::State& state) {
  const auto bytes = *participant().to_pl_cdr_le();
  for (auto _ : state) benchmark::DoNotOptimize(ParticipantBuiltinTopicData::from_pl_cdr_le(bytes));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_ParticipantDecode);

}  // namespace
}  // namespace kelvane::builtin_data
