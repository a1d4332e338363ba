// The simulated broadcast: source devices, the services on air with their
// streams and programme templates, the country and region tables, and the
// timed happenings of a scenario. Loaded from scenario XML; the built-in
// default is itself such a document (a Tokyo one-segment line-up), so there
// is one loading path.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "plat/clock.h"
#include "plat/status.h"

namespace zantsim {

struct DeviceInfo {
  uint32_t id = 0;
  std::u16string name;
  uint32_t type = 0;
  bool present = true;
};

struct StreamInfo {
  uint32_t kind = 0;        // zant::kStream*
  std::string language;     // ISO 639-2, three letters
  std::u16string name;
  uint32_t componentTag = 0;
};

struct ProgrammeTemplate {
  std::u16string title;
  std::u16string description;
  uint32_t minutes = 30;
  uint32_t minimumAge = 0;  // parental rating (0: all ages)
};

struct ChannelInfo {
  uint32_t networkId = 0;
  uint32_t transportStreamId = 0;
  uint32_t serviceId = 0;
  std::u16string name;         // the key reservations use
  std::u16string displayName;  // the name shown in lists
  std::u16string providerName;
  uint32_t serviceType = 0;
  uint32_t serviceNumber = 0;
  uint32_t remoteKey = 0;
  uint32_t frequencyKHz = 0;
  uint32_t bandwidthKHz = 6000;
  uint32_t physicalChannel = 0;
  bool scrambled = false;
  std::vector<uint32_t> regions;  // engine region ids that receive it; empty: everywhere
  uint32_t signalLevel = 70;      // 0..100
  std::vector<StreamInfo> streams;
  std::vector<ProgrammeTemplate> programmes;

  uint32_t channelId() const { return (transportStreamId << 16) | serviceId; }
  bool receivedIn(uint32_t region) const;
};

struct RegionInfo {
  uint32_t id = 0;
  std::u16string name;
};

struct CountryInfo {
  uint32_t id = 0;
  std::u16string name;
  uint32_t standard = 0;  // source-type standard field (4 ISDB-T)
  std::vector<RegionInfo> regions;
};

// A timed happening of the scenario, relative to the moment it was loaded.
struct ScriptedEvent {
  enum class Kind { Event, Alarm, Battery, Signal, CAStatus };
  Kind kind = Kind::Event;
  uint32_t atMs = 0;
  uint32_t code = 0;
  uint32_t p1 = 0;
  uint32_t p2 = 0;
  uint32_t alarmKind = 0;
  std::vector<uint32_t> areas;
  uint32_t durationMs = 0;
};

struct Scenario {
  std::vector<DeviceInfo> devices;
  std::vector<std::shared_ptr<const ChannelInfo>> channels;
  std::vector<CountryInfo> countries;
  std::vector<ScriptedEvent> script;
  std::u16string caId = u"0000-0000-0000-0000";
  std::u16string caKeyDataVersion = u"0";
  uint32_t caStatusScrambled = 0;  // CA status word while a scrambled channel is current
  int32_t batteryLevel = 100;
  bool batteryCharging = false;
};

// Limits on what a scenario may hold.
inline constexpr size_t kMaxScenarioBytes = 4u << 20;
inline constexpr size_t kMaxDevices = 16;
inline constexpr size_t kMaxChannels = 256;
inline constexpr size_t kMaxStreams = 16;
inline constexpr size_t kMaxProgrammes = 64;
inline constexpr size_t kMaxCountries = 64;
inline constexpr size_t kMaxRegions = 128;
inline constexpr size_t kMaxScript = 1024;
inline constexpr size_t kMaxAreas = 64;
inline constexpr size_t kMaxName = 255;
inline constexpr size_t kMaxText = 1023;

// Parses scenario XML; on failure returns E_DATA_INVALID and a reason.
plat::Status parseScenario(std::string_view xml, Scenario* out, std::string* error);
// The built-in Tokyo line-up.
const Scenario& defaultScenario();
std::string_view defaultScenarioXml();

// One programme of a channel's schedule.
struct Programme {
  uint32_t id = 0;  // unique across channels: service id in the high half
  plat::FileTime startUtc = 0;
  uint32_t durationSeconds = 0;
  const ProgrammeTemplate* tmpl = nullptr;
  plat::FileTime endUtc() const { return startUtc + durationSeconds * plat::kFileTimePerSecond; }
};

// The schedule of a channel from local midnight three days before today to
// local midnight four days after (a week), laid out by cycling the channel's
// programme templates from 04:00 local each day.
std::vector<Programme> scheduleFor(const ChannelInfo& channel, plat::FileTime utcNow, int32_t offsetMinutes);

}  // namespace zantsim
