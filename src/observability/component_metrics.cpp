#include "observability/component_metrics.hpp"

namespace kelvane::observability {

namespace {

Labels label(std::string_view key, std::string_view value) { return Labels{}.with(key, value); }

}  // namespace

const UdpCounters& udp_counters() {
  static const UdpCounters set = [] {
    Registry& r = *DEFAULT_REGISTRY();
    r.set_help("dds_transport_packets_sent_total", "RTPS-Pakete gesendet (kelvane-monitor-1.0 §2.1)");
    r.set_help("dds_transport_packets_received_total", "RTPS-Pakete empfangen (kelvane-monitor-1.0 §2.1)");
    r.set_help("dds_transport_bytes_sent_total", "Bytes gesendet (kelvane-monitor-1.0 §2.1)");
    r.set_help("dds_transport_bytes_received_total", "Bytes empfangen (kelvane-monitor-1.0 §2.1)");
    r.set_help("dds_transport_send_errors_total", "Send-Fehler (kelvane-monitor-1.0 §2.1)");
    const Labels udp = label("transport", "udp");
    return UdpCounters{
        r.counter("dds_transport_packets_sent_total", udp),
        r.counter("dds_transport_packets_received_total", udp),
        r.counter("dds_transport_bytes_sent_total", udp),
        r.counter("dds_transport_bytes_received_total", udp),
        r.counter("dds_transport_send_errors_total", udp.with("error_kind", "io")),
    };
  }();
  return set;
}

const RtpsCounters& rtps_counters() {
  static const RtpsCounters set = [] {
    Registry& r = *DEFAULT_REGISTRY();
    r.set_help("dds_rtps_heartbeats_sent_total", "Heartbeats gesendet (kelvane-monitor-1.0 §2.2)");
    r.set_help("dds_rtps_acknacks_received_total", "Acknacks empfangen (kelvane-monitor-1.0 §2.2)");
    r.set_help("dds_rtps_retransmits_total", "Retransmissions (kelvane-monitor-1.0 §2.2)");
    r.set_help("dds_rtps_fragmented_samples_total", "Fragmentierte Samples (kelvane-monitor-1.0 §2.2)");
    r.set_help("dds_rtps_samples_dropped_total", "Samples gedropped (kelvane-monitor-1.0 §2.2)");
    r.set_help("dds_rtps_unknown_submessages_total", "Unbekannte Submessage-Kinds (kelvane-monitor-1.0 §2.2)");
    const Labels reliable = label("writer_kind", "reliable");
    return RtpsCounters{
        r.counter("dds_rtps_heartbeats_sent_total", reliable),
        r.counter("dds_rtps_acknacks_received_total", reliable),
        r.counter("dds_rtps_retransmits_total", reliable),
        r.counter("dds_rtps_fragmented_samples_total", reliable),
        r.counter("dds_rtps_samples_dropped_total", reliable.with("reason", "history_limit")),
        r.counter("dds_rtps_unknown_submessages_total", label("vendor_id", "unknown")),
    };
  }();
  return set;
}

const DiscoveryMetrics& discovery_metrics() {
  static const DiscoveryMetrics set = [] {
    Registry& r = *DEFAULT_REGISTRY();
    r.set_help("dds_discovery_participants_known", "Bekannte Participants (kelvane-monitor-1.0 §2.4)");
    r.set_help("dds_discovery_endpoints_known", "Bekannte Endpoints (kelvane-monitor-1.0 §2.4)");
    r.set_help("dds_discovery_spdp_announcements_sent_total", "SPDP-Announcements (kelvane-monitor-1.0 §2.4)");
    r.set_help("dds_discovery_sedp_updates_total", "SEDP-Updates (kelvane-monitor-1.0 §2.4)");
    r.set_help("dds_discovery_type_lookups_total", "TypeLookup-Requests (kelvane-monitor-1.0 §2.4)");
    const Labels domain = label("domain_id", "0");
    return DiscoveryMetrics{
        r.gauge("dds_discovery_participants_known", domain),
        r.gauge("dds_discovery_endpoints_known", domain.with("kind", "writer")),
        r.gauge("dds_discovery_endpoints_known", domain.with("kind", "reader")),
        r.counter("dds_discovery_spdp_announcements_sent_total", domain),
        r.counter("dds_discovery_sedp_updates_total", domain.with("kind", "publication")),
        r.counter("dds_discovery_sedp_updates_total", domain.with("kind", "subscription")),
        r.counter("dds_discovery_type_lookups_total", domain),
    };
  }();
  return set;
}

}  // namespace kelvane::observability
