#include "objects.h"

#include <cstring>

namespace zantsim {

ZantTime toRecord(plat::FileTime utc, bool local) {
  return plat::fileTimeToSystemTime(local ? plat::utcToLocal(utc) : utc);
}

// ---- DeviceObj ----

Status DeviceObj::GetId(uint32_t* id) {
  ZSIM_ENTER("IZantSourceDevice::GetId");
  if (id == nullptr) return plat::E_POINTER;
  *id = info_.id;
  return plat::S_OK;
}

Status DeviceObj::GetName(char16_t* buffer, uint32_t* length) {
  ZSIM_ENTER("IZantSourceDevice::GetName");
  return zant::copyTextInOut(info_.name, buffer, length);
}

Status DeviceObj::GetType(uint32_t* type) {
  ZSIM_ENTER("IZantSourceDevice::GetType");
  if (type == nullptr) return plat::E_POINTER;
  *type = info_.type;
  return plat::S_OK;
}

Status DeviceObj::IsPresent(uint32_t* present) {
  if (present == nullptr) return plat::E_POINTER;
  *present = present_ ? 1 : 0;
  return plat::S_OK;
}

// ---- StreamObj ----

Status StreamObj::GetKind(uint32_t* kind) {
  if (kind == nullptr) return plat::E_POINTER;
  *kind = info_.kind;
  return plat::S_OK;
}

Status StreamObj::GetLanguageCode(char* code4) {
  if (code4 == nullptr) return plat::E_POINTER;
  std::memcpy(code4, info_.language.c_str(), 4);  // three letters and the terminator
  return plat::S_OK;
}

Status StreamObj::GetName(char16_t* buffer, uint32_t capacity) {
  return zant::copyTextCapacity(info_.name, buffer, capacity);
}

Status StreamObj::GetDisabled(uint32_t* disabled) {
  if (disabled == nullptr) return plat::E_POINTER;
  *disabled = disabled_ ? 1 : 0;
  return plat::S_OK;
}

Status StreamObj::SetDisabled(uint32_t disabled) {
  disabled_ = disabled != 0;
  return plat::S_OK;
}

Status StreamObj::GetComponentTag(uint32_t* tag) {
  if (tag == nullptr) return plat::E_POINTER;
  *tag = info_.componentTag;
  return plat::S_OK;
}

// ---- ChannelObj ----

ChannelObj::ChannelObj(std::shared_ptr<const ChannelInfo> info) : info_(std::move(info)) {
  bool firstAudio = true;
  for (const StreamInfo& s : info_->streams) {
    // The first audio stream plays; other audio streams and subtitles start disabled.
    bool disabled = !(s.kind == zant::kStreamAudio && firstAudio) && s.kind != zant::kStreamVideo;
    if (s.kind == zant::kStreamAudio) firstAudio = false;
    streams_.push_back(McPtr<StreamObj>::adopt(new StreamObj(s, disabled)));
  }
}

std::vector<StreamObj*> ChannelObj::streams(uint32_t kind) const {
  std::vector<StreamObj*> out;
  for (const auto& s : streams_)
    if (s->info().kind == kind) out.push_back(s.get());
  return out;
}

Status ChannelObj::makeProgramme(const Programme& p, plat::FileTime previousStart, IZantProgramme** out) {
  addRef();
  auto* obj = new (std::nothrow) ProgrammeObj(McPtr<ChannelObj>::adopt(this), p, previousStart);
  if (obj == nullptr) return plat::E_OUTOFMEMORY;
  *out = obj->exposed();
  return plat::S_OK;
}

Status ChannelObj::GetEvents(IZantEnum** out) {
  ZSIM_ENTER("IZantChannel::GetEvents");
  if (out == nullptr) return plat::E_POINTER;
  *out = nullptr;
  plat::FileTime now = plat::utcNow();
  std::vector<Programme> schedule = scheduleFor(*info_, now, plat::currentClock().localOffsetMinutes(now));
  ZantEnumObj* list = newEnum();
  if (list == nullptr) return plat::E_OUTOFMEMORY;
  plat::FileTime previous = 0;
  for (const Programme& p : schedule) {
    IZantProgramme* prog = nullptr;
    if (makeProgramme(p, previous, &prog) == plat::S_OK) {
      list->append(prog);
      prog->Release();
    }
    previous = p.startUtc;
  }
  *out = list->exposed();
  return plat::S_OK;
}

Status ChannelObj::GetTuningInfo(ZantTuningInfo* info) {
  ZSIM_ENTER("IZantChannel::GetTuningInfo");
  if (info == nullptr) return plat::E_POINTER;
  *info = {info_->frequencyKHz, info_->bandwidthKHz, info_->physicalChannel, 0};
  return plat::S_OK;
}

Status ChannelObj::GetDisplayName(char16_t* buffer, uint32_t* length) {
  ZSIM_ENTER("IZantChannel::GetDisplayName");
  return zant::copyTextInOut(info_->displayName, buffer, length);
}

Status ChannelObj::GetScrambleStatus(uint32_t* status) {
  if (status == nullptr) return plat::E_POINTER;
  *status = info_->scrambled ? zant::kScrambleScrambled : zant::kScrambleClear;
  return plat::S_OK;
}

std::optional<Programme> ChannelObj::presentProgramme() const {
  plat::FileTime now = plat::utcNow();
  for (const Programme& p : scheduleFor(*info_, now, plat::currentClock().localOffsetMinutes(now)))
    if (p.startUtc <= now && now < p.endUtc()) return p;
  return std::nullopt;
}

Status ChannelObj::presentOrFollowing(bool following, IZantProgramme** out) {
  if (out == nullptr) return plat::E_POINTER;
  *out = nullptr;
  plat::FileTime now = plat::utcNow();
  std::vector<Programme> schedule = scheduleFor(*info_, now, plat::currentClock().localOffsetMinutes(now));
  for (size_t i = 0; i < schedule.size(); ++i) {
    if (schedule[i].startUtc <= now && now < schedule[i].endUtc()) {
      size_t k = following ? i + 1 : i;
      if (k >= schedule.size()) return plat::S_FALSE;
      return makeProgramme(schedule[k], k > 0 ? schedule[k - 1].startUtc : 0, out);
    }
  }
  return plat::S_FALSE;
}

Status ChannelObj::GetPresentFollowing(IZantProgramme** present, IZantProgramme** following) {
  ZSIM_ENTER("IZantChannel::GetPresentFollowing");
  if (present == nullptr && following == nullptr) return plat::E_POINTER;
  if (present) presentOrFollowing(false, present);
  if (following) presentOrFollowing(true, following);
  return plat::S_OK;
}

Status ChannelObj::GetId(uint32_t* id) {
  ZSIM_ENTER("IZantChannel::GetId");
  if (id == nullptr) return plat::E_POINTER;
  *id = info_->channelId();
  return plat::S_OK;
}

Status ChannelObj::GetType(uint32_t* type) {
  ZSIM_ENTER("IZantChannel::GetType");
  if (type == nullptr) return plat::E_POINTER;
  *type = info_->serviceType;
  return plat::S_OK;
}

Status ChannelObj::GetName(char16_t* buffer, uint32_t capacity) {
  ZSIM_ENTER("IZantChannel::GetName");
  return zant::copyTextCapacity(info_->name, buffer, capacity);
}

#define ZSIM_GETTER(method, field)           \
  Status ChannelObj::method(uint32_t* out) { \
    if (out == nullptr) return plat::E_POINTER; \
    *out = info_->field;                     \
    return plat::S_OK;                       \
  }
ZSIM_GETTER(GetOriginalNetworkId, networkId)
ZSIM_GETTER(GetTransportStreamId, transportStreamId)
ZSIM_GETTER(GetServiceId, serviceId)
ZSIM_GETTER(GetServiceType, serviceType)
ZSIM_GETTER(GetFrequency, frequencyKHz)
ZSIM_GETTER(GetBandwidth, bandwidthKHz)
ZSIM_GETTER(GetPhysicalChannel, physicalChannel)
ZSIM_GETTER(GetRemoteControlKey, remoteKey)
#undef ZSIM_GETTER

Status ChannelObj::GetServiceNumber(uint32_t* number) {
  ZSIM_ENTER("IZantServiceInfo::GetServiceNumber");
  if (number == nullptr) return plat::E_POINTER;
  *number = info_->serviceNumber;
  return plat::S_OK;
}

Status ChannelObj::GetProviderName(char16_t* buffer, uint32_t capacity) {
  return zant::copyTextCapacity(info_->providerName, buffer, capacity);
}

Status ChannelObj::GetServiceName(char16_t* buffer, uint32_t capacity) {
  return zant::copyTextCapacity(info_->name, buffer, capacity);
}

Status ChannelObj::GetRegionId(uint32_t* region) {
  if (region == nullptr) return plat::E_POINTER;
  *region = info_->regions.size() == 1 ? info_->regions[0] : 0;
  return plat::S_OK;
}

Status ChannelObj::GetPresentEvent(IZantProgramme** out) { return presentOrFollowing(false, out); }
Status ChannelObj::GetFollowingEvent(IZantProgramme** out) { return presentOrFollowing(true, out); }

// ---- EventTimeObj ----

Status EventTimeObj::GetStatus(uint32_t* status) {
  if (status == nullptr) return plat::E_POINTER;
  plat::FileTime now = plat::utcNow();
  plat::FileTime end = start_ + seconds_ * plat::kFileTimePerSecond;
  if (start_ <= now && now < end) *status = zant::kTimePresent;
  else if (now < start_ && previousStart_ != 0 && previousStart_ <= now) *status = zant::kTimeFollowing;
  else *status = zant::kTimeOther;
  return plat::S_OK;
}

Status EventTimeObj::GetStartTime(uint32_t local, ZantTime* start) {
  if (start == nullptr) return plat::E_POINTER;
  *start = toRecord(start_, local != 0);
  return plat::S_OK;
}

Status EventTimeObj::GetDurationSeconds(uint32_t* seconds) {
  if (seconds == nullptr) return plat::E_POINTER;
  *seconds = seconds_;
  return plat::S_OK;
}

Status EventTimeObj::GetEndTime(ZantTime* end) {
  if (end == nullptr) return plat::E_POINTER;
  *end = toRecord(start_ + seconds_ * plat::kFileTimePerSecond, true);
  return plat::S_OK;
}

// ---- ProgrammeObj ----

Status ProgrammeObj::GetId(uint32_t* id) {
  if (id == nullptr) return plat::E_POINTER;
  *id = programme_.id;
  return plat::S_OK;
}

Status ProgrammeObj::GetChannel(IZantChannel** channel) {
  if (channel == nullptr) return plat::E_POINTER;
  *channel = channel_->channel();
  (*channel)->AddRef();
  return plat::S_OK;
}

Status ProgrammeObj::GetTitle(char16_t* buffer, uint32_t capacity) {
  return zant::copyTextCapacity(programme_.tmpl->title, buffer, capacity);
}

Status ProgrammeObj::GetDescription(char16_t* buffer, uint32_t capacity) {
  return zant::copyTextCapacity(programme_.tmpl->description, buffer, capacity);
}

Status ProgrammeObj::GetTimes(IZantEnum** out) {
  if (out == nullptr) return plat::E_POINTER;
  *out = nullptr;
  ZantEnumObj* list = newEnum();
  auto* t = new (std::nothrow) EventTimeObj(programme_.startUtc, programme_.durationSeconds, previousStart_);
  if (list == nullptr || t == nullptr) {
    if (list) list->release();
    if (t) t->release();
    return plat::E_OUTOFMEMORY;
  }
  list->append(t->exposed());
  t->release();
  *out = list->exposed();
  return plat::S_OK;
}

Status ProgrammeObj::GetRating(uint32_t* minimumAge, uint32_t* contentBits) {
  if (minimumAge) *minimumAge = programme_.tmpl->minimumAge;
  if (contentBits) *contentBits = 0;
  return plat::S_OK;
}

// ---- CA ----

Status CAInfoObj::GetCAId(char16_t* buffer, uint32_t capacity) { return zant::copyTextCapacity(id_, buffer, capacity); }

Status CAInfoObj::GetKeyDataVersion(char16_t* buffer, uint32_t capacity) {
  return zant::copyTextCapacity(kda_, buffer, capacity);
}

Status CAInfoObj::GetCAStatus(uint32_t* status, uint32_t, uint32_t) {
  ZSIM_ENTER("IZantCAInfo::GetCAStatus");
  if (status == nullptr) return plat::E_POINTER;
  *status = status_;
  return plat::S_OK;
}

// ---- alarms ----

Status AlarmMessageObj::GetText(uint32_t index, char16_t* buffer, uint32_t* length) {
  if (index >= texts_.size()) return plat::E_INVALIDARG;
  return zant::copyTextInOut(texts_[index], buffer, length);
}

Status AlarmObj::GetId(uint32_t* id, uint32_t) {
  if (id == nullptr) return plat::E_POINTER;
  *id = id_;
  return plat::S_OK;
}

Status AlarmObj::IsActive(uint32_t* active) {
  if (active == nullptr) return plat::E_POINTER;
  *active = active_ ? 1 : 0;
  return plat::S_OK;
}

Status AlarmObj::GetType(uint32_t* type) {
  if (type == nullptr) return plat::E_POINTER;
  *type = type_;
  return plat::S_OK;
}

Status AlarmObj::GetAreaCodes(uint32_t* codes, uint32_t* count) {
  if (count == nullptr) return plat::E_POINTER;
  if (codes == nullptr) {
    *count = static_cast<uint32_t>(areas_.size());
    return plat::S_OK;
  }
  uint32_t n = std::min<uint32_t>(*count, static_cast<uint32_t>(areas_.size()));
  for (uint32_t i = 0; i < n; ++i) codes[i] = areas_[i];
  *count = n;
  return n == areas_.size() ? plat::S_OK : plat::S_FALSE;
}

Status AlarmObj::GetKind(uint32_t* category, uint32_t* kind) {
  if (category) *category = 1;  // emergency warning
  if (kind) *kind = kind_;
  return plat::S_OK;
}

Status AlarmObj::GetMessages(IZantEnum** out, uint32_t) {
  if (out == nullptr) return plat::E_POINTER;
  *out = nullptr;
  ZantEnumObj* list = newEnum();
  if (list == nullptr) return plat::E_OUTOFMEMORY;
  if (!messages_.empty()) {
    auto* m = new (std::nothrow) AlarmMessageObj(messages_);
    if (m != nullptr) {
      list->append(m->exposed());
      m->release();
    }
  }
  *out = list->exposed();
  return plat::S_OK;
}

}  // namespace zantsim
