// The event catalogue: type numbers, payloads and their accessors, the
// owned-buffer events and copy rules.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <type_traits>

#include "VexoEvents.h"

namespace {

TEST(Events, EveryClassHasItsTypeNumber) {
  int dummy = 0;
  std::unique_ptr<VexoEvent> all[] = {
      std::make_unique<VexoEventTimeChanged>(1, 2),
      std::make_unique<VexoEventToggleFullScreen>(),
      std::make_unique<VexoEventToggleAlwaysTop>(),
      std::make_unique<VexoEventShowCP>(),
      std::make_unique<VexoEventHideCP>(),
      std::make_unique<VexoEventRefreshUI>(),
      std::make_unique<VexoEventServiceChanged>(),
      std::make_unique<VexoEventEnableButton>(),
      std::make_unique<VexoEventChangeSkin>(1),
      std::make_unique<VexoEventSignalChanged>(0u, 3u),
      std::make_unique<VexoEventRecordLimitExceed>(VexoEventRecordLimitExceed::DiskSizeLimit),
      std::make_unique<VexoEventLanguageChanged>(0x411u),
      std::make_unique<VexoEventEmergencyAlarm>(&dummy),
      std::make_unique<VexoEventSourceChanged>(),
      std::make_unique<VexoEventParentalBlocked>(),
      std::make_unique<VexoEventSourceRemoved>(&dummy),
      std::make_unique<VexoEventProgramUpdate>(&dummy),
      std::make_unique<VexoEventServiceChanging>(),
      std::make_unique<VexoEventStateChanged>(2u),
      std::make_unique<VexoEventBatteryStatus>(80u, true),
      std::make_unique<VexoEventTimeShiftingStarted>(),
      std::make_unique<VexoEventTimeShiftingStopped>(),
      std::make_unique<VexoEventSourceArrival>(),
      std::make_unique<VexoEventPlayerClosed>(),
      std::make_unique<VexoEventServiceUpdate>(),
      std::make_unique<VexoEventCAStatusUpdated>(1u),
      std::make_unique<VexoEventSchedulerEventStart>(1u),
      std::make_unique<VexoEventSchedulerEventStop>(1u),
      std::make_unique<VexoEventScanBegin>(),
      std::make_unique<VexoEventScanProgress>(nullptr, 0),
      std::make_unique<VexoEventScanEnd>(),
      std::make_unique<VexoEventSchedulerAddEvent>(),
      std::make_unique<VexoEventStartRecord>(),
      std::make_unique<VexoEventSchedulerEventConfirm>(1u),
      std::make_unique<VexoEventDeviceCollected>(),
      std::make_unique<VexoEventTunerInitializing>(),
      std::make_unique<VexoEventTunerInitialized>(0u),
      std::make_unique<VexoEventEndOfFile>(1u, 2u),
      std::make_unique<VexoEventShowMainWindow>(),
      std::make_unique<VexoEventCreateNewFile>(u"a.ts"),
      std::make_unique<VexoEventApplicationExit>(),
      std::make_unique<VexoEventChangeFile>(VexoEventChangeFile::Next),
      std::make_unique<VexoEventSignalQuality>(VexoEventSignalQuality::Quality1),
      std::make_unique<VexoEventRecordChannelRedirect>(1u, 2u),
      std::make_unique<VexoEventApplicationHide>(),
      std::make_unique<VexoEventApplicationShow>(),
      std::make_unique<VexoEventBcasCardRemoved>(1u),
      std::make_unique<VexoEventPlayerNotSupport>(5u),
      std::make_unique<VexoEventSubtitleChanged>(),
      std::make_unique<VexoEventPlayerResolutionNotSupported>(1920u, 1080u),
      std::make_unique<VexoEventFirstVideoFrame>(),
  };
  ASSERT_EQ(std::size(all), 51u);
  for (unsigned i = 0; i < std::size(all); ++i) EXPECT_EQ(all[i]->Type(), i + 1) << "entry " << i;
}

TEST(Events, ValuePayloads) {
  VexoEventTimeChanged t(-5, 7);
  EXPECT_EQ(t.GetHiOffset(), -5);
  EXPECT_EQ(t.GetLowOffset(), 7);
  VexoEventSignalChanged s(2u, 40u);
  EXPECT_EQ(s.DisplaySignalIcon(), 2u);
  EXPECT_EQ(s.GetSignalLevel(), 40u);
  VexoEventBatteryStatus b(55u, true);
  EXPECT_EQ(b.GetBatteryLevel(), 55u);
  EXPECT_TRUE(b.GetCharging());
  VexoEventEndOfFile eof(3u, 4u);
  EXPECT_EQ(eof.GetSpeed(), 3u);
  EXPECT_EQ(eof.GetState(), 4u);
  VexoEventRecordChannelRedirect r(8u, 9u);
  EXPECT_EQ(r.GetCurrentIdx(), 8u);
  EXPECT_EQ(r.GetNewIdx(), 9u);
  EXPECT_EQ(VexoEventRecordLimitExceed(VexoEventRecordLimitExceed::FileSizeLimit).GetType(), 1u);
  EXPECT_EQ(VexoEventChangeFile(VexoEventChangeFile::Previous).GetDirection(), 0u);
  EXPECT_EQ(VexoEventLanguageChanged(0x411u).GetLCID(), 0x411u);
  EXPECT_EQ(VexoEventChangeSkin(-1).GetSkinIndex(), -1);
}

TEST(Events, PointerPayloadsKeepFullPointers) {
  // A pointer above 4 GiB must come back whole.
  auto* high = reinterpret_cast<void*>(static_cast<uintptr_t>(0x7FFF12345678ull));
  EXPECT_EQ(VexoEventEmergencyAlarm(high).GetEvent(), high);
  EXPECT_EQ(VexoEventSourceRemoved(high).GetSourceContext(), high);
  EXPECT_EQ(VexoEventProgramUpdate(high).GetService(), high);
  static_assert(std::is_same_v<decltype(VexoEventEmergencyAlarm(nullptr).GetEvent()), void*>);
}

TEST(Events, EnableButtonFlags) {
  VexoEventEnableButton e;
  for (unsigned i = 0; i < 20; ++i) EXPECT_FALSE(e.GetButtonEnabled(i));
  e.SetButtonEnabled(VexoEventEnableButton::Record, true);
  e.SetButtonEnabled(17, true);  // outside: ignored
  EXPECT_TRUE(e.GetButtonEnabled(7));
  EXPECT_FALSE(e.GetButtonEnabled(9));
  EXPECT_FALSE(e.GetButtonEnabled(17));
  VexoEventEnableButton copy(e);
  EXPECT_TRUE(copy.GetButtonEnabled(7));
  EXPECT_EQ(copy.Type(), 8u);
}

TEST(Events, ResolutionNeedsBothPointers) {
  VexoEventPlayerResolutionNotSupported e(640u, 360u);
  unsigned w = 1, h = 2;
  EXPECT_EQ(e.GetResolution(&w, nullptr), -1);
  EXPECT_EQ(e.GetResolution(nullptr, &h), -1);
  EXPECT_EQ(w, 1u);
  EXPECT_EQ(h, 2u);
  EXPECT_EQ(e.GetResolution(&w, &h), 0);
  EXPECT_EQ(w, 640u);
  EXPECT_EQ(h, 360u);
}

TEST(Events, ScanProgressKeepsItsOwnCopy) {
  uint8_t block[40];
  for (int i = 0; i < 40; ++i) block[i] = static_cast<uint8_t>(i);
  VexoEventScanProgress e(block, 40);
  block[0] = 0xFF;  // the event's copy is unaffected
  ASSERT_NE(e.GetStatus(), nullptr);
  EXPECT_NE(e.GetStatus(), static_cast<void*>(block));
  EXPECT_EQ(static_cast<uint8_t*>(e.GetStatus())[0], 0);
  EXPECT_EQ(static_cast<uint8_t*>(e.GetStatus())[39], 39);
  EXPECT_EQ(e.GetLength(), 40);
  EXPECT_EQ(VexoEventScanProgress(nullptr, 40).GetStatus(), nullptr);
  EXPECT_EQ(VexoEventScanProgress(block, 0).GetStatus(), nullptr);
  EXPECT_EQ(VexoEventScanProgress(block, -3).GetStatus(), nullptr);
  EXPECT_EQ(VexoEventScanProgress(block, VexoEventScanProgress::kMaxLength + 1).GetStatus(), nullptr);
}

TEST(Events, CreateNewFileCopiesOnlyWhenTheBufferHoldsTheTerminator) {
  VexoEventCreateNewFile e(u"\\Storage Card\\rec.ts");
  const std::u16string name = u"\\Storage Card\\rec.ts";
  std::u16string buffer(name.size() + 1, u'#');
  EXPECT_FALSE(e.GetFileName(buffer.data(), static_cast<unsigned>(name.size())));  // one short
  EXPECT_EQ(buffer, std::u16string(name.size() + 1, u'#'));
  EXPECT_TRUE(e.GetFileName(buffer.data(), static_cast<unsigned>(name.size() + 1)));
  EXPECT_EQ(std::u16string(buffer.c_str()), name);
  EXPECT_FALSE(e.GetFileName(nullptr, 100));
  VexoEventCreateNewFile empty(nullptr);
  char16_t one[1] = {u'x'};
  EXPECT_TRUE(empty.GetFileName(one, 1));
  EXPECT_EQ(one[0], u'\0');
}

TEST(Events, OwnedBufferEventsCannotBeCopiedOthersCan) {
  static_assert(!std::is_copy_constructible_v<VexoEventScanProgress>);
  static_assert(!std::is_copy_assignable_v<VexoEventScanProgress>);
  static_assert(!std::is_copy_constructible_v<VexoEventCreateNewFile>);
  static_assert(!std::is_copy_assignable_v<VexoEventCreateNewFile>);
  static_assert(std::is_copy_constructible_v<VexoEventTimeChanged>);
  VexoEventTimeChanged a(1, 2), b(3, 4);
  b = a;
  EXPECT_EQ(b.GetHiOffset(), 1);
  EXPECT_EQ(b.GetLowOffset(), 2);
}

}  // namespace
