// Feeds fuzz input to the section demultiplexer in blocks of varying size, with
// a filter on every PID whose handler runs every table parser and the datagram
// dispatcher on each section, and a filter that removes and re-adds itself.
#include <cstddef>
#include <cstdint>

#include "si/datagram_dispatcher.h"
#include "si/section_demux.h"
#include "si/tables.h"

namespace {

using namespace tapfeed;

struct Context {
  demux::DatagramDispatcher* dispatcher;
  demux::SectionDemux* demux;
  demux::SectionFilter* churn;
};

void noop(void*, const demux::UdpRegistration&, const uint8_t*, size_t, uint16_t) {}

void parseEverything(void* ctx, uint16_t, uint32_t, const uint8_t* section, size_t length) {
  si::Pat pat;
  si::Pmt pmt;
  si::IntTable table;
  si::Tdt tdt;
  si::Tot tot;
  si::parsePat(section, length, pat);
  si::parsePmt(section, length, si::kSpaceDvb, pmt);
  si::parseInt(section, length, table);
  si::parseTdt(section, length, tdt);
  si::parseTot(section, length, tot);
  static_cast<Context*>(ctx)->dispatcher->processSection(section, length);
}

void churnHandler(void* ctx, uint16_t pid, uint32_t, const uint8_t*, size_t) {
  auto* c = static_cast<Context*>(ctx);
  c->demux->removeFilter(c->churn);
  c->churn = c->demux->addSectionFilter(static_cast<uint16_t>((pid + 1) & 0x1FFF), &churnHandler, c);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const unsigned splitSeed = data[0] | data[1] << 8;
  data += 2;
  size -= 2;
  demux::SectionDemux* d = demux::SectionDemux::create(nullptr);
  demux::DatagramDispatcher* dispatcher = demux::DatagramDispatcher::create();
  Context ctx{dispatcher, d, nullptr};
  dispatcher->registerUdp({0xEF010203, 5000, &noop, nullptr});
  d->addSectionFilter(demux::kAllPids, &parseEverything, &ctx);
  ctx.churn = d->addSectionFilter(0, &churnHandler, &ctx);
  size_t pos = 0;
  unsigned state = splitSeed | 1;
  while (pos < size) {
    state = state * 1103515245u + 12345u;
    size_t n = (state >> 16) % 700 + 1;
    if (n > size - pos) n = size - pos;
    d->feed(data + pos, n);
    pos += n;
  }
  d->release();
  dispatcher->release();
  return 0;
}
