// The engine's data objects: source devices, channels with their service
// information and streams, programme-guide events and their times, the CA
// card and emergency alarms.
#pragma once
#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runtime.h"
#include "world.h"
#include "zant/engine.h"

namespace zantsim {

class DeviceObj final : public SimObject<IZantSourceDevice> {
 public:
  explicit DeviceObj(DeviceInfo info) : info_(std::move(info)), present_(info_.present) {}
  Status GetId(uint32_t* id) override;
  Status GetName(char16_t* buffer, uint32_t* length) override;
  Status GetType(uint32_t* type) override;
  Status IsPresent(uint32_t* present) override;

  const DeviceInfo& info() const { return info_; }
  uint32_t type() const { return info_.type; }
  bool present() const { return present_.load(); }
  void setPresent(bool p) { present_ = p; }
  bool isLive() const { return zant::sourceClass(info_.type) == zant::kSourceClassLive; }

 private:
  ~DeviceObj() override = default;
  const DeviceInfo info_;
  std::atomic<bool> present_;
};

class StreamObj final : public SimObject<IZantStream> {
 public:
  StreamObj(StreamInfo info, bool disabled) : info_(std::move(info)), disabled_(disabled), applied_(disabled) {}
  Status GetKind(uint32_t* kind) override;
  Status GetLanguageCode(char* code4) override;
  Status GetName(char16_t* buffer, uint32_t capacity) override;
  Status GetDisabled(uint32_t* disabled) override;
  Status SetDisabled(uint32_t disabled) override;
  Status GetComponentTag(uint32_t* tag) override;

  const StreamInfo& info() const { return info_; }
  void apply() { applied_ = disabled_.load(); }
  bool appliedDisabled() const { return applied_.load(); }

 private:
  ~StreamObj() override = default;
  const StreamInfo info_;
  std::atomic<bool> disabled_;
  std::atomic<bool> applied_;  // what the decoder uses
};

class ChannelObj final : public SimObject<IZantChannel, IZantServiceInfo> {
 public:
  explicit ChannelObj(std::shared_ptr<const ChannelInfo> info);

  // IZantChannel
  Status GetEvents(IZantEnum** out) override;
  Status GetTuningInfo(ZantTuningInfo* info) override;
  Status GetDisplayName(char16_t* buffer, uint32_t* length) override;
  Status GetScrambleStatus(uint32_t* status) override;
  Status GetPresentFollowing(IZantProgramme** present, IZantProgramme** following) override;
  Status GetId(uint32_t* id) override;
  Status GetType(uint32_t* type) override;
  Status GetName(char16_t* buffer, uint32_t capacity) override;
  // IZantServiceInfo
  Status GetOriginalNetworkId(uint32_t* id) override;
  Status GetTransportStreamId(uint32_t* id) override;
  Status GetServiceId(uint32_t* id) override;
  Status GetServiceType(uint32_t* type) override;
  Status GetFrequency(uint32_t* kHz) override;
  Status GetBandwidth(uint32_t* kHz) override;
  Status GetProviderName(char16_t* buffer, uint32_t capacity) override;
  Status GetServiceName(char16_t* buffer, uint32_t capacity) override;
  Status GetPhysicalChannel(uint32_t* channel) override;
  Status GetRemoteControlKey(uint32_t* key) override;
  Status GetRegionId(uint32_t* region) override;
  Status GetPresentEvent(IZantProgramme** out) override;
  Status GetFollowingEvent(IZantProgramme** out) override;
  Status GetServiceNumber(uint32_t* number) override;

  const ChannelInfo& info() const { return *info_; }
  const std::shared_ptr<const ChannelInfo>& infoPtr() const { return info_; }
  IZantChannel* channel() { return exposed<IZantChannel>(); }
  // Streams of one kind, in order.
  std::vector<StreamObj*> streams(uint32_t kind) const;
  // The programme on air now (nullopt when the schedule has a gap).
  std::optional<Programme> presentProgramme() const;

 private:
  ~ChannelObj() override = default;
  Status makeProgramme(const Programme& p, plat::FileTime previousStart, IZantProgramme** out);
  Status presentOrFollowing(bool following, IZantProgramme** out);
  const std::shared_ptr<const ChannelInfo> info_;
  std::vector<McPtr<StreamObj>> streams_;
};

class EventTimeObj final : public SimObject<IZantEventTime> {
 public:
  EventTimeObj(plat::FileTime startUtc, uint32_t seconds, plat::FileTime previousStartUtc)
      : start_(startUtc), seconds_(seconds), previousStart_(previousStartUtc) {}
  Status GetStatus(uint32_t* status) override;
  Status GetStartTime(uint32_t local, ZantTime* start) override;
  Status GetDurationSeconds(uint32_t* seconds) override;
  Status GetEndTime(ZantTime* end) override;

 private:
  ~EventTimeObj() override = default;
  const plat::FileTime start_;
  const uint32_t seconds_;
  const plat::FileTime previousStart_;
};

class ProgrammeObj final : public SimObject<IZantProgramme> {
 public:
  ProgrammeObj(McPtr<ChannelObj> channel, const Programme& p, plat::FileTime previousStart)
      : channel_(std::move(channel)), programme_(p), previousStart_(previousStart) {}
  Status GetId(uint32_t* id) override;
  Status GetChannel(IZantChannel** channel) override;
  Status GetTitle(char16_t* buffer, uint32_t capacity) override;
  Status GetDescription(char16_t* buffer, uint32_t capacity) override;
  Status GetTimes(IZantEnum** out) override;
  Status GetRating(uint32_t* minimumAge, uint32_t* contentBits) override;

 private:
  ~ProgrammeObj() override = default;
  const McPtr<ChannelObj> channel_;  // keeps the template the programme points into
  const Programme programme_;
  const plat::FileTime previousStart_;
};

class CAInfoObj final : public SimObject<IZantCAInfo> {
 public:
  CAInfoObj(std::u16string id, std::u16string kda, uint32_t status) : id_(std::move(id)), kda_(std::move(kda)), status_(status) {}
  Status GetCAId(char16_t* buffer, uint32_t capacity) override;
  Status GetKeyDataVersion(char16_t* buffer, uint32_t capacity) override;
  Status GetCAStatus(uint32_t* status, uint32_t, uint32_t) override;

 private:
  ~CAInfoObj() override = default;
  const std::u16string id_;
  const std::u16string kda_;
  const uint32_t status_;
};

class AlarmMessageObj final : public SimObject<IZantAlarmMessage> {
 public:
  explicit AlarmMessageObj(std::vector<std::u16string> texts) : texts_(std::move(texts)) {}
  Status GetText(uint32_t index, char16_t* buffer, uint32_t* length) override;

 private:
  ~AlarmMessageObj() override = default;
  const std::vector<std::u16string> texts_;
};

class AlarmObj final : public SimObject<IZantEmergencyAlarm> {
 public:
  AlarmObj(uint32_t id, bool active, uint32_t type, uint32_t kind, std::vector<uint32_t> areas,
           std::vector<std::u16string> messages)
      : id_(id), active_(active), type_(type), kind_(kind), areas_(std::move(areas)), messages_(std::move(messages)) {}
  Status GetId(uint32_t* id, uint32_t) override;
  Status IsActive(uint32_t* active) override;
  Status GetType(uint32_t* type) override;
  Status GetAreaCodes(uint32_t* codes, uint32_t* count) override;
  Status GetKind(uint32_t* category, uint32_t* kind) override;
  Status GetMessages(IZantEnum** out, uint32_t) override;

  uint32_t id() const { return id_; }
  bool active() const { return active_; }
  uint32_t kind() const { return kind_; }
  const std::vector<uint32_t>& areas() const { return areas_; }
  const std::vector<std::u16string>& messages() const { return messages_; }

 private:
  ~AlarmObj() override = default;
  const uint32_t id_;
  const bool active_;
  const uint32_t type_;
  const uint32_t kind_;
  const std::vector<uint32_t> areas_;
  const std::vector<std::u16string> messages_;
};

// Converts a UTC file time to the date-time record, in local time when asked.
ZantTime toRecord(plat::FileTime utc, bool local);

}  // namespace zantsim
