// The interface between the media engine and the file tuner plug-in: the four
// exported functions, the tuner object's operation table and the records the
// two sides exchange. Layouts are our own LP64 ones (pointers are 8 bytes);
// the static_asserts at the end pin every offset the engine relies on.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

// One entry of the device array that DetectTunerDevice fills. Open keeps the
// whole record (332 bytes).
struct TapfeedDeviceInfo {
  char name[64];         // NUL-terminated 8-bit text
  char secondName[256];  // NUL-terminated 8-bit text
  uint32_t capabilityMask;  // bit n allows mode n
  uint32_t unused;
  int32_t deviceFlag;
};

// Argument of Tune and IsSameTarget.
struct TapfeedTuneRequest {
  uint32_t tuningValue0;  // kept and reported back, not interpreted
  uint32_t tuningValue1;
  char16_t* path;         // UTF-16, NUL-terminated; may be null or empty
  uint32_t flags;         // kTapfeedTuneWriteBackName: write the obtained name into path
  uint32_t reserved;
};

// Argument of SetParam and GetParam. `value` points to the value, to the
// output, or is the callback function; `extra` is the size of the value in
// bytes, the callback context, or a pointer to a count, by parameter id.
struct TapfeedParam {
  uint32_t id;
  uint32_t reserved;
  void* value;
  uintptr_t extra;
};

// Argument of AddPid and RemovePid.
struct TapfeedPidRequest {
  uint32_t unused0;
  uint32_t pid;
  uint32_t unused1;
};

// Callbacks the engine registers.
// Data: returns the number of bytes consumed (looked at only with partial delivery).
typedef int32_t (*TapfeedDataCallback)(void* context, const uint8_t* data, uint32_t length);
// Events: code 200 (a = b = 0) when the file ends and looping is off.
typedef intptr_t (*TapfeedEventCallback)(void* context, uint32_t code, uintptr_t a, uintptr_t b);
// File name: writes a path of at most `capacity` units (with NUL); non-zero on success.
typedef int32_t (*TapfeedFileNameCallback)(void* context, char16_t* buffer, uint32_t capacity);

struct TapfeedTuner;

// The operation table, in slot order (slot 0 is the destroy entry). Results
// are the tuner's small status codes (TapfeedStatus).
struct TapfeedTunerOps {
  int32_t (*destroy)(TapfeedTuner* self, uint32_t flags);                // 0: bit 0 frees
  int32_t (*preload)(TapfeedTuner* self);                                // 1
  int32_t (*postUnload)(TapfeedTuner* self);                             // 2
  int32_t (*reserved3)(TapfeedTuner* self);                              // 3
  int32_t (*reserved4)(TapfeedTuner* self);                              // 4
  int32_t (*open)(TapfeedTuner* self, const TapfeedDeviceInfo* info, int32_t mode);  // 5
  int32_t (*close)(TapfeedTuner* self);                                  // 6
  int32_t (*tune)(TapfeedTuner* self, TapfeedTuneRequest* request, void* unused);    // 7
  int32_t (*untune)(TapfeedTuner* self);                                 // 8
  int32_t (*reserved9)(TapfeedTuner* self);                              // 9
  int32_t (*reserved10)(TapfeedTuner* self);                             // 10
  int32_t (*getSourceType)(TapfeedTuner* self, uint32_t* out2);          // 11
  int32_t (*setParam)(TapfeedTuner* self, TapfeedParam* param);          // 12
  int32_t (*getParam)(TapfeedTuner* self, TapfeedParam* param);          // 13
  int32_t (*reserved14)(TapfeedTuner* self);                             // 14
  int32_t (*startIpScan)(TapfeedTuner* self, void* request);             // 15
  int32_t (*reserved16)(TapfeedTuner* self);                             // 16
  int32_t (*getIpPlatforms)(TapfeedTuner* self, void* entries, uint32_t* count);  // 17
  int32_t (*disableFullStream)(TapfeedTuner* self);                      // 18
  int32_t (*enableFullStream)(TapfeedTuner* self);                       // 19
  int32_t (*reserved20)(TapfeedTuner* self);                             // 20
  int32_t (*addIpStreamFilter)(TapfeedTuner* self, void* filter, void* callback, void* context);  // 21
  int32_t (*removeIpStreamFilter)(TapfeedTuner* self, void* filter);     // 22
  int32_t (*isSameTarget)(TapfeedTuner* self, const TapfeedTuneRequest* request);  // 23
  int32_t (*addPid)(TapfeedTuner* self, const TapfeedPidRequest* request);         // 24
  int32_t (*removePid)(TapfeedTuner* self, const TapfeedPidRequest* request);      // 25
  int32_t (*reserved26)(TapfeedTuner* self);                             // 26
  int32_t (*reserved27)(TapfeedTuner* self);                             // 27
  int32_t (*addIpSectionFilter)(TapfeedTuner* self, void* filter, void* callback, void* context);  // 28
  int32_t (*removeIpSectionFilter)(TapfeedTuner* self, void* filter);    // 29
  intptr_t (*notify)(TapfeedTuner* self, uint32_t code, uintptr_t a, uintptr_t b);  // 30
  intptr_t (*setUserValueB)(TapfeedTuner* self, int32_t value);          // 31: returns the object
  int32_t (*getUserValueB)(TapfeedTuner* self);                          // 32
};

// Every tuner object starts with its table.
struct TapfeedTuner {
  const TapfeedTunerOps* ops;
};

// Exports (looked up by name by the engine).
int32_t DetectTunerDevice(TapfeedDeviceInfo* devices, int32_t capacity);
TapfeedTuner* CreateTuner(void);
TapfeedTuner* DeleteTuner(TapfeedTuner* tuner);
int32_t RegisterTunerChange(void* ignored);

}  // extern "C"

// Status codes of the operations.
enum TapfeedStatus : int32_t {
  kTapfeedOk = 0,
  kTapfeedFailed = 1,        // memory, thread or demultiplexer creation, inner request
  kTapfeedNotSupported = 2,  // reserved slot, unknown parameter, mode not allowed, no index
  kTapfeedAlreadyPresent = 6,
  kTapfeedBadArgument = 9,   // null pointer, wrong size, missing callback, no file name
  kTapfeedNoFile = 12,       // the file to tune does not exist
  kTapfeedWrongState = 13,   // not tuned (or Open outside the closed state)
  kTapfeedBusy = 14,
  kTapfeedNoFreeSlot = 19,
  kTapfeedNotFound = 20,
  kTapfeedOpenFailed = -1,   // Tune: the file could not be opened
};

// Parameter ids of SetParam / GetParam.
enum TapfeedParamId : uint32_t {
  kTapfeedParamSignalLevel = 4,
  kTapfeedParamStatus = 8,
  kTapfeedParamDataCallback = 2,
  kTapfeedParamEventCallback = 3,
  kTapfeedParamUserValueA = 10,
  kTapfeedParamFileNameCallback = 13,
  kTapfeedParamPacing = 18,
  kTapfeedParamPartialDelivery = 19,
  kTapfeedParamFilePath = 20,
  kTapfeedParamDuration = 23,
  kTapfeedParamPosition = 24,  // GetParam: position; SetParam: seek
  kTapfeedParamRequestedPids = 0x10003,
  kTapfeedParamNoOp = 0x10007,
  kTapfeedParamReserved10008 = 0x10008,
  kTapfeedParamIpPlatforms = 0x10009,
  kTapfeedParamBroadcastTime = 0x1000C,
  kTapfeedParamLoop = 0x30004,
  kTapfeedParamUserValueB = 0x30006,
};

inline constexpr uint32_t kTapfeedTuneWriteBackName = 2;
inline constexpr uint32_t kTapfeedEventEndOfFile = 200;
inline constexpr uint32_t kTapfeedCapabilityMask = 0x9600042Fu;
inline constexpr uint32_t kTapfeedPathCapacity = 260;  // UTF-16 units including the NUL

static_assert(sizeof(TapfeedDeviceInfo) == 332);
static_assert(offsetof(TapfeedDeviceInfo, secondName) == 64);
static_assert(offsetof(TapfeedDeviceInfo, capabilityMask) == 320);
static_assert(offsetof(TapfeedDeviceInfo, deviceFlag) == 328);
static_assert(offsetof(TapfeedTuneRequest, path) == 8);
static_assert(offsetof(TapfeedTuneRequest, flags) == 16);
static_assert(sizeof(TapfeedTuneRequest) == 24);
static_assert(offsetof(TapfeedParam, value) == 8);
static_assert(offsetof(TapfeedParam, extra) == 16);
static_assert(sizeof(TapfeedParam) == 24);
static_assert(offsetof(TapfeedPidRequest, pid) == 4);
static_assert(sizeof(TapfeedTunerOps) == 33 * sizeof(void*));
