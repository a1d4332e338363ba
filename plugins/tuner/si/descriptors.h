// Descriptor records and the descriptor-loop parser.
//
// A descriptor is identified by its 8-bit tag together with the standard it
// belongs to: the tag ORed with a space bit. A loop is parsed for a set of
// spaces; tags below 0x40 belong to the MPEG-2 systems space when that space is
// asked for, else to the INT space of DVB data broadcasting; tags 0x40 to 0x7F
// belong to the DVB SI space. Every other tag is skipped.
//
// Records the IP datacast mode reads are typed; every other registered id keeps
// its body bytes (at most 255, the largest descriptor_length). A descriptor
// that is too short for its fixed fields is dropped, wherever it stands in the
// loop, so a kept record never carries fields that were not in the stream.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <variant>
#include <vector>

namespace tapfeed::si {

enum DescriptorSpace : uint32_t {
  kSpaceMpeg = 0x40000000,  // MPEG-2 systems, raw tags below 0x40
  kSpaceInt = 0x20000000,   // INT descriptors of DVB data broadcasting, raw tags below 0x40
  kSpaceDvb = 0x04000000,   // DVB SI, raw tags 0x40 to 0x7F
};

constexpr uint32_t descriptorId(uint32_t space, uint8_t tag) { return space | tag; }

// Ids the IP datacast mode reads.
constexpr uint32_t kIdIso639Language = descriptorId(kSpaceMpeg, 0x0A);
constexpr uint32_t kIdStreamIdentifier = descriptorId(kSpaceDvb, 0x52);
constexpr uint32_t kIdLocalTimeOffset = descriptorId(kSpaceDvb, 0x58);
constexpr uint32_t kIdDataBroadcastId = descriptorId(kSpaceDvb, 0x66);
constexpr uint32_t kIdTargetIpAddress = descriptorId(kSpaceInt, 0x09);
constexpr uint32_t kIdPlatformName = descriptorId(kSpaceInt, 0x0C);
constexpr uint32_t kIdPlatformProviderName = descriptorId(kSpaceInt, 0x0D);
constexpr uint32_t kIdTargetIpSlash = descriptorId(kSpaceInt, 0x0F);
constexpr uint32_t kIdStreamLocation = descriptorId(kSpaceInt, 0x13);

constexpr uint16_t kDataBroadcastIpMacNotification = 0x000B;

// A list stored inside its record, at most N entries (a descriptor body is at
// most 255 bytes, so every list of one has a small fixed bound). Records need no
// allocation of their own and can be reused without freeing.
template <typename T, size_t N>
class BoundedVector {
 public:
  static constexpr size_t capacity() { return N; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  const T* begin() const { return items_; }
  const T* end() const { return items_ + size_; }
  const T& operator[](size_t i) const { return items_[i]; }
  const T& front() const { return items_[0]; }
  const T& back() const { return items_[size_ - 1]; }
  const T* data() const { return items_; }
  void clear() { size_ = 0; }
  // False (and nothing stored) when full.
  bool push_back(const T& value) {
    if (size_ == N) return false;
    items_[size_++] = value;
    return true;
  }
  // Copies at most N entries.
  void assign(const T* first, const T* last) {
    size_ = 0;
    while (first != last && size_ < N) items_[size_++] = *first++;
  }
  friend bool operator==(const BoundedVector& a, const std::vector<T>& b) {
    return a.size_ == b.size() && std::equal(a.begin(), a.end(), b.begin());
  }

 private:
  T items_[N]{};
  size_t size_ = 0;
};

// Registered id whose record carries no fields beyond id and length.
struct EmptyFields {};

// Any registered descriptor without a typed record: its body as received.
struct RawFields {
  BoundedVector<uint8_t, 255> body;
};

struct Iso639LanguageFields {
  struct Entry {
    std::array<char, 3> language;
    uint8_t audioType;
  };
  BoundedVector<Entry, 63> entries;
};

struct StreamIdentifierFields {
  uint8_t componentTag;
};

struct DataBroadcastIdFields {
  struct Platform {
    uint32_t platformId;  // 24 bits
    uint8_t actionType;
    bool intVersioningFlag;
    uint8_t intVersion;  // 5 bits
  };
  uint16_t dataBroadcastId;
  // For the IP/MAC notification id: the declared length and the whole entries.
  uint8_t platformIdDataLength = 0;
  BoundedVector<Platform, 50> platforms;
  // For every other id: the selector bytes.
  BoundedVector<uint8_t, 253> selector;
};

struct LocalTimeOffsetFields {
  struct Entry {
    std::array<char, 3> countryCode;
    uint8_t countryRegionId;  // 6 bits
    bool polarityNegative;
    uint16_t localTimeOffset;          // four BCD digits hhmm
    std::array<uint8_t, 5> timeOfChange;  // MJD + BCD time, as received
    uint16_t nextTimeOffset;           // four BCD digits hhmm
  };
  BoundedVector<Entry, 19> entries;  // in descriptor order; the last entry is back()
};

struct TargetIpAddressFields {
  uint32_t mask;
  BoundedVector<std::array<uint8_t, 4>, 62> addresses;  // network order, whole addresses only
  // The first address of the descriptor, when it has one.
  std::optional<std::array<uint8_t, 4>> firstAddress() const {
    if (addresses.empty()) return std::nullopt;
    return addresses.front();
  }
};

struct TargetIpSlashFields {
  BoundedVector<std::array<uint8_t, 4>, 51> addresses;  // network order
  BoundedVector<uint8_t, 51> slashMasks;                // one per address
};

struct PlatformNameFields {  // tags 0x0C and 0x0D of the INT space
  std::array<char, 3> language;
  BoundedVector<char, 252> textBytes;  // as carried, no character-set conversion
  std::string_view text() const { return {textBytes.data(), textBytes.size()}; }
};

struct StreamLocationFields {
  uint16_t networkId;
  uint16_t originalNetworkId;
  uint16_t transportStreamId;
  uint16_t serviceId;
  uint8_t componentTag;
};

using DescriptorFields =
    std::variant<EmptyFields, RawFields, Iso639LanguageFields, StreamIdentifierFields,
                 DataBroadcastIdFields, LocalTimeOffsetFields, TargetIpAddressFields,
                 TargetIpSlashFields, PlatformNameFields, StreamLocationFields>;

struct Descriptor {
  uint32_t id = 0;      // space bit | tag
  uint8_t length = 0;   // descriptor_length
  DescriptorFields fields;

  uint8_t tag() const { return static_cast<uint8_t>(id & 0xFF); }
  template <typename T>
  const T* as() const { return std::get_if<T>(&fields); }
};

using DescriptorList = std::vector<Descriptor>;

// Maps a raw tag to its id for the given spaces; 0 when the tag has no space.
uint32_t mapDescriptorTag(uint8_t tag, uint32_t spaces);

// True when the id has a row in the registry.
bool isRegisteredDescriptor(uint32_t id);

// Parses one descriptor body (without tag and length) as the given id.
// Returns false when the id is not registered or the body is malformed.
bool parseDescriptorBody(uint32_t id, const uint8_t* body, uint8_t length, Descriptor& out);

// Parses a descriptor loop of loopLength bytes. Returns the number of records
// kept, or -1 (with `out` left empty) when a descriptor runs past the loop.
int parseDescriptorLoop(const uint8_t* bytes, size_t loopLength, uint32_t spaces, DescriptorList& out);

// The last record with the given id in a list, or null.
const Descriptor* findLastDescriptor(const DescriptorList& list, uint32_t id);
const Descriptor* findFirstDescriptor(const DescriptorList& list, uint32_t id);

}  // namespace tapfeed::si
