// Out-of-line destructors (one home for each class's virtual table) and the
// two events that own a buffer.
#include <cstring>

#include "VexoEvents.h"
#include "plat/text.h"

VexoEventTimeChanged::~VexoEventTimeChanged() = default;
VexoEventToggleFullScreen::~VexoEventToggleFullScreen() = default;
VexoEventToggleAlwaysTop::~VexoEventToggleAlwaysTop() = default;
VexoEventShowCP::~VexoEventShowCP() = default;
VexoEventHideCP::~VexoEventHideCP() = default;
VexoEventRefreshUI::~VexoEventRefreshUI() = default;
VexoEventServiceChanged::~VexoEventServiceChanged() = default;
VexoEventEnableButton::~VexoEventEnableButton() = default;
VexoEventChangeSkin::~VexoEventChangeSkin() = default;
VexoEventSignalChanged::~VexoEventSignalChanged() = default;
VexoEventRecordLimitExceed::~VexoEventRecordLimitExceed() = default;
VexoEventLanguageChanged::~VexoEventLanguageChanged() = default;
VexoEventEmergencyAlarm::~VexoEventEmergencyAlarm() = default;
VexoEventSourceChanged::~VexoEventSourceChanged() = default;
VexoEventParentalBlocked::~VexoEventParentalBlocked() = default;
VexoEventSourceRemoved::~VexoEventSourceRemoved() = default;
VexoEventProgramUpdate::~VexoEventProgramUpdate() = default;
VexoEventServiceChanging::~VexoEventServiceChanging() = default;
VexoEventStateChanged::~VexoEventStateChanged() = default;
VexoEventBatteryStatus::~VexoEventBatteryStatus() = default;
VexoEventTimeShiftingStarted::~VexoEventTimeShiftingStarted() = default;
VexoEventTimeShiftingStopped::~VexoEventTimeShiftingStopped() = default;
VexoEventSourceArrival::~VexoEventSourceArrival() = default;
VexoEventPlayerClosed::~VexoEventPlayerClosed() = default;
VexoEventServiceUpdate::~VexoEventServiceUpdate() = default;
VexoEventCAStatusUpdated::~VexoEventCAStatusUpdated() = default;
VexoEventSchedulerEventStart::~VexoEventSchedulerEventStart() = default;
VexoEventSchedulerEventStop::~VexoEventSchedulerEventStop() = default;
VexoEventScanBegin::~VexoEventScanBegin() = default;
VexoEventScanEnd::~VexoEventScanEnd() = default;
VexoEventSchedulerAddEvent::~VexoEventSchedulerAddEvent() = default;
VexoEventStartRecord::~VexoEventStartRecord() = default;
VexoEventSchedulerEventConfirm::~VexoEventSchedulerEventConfirm() = default;
VexoEventDeviceCollected::~VexoEventDeviceCollected() = default;
VexoEventTunerInitializing::~VexoEventTunerInitializing() = default;
VexoEventTunerInitialized::~VexoEventTunerInitialized() = default;
VexoEventEndOfFile::~VexoEventEndOfFile() = default;
VexoEventShowMainWindow::~VexoEventShowMainWindow() = default;
VexoEventApplicationExit::~VexoEventApplicationExit() = default;
VexoEventChangeFile::~VexoEventChangeFile() = default;
VexoEventSignalQuality::~VexoEventSignalQuality() = default;
VexoEventRecordChannelRedirect::~VexoEventRecordChannelRedirect() = default;
VexoEventApplicationHide::~VexoEventApplicationHide() = default;
VexoEventApplicationShow::~VexoEventApplicationShow() = default;
VexoEventBcasCardRemoved::~VexoEventBcasCardRemoved() = default;
VexoEventPlayerNotSupport::~VexoEventPlayerNotSupport() = default;
VexoEventSubtitleChanged::~VexoEventSubtitleChanged() = default;
VexoEventPlayerResolutionNotSupported::~VexoEventPlayerResolutionNotSupported() = default;
VexoEventFirstVideoFrame::~VexoEventFirstVideoFrame() = default;

VexoEventScanProgress::VexoEventScanProgress(const void* status, int length) : VexoEvent(kType) {
  if (!status || length <= 0 || length > kMaxLength) return;
  block_ = new uint8_t[static_cast<size_t>(length)];
  std::memcpy(block_, status, static_cast<size_t>(length));
  length_ = length;
}

VexoEventScanProgress::~VexoEventScanProgress() { delete[] block_; }

VexoEventCreateNewFile::VexoEventCreateNewFile(const char16_t* fileName) : VexoEvent(kType) {
  length_ = fileName ? static_cast<unsigned>(plat::boundedLength(fileName, kMaxNameLength)) : 0;
  name_ = new char16_t[length_ + 1];
  if (length_) std::memcpy(name_, fileName, length_ * sizeof(char16_t));
  name_[length_] = u'\0';
}

VexoEventCreateNewFile::~VexoEventCreateNewFile() { delete[] name_; }

bool VexoEventCreateNewFile::GetFileName(char16_t* buffer, unsigned capacity) const {
  if (!buffer || capacity < length_ + 1) return false;
  std::memcpy(buffer, name_, (length_ + 1) * sizeof(char16_t));
  return true;
}
