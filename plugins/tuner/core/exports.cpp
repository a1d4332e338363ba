// The plug-in's exports and the operation table that forwards each slot to
// the file tuner object.
#include <new>

#include "file_tuner.h"

namespace tapfeed {
namespace {

FileTuner* self(TapfeedTuner* t) { return static_cast<FileTuner*>(t); }

int32_t opDestroy(TapfeedTuner* t, uint32_t flags) {
  FileTuner* tuner = self(t);
  tuner->close();
  if (flags & 1u) delete tuner;
  return kTapfeedOk;
}
// The file tuner needs no platform helper library before or after use.
int32_t opPreload(TapfeedTuner*) { return kTapfeedOk; }
int32_t opPostUnload(TapfeedTuner*) { return kTapfeedOk; }
int32_t opReservedZero(TapfeedTuner*) { return kTapfeedOk; }
int32_t opReserved(TapfeedTuner*) { return kTapfeedNotSupported; }
int32_t opOpen(TapfeedTuner* t, const TapfeedDeviceInfo* info, int32_t mode) { return self(t)->open(info, mode); }
int32_t opClose(TapfeedTuner* t) { return self(t)->close(); }
int32_t opTune(TapfeedTuner* t, TapfeedTuneRequest* request, void*) { return self(t)->tune(request); }
int32_t opUntune(TapfeedTuner* t) { return self(t)->untune(); }
int32_t opGetSourceType(TapfeedTuner* t, uint32_t* out) { return self(t)->getSourceType(out); }
int32_t opSetParam(TapfeedTuner* t, TapfeedParam* p) { return self(t)->setParam(p); }
int32_t opGetParam(TapfeedTuner* t, TapfeedParam* p) { return self(t)->getParam(p); }
// IP datacast operations are answered by the mode-1 machinery; in other
// modes they are not supported.
int32_t opStartIpScan(TapfeedTuner* t, void* request) {
  IpModeSink* ip = self(t)->ipMode();
  return ip ? ip->startIpScan(request) : kTapfeedNotSupported;
}
int32_t opGetIpPlatforms(TapfeedTuner* t, void* entries, uint32_t* count) {
  IpModeSink* ip = self(t)->ipMode();
  return ip ? ip->getIpPlatforms(entries, count) : kTapfeedNotSupported;
}
int32_t opAddIpStreamFilter(TapfeedTuner* t, void* filter, void* callback, void* context) {
  IpModeSink* ip = self(t)->ipMode();
  return ip ? ip->addIpStreamFilter(filter, callback, context) : kTapfeedNotSupported;
}
int32_t opRemoveIpStreamFilter(TapfeedTuner* t, void* filter) {
  IpModeSink* ip = self(t)->ipMode();
  return ip ? ip->removeIpStreamFilter(filter) : kTapfeedNotSupported;
}
int32_t opAddIpSectionFilter(TapfeedTuner* t, void* filter, void* callback, void* context) {
  IpModeSink* ip = self(t)->ipMode();
  return ip ? ip->addIpSectionFilter(filter, callback, context) : kTapfeedNotSupported;
}
int32_t opRemoveIpSectionFilter(TapfeedTuner* t, void* filter) {
  IpModeSink* ip = self(t)->ipMode();
  return ip ? ip->removeIpSectionFilter(filter) : kTapfeedNotSupported;
}
int32_t opDisableFullStream(TapfeedTuner* t) { return self(t)->removePid(0x1FFF); }
int32_t opEnableFullStream(TapfeedTuner* t) { return self(t)->addPid(0x1FFF); }
int32_t opIsSameTarget(TapfeedTuner* t, const TapfeedTuneRequest* r) { return self(t)->isSameTarget(r); }
int32_t opAddPid(TapfeedTuner* t, const TapfeedPidRequest* r) {
  return r ? self(t)->addPid(r->pid) : kTapfeedBadArgument;
}
int32_t opRemovePid(TapfeedTuner* t, const TapfeedPidRequest* r) {
  return r ? self(t)->removePid(r->pid) : kTapfeedBadArgument;
}
intptr_t opNotify(TapfeedTuner* t, uint32_t code, uintptr_t a, uintptr_t b) { return self(t)->notify(code, a, b); }
intptr_t opSetUserValueB(TapfeedTuner* t, int32_t v) {
  self(t)->setUserValueB(v);
  return reinterpret_cast<intptr_t>(t);
}
int32_t opGetUserValueB(TapfeedTuner* t) { return self(t)->userValueB(); }

}  // namespace

const TapfeedTunerOps kFileTunerOps = {
    opDestroy,       opPreload,         opPostUnload,        opReservedZero,     opReservedZero,
    opOpen,          opClose,           opTune,              opUntune,           opReserved,
    opReserved,      opGetSourceType,   opSetParam,          opGetParam,         opReserved,
    opStartIpScan,   opReserved,        opGetIpPlatforms,    opDisableFullStream, opEnableFullStream,
    opReserved,      opAddIpStreamFilter, opRemoveIpStreamFilter, opIsSameTarget, opAddPid,
    opRemovePid,     opReserved,        opReserved,          opAddIpSectionFilter, opRemoveIpSectionFilter,
    opNotify,        opSetUserValueB,   opGetUserValueB,
};

}  // namespace tapfeed

extern "C" {

__attribute__((visibility("default"))) int32_t DetectTunerDevice(TapfeedDeviceInfo* devices, int32_t capacity) {
  if (!devices || capacity < 1) return -1;
  tapfeed::FileTuner::fillDeviceInfo(&devices[0]);
  return 1;
}

__attribute__((visibility("default"))) TapfeedTuner* CreateTuner(void) {
  try {
    return new tapfeed::FileTuner();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

__attribute__((visibility("default"))) TapfeedTuner* DeleteTuner(TapfeedTuner* tuner) {
  if (!tuner) return nullptr;
  tuner->ops->destroy(tuner, 1);
  return nullptr;
}

__attribute__((visibility("default"))) int32_t RegisterTunerChange(void*) { return 0; }

}  // extern "C"
