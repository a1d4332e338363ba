// The event sink through which the media engine, the player session, the
// source manager and the scheduler report what happens.
#pragma once
#include <cstdint>

#include "vexo/mc.h"

// OnEvent(sender, code, p1, p2): sender is the reporting object's identity;
// p1 and p2 are pointer-sized because several codes carry a pointer to a
// record or object that is valid for the duration of the call only. The
// result is ignored by every sender.
class IZantMediaEventSink : public IMcUnknown {
 public:
  static constexpr Guid iid = plat::guidLiteral("{3E004A14-0B2B-4FBB-9666-03306B818C2B}");
  virtual Status OnEvent(IMcUnknown* sender, uint32_t code, uintptr_t p1, uintptr_t p2) = 0;

 protected:
  ~IZantMediaEventSink() = default;
};
