#pragma once
// The names of the service's objects in a namespace, the geometry of its channels, and the
// objects clients add to share the service safely among themselves (docs/protocol.md).

namespace tarnwick::protocol::names {

// The service's own objects.
inline constexpr const wchar_t* start_event = L"TARNWICK_START";
inline constexpr const wchar_t* request_channel = L"in";
inline constexpr const wchar_t* answer_channel = L"out";
inline constexpr const wchar_t* data_stream_channel = L"data_stream";
inline constexpr const wchar_t* request_event = L"GPS::DATAREQUEST";
inline constexpr const wchar_t* answer_event = L"GPS::DATAANSWER";
inline constexpr const wchar_t* data_stream_event = L"GPS::DATASTREAM";

// Every channel has this geometry; the first opener decides it, later ones adopt it.
inline constexpr int channel_element_size = 1024;
inline constexpr int channel_element_count = 32;

// Clients' own objects: one transaction at a time among clients, and the watch ring.
inline constexpr const wchar_t* transaction_mutex = L"TARNWICK::CLIENT";
inline constexpr const wchar_t* watch_ring_mapping = L"TARNWICK::WATCH::ring";
inline constexpr const wchar_t* watch_ring_mutex = L"TARNWICK::WATCH::lock";

}  // namespace tarnwick::protocol::names
