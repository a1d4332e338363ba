// Shared helpers for the demultiplexer and parser tests.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "si/datagram_dispatcher.h"
#include "si/section_demux.h"
#include "tsgen.h"

namespace tapfeed::testing {

using Bytes = std::vector<uint8_t>;

struct DemuxDeleter {
  void operator()(demux::SectionDemux* d) const { d->release(); }
};
using DemuxPtr = std::unique_ptr<demux::SectionDemux, DemuxDeleter>;

struct DispatcherDeleter {
  void operator()(demux::DatagramDispatcher* d) const { d->release(); }
};
using DispatcherPtr = std::unique_ptr<demux::DatagramDispatcher, DispatcherDeleter>;

struct Delivered {
  uint16_t pid;
  uint32_t flags;
  Bytes section;
};

// Records every section a filter delivers.
struct SectionLog {
  std::vector<Delivered> sections;
  static void handler(void* context, uint16_t pid, uint32_t flags, const uint8_t* section, size_t length) {
    static_cast<SectionLog*>(context)->sections.push_back({pid, flags, Bytes(section, section + length)});
  }
};

// A private section of the given total length (>= 3) with a recognisable body.
inline Bytes privateSection(uint8_t tableId, size_t totalLength, uint8_t fill = 0) {
  Bytes s(totalLength);
  s[0] = tableId;
  const size_t sectionLength = totalLength - 3;
  s[1] = static_cast<uint8_t>(0x30 | (sectionLength >> 8 & 0x0F));
  s[2] = static_cast<uint8_t>(sectionLength);
  for (size_t i = 3; i < totalLength; ++i) s[i] = static_cast<uint8_t>(fill + i);
  return s;
}

// Null packets after the data let the demultiplexer confirm sync to the end.
inline void finish(tsgen::TsWriter& w) { w.writeNullPackets(3); }

}  // namespace tapfeed::testing
