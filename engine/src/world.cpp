#include "world.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "plat/text.h"
#include "zant/engine.h"

namespace zantsim {

bool ChannelInfo::receivedIn(uint32_t region) const {
  if (region == 0 || regions.empty()) return true;
  return std::find(regions.begin(), regions.end(), region) != regions.end();
}

namespace {

struct ParseError {
  std::string text;
};

const char* attr(xmlNode* node, const char* name, std::string* holder) {
  xmlChar* v = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
  if (v == nullptr) return nullptr;
  holder->assign(reinterpret_cast<const char*>(v));
  xmlFree(v);
  return holder->c_str();
}

// A 32-bit number in decimal or 0x-hex; absent gives the fallback.
uint32_t number(xmlNode* node, const char* name, uint32_t fallback) {
  std::string s;
  if (attr(node, name, &s) == nullptr) return fallback;
  errno = 0;
  char* end = nullptr;
  unsigned long long v = std::strtoull(s.c_str(), &end, 0);
  if (s.empty() || s[0] == '-' || errno != 0 || end == s.c_str() || *end != '\0' || v > 0xFFFFFFFFull)
    throw ParseError{"bad number in attribute '" + std::string(name) + "': " + s};
  return static_cast<uint32_t>(v);
}

std::u16string text16(xmlNode* node, const char* name, size_t maxLen, bool required) {
  std::string s;
  if (attr(node, name, &s) == nullptr) {
    if (required) throw ParseError{"missing attribute '" + std::string(name) + "'"};
    return {};
  }
  std::u16string t = plat::utf8ToUtf16(s);
  if (t.size() > maxLen) throw ParseError{"attribute '" + std::string(name) + "' is too long"};
  return t;
}

std::u16string content16(xmlNode* node, size_t maxLen) {
  xmlChar* c = xmlNodeGetContent(node);
  if (c == nullptr) return {};
  std::u16string t = plat::utf8ToUtf16(reinterpret_cast<const char*>(c));
  xmlFree(c);
  if (t.size() > maxLen) throw ParseError{"text is too long"};
  return t;
}

std::vector<uint32_t> numberList(xmlNode* node, const char* name, size_t maxCount) {
  std::string s;
  std::vector<uint32_t> out;
  if (attr(node, name, &s) == nullptr) return out;
  const char* p = s.c_str();
  while (*p) {
    while (*p == ' ' || *p == ',') ++p;
    if (!*p) break;
    errno = 0;
    char* end = nullptr;
    unsigned long v = std::strtoul(p, &end, 0);
    if (end == p || errno != 0 || v > 0xFFFFFFFFul || *p == '-') throw ParseError{"bad list in '" + std::string(name) + "'"};
    if (out.size() >= maxCount) throw ParseError{"too many entries in '" + std::string(name) + "'"};
    out.push_back(static_cast<uint32_t>(v));
    p = end;
  }
  return out;
}

bool is(xmlNode* node, const char* name) {
  return node->type == XML_ELEMENT_NODE && xmlStrcmp(node->name, reinterpret_cast<const xmlChar*>(name)) == 0;
}

ChannelInfo parseChannel(xmlNode* node) {
  ChannelInfo c;
  c.networkId = number(node, "onid", 0);
  c.transportStreamId = number(node, "tsid", 0);
  c.serviceId = number(node, "sid", 0);
  if (c.serviceId == 0 || c.serviceId > 0xFFFF || c.transportStreamId > 0xFFFF || c.networkId > 0xFFFF)
    throw ParseError{"channel ids must be 16-bit and sid not 0"};
  c.name = text16(node, "name", kMaxName, true);
  c.displayName = text16(node, "display", kMaxName, false);
  if (c.displayName.empty()) c.displayName = c.name;
  c.providerName = text16(node, "provider", kMaxName, false);
  c.serviceType = number(node, "type", zant::kServicePartialTv);
  if (c.serviceType < 1 || c.serviceType > 4) throw ParseError{"service type must be 1 to 4"};
  c.serviceNumber = number(node, "number", 0);
  c.remoteKey = number(node, "key", 0);
  c.frequencyKHz = number(node, "freq", 0);
  c.bandwidthKHz = number(node, "bw", 6000);
  if (c.frequencyKHz == 0 || c.bandwidthKHz == 0) throw ParseError{"channel needs a frequency and a bandwidth"};
  c.physicalChannel = number(node, "uhf", c.frequencyKHz >= 473143 ? (c.frequencyKHz - 473143) / c.bandwidthKHz + 13 : 0);
  c.scrambled = number(node, "scrambled", 0) != 0;
  c.regions = numberList(node, "regions", kMaxRegions);
  c.signalLevel = std::min<uint32_t>(number(node, "signal", 70), 100);
  for (xmlNode* k = node->children; k; k = k->next) {
    if (is(k, "audio") || is(k, "subtitle") || is(k, "video")) {
      if (c.streams.size() >= kMaxStreams) throw ParseError{"too many streams"};
      StreamInfo s;
      s.kind = is(k, "audio") ? zant::kStreamAudio : is(k, "subtitle") ? zant::kStreamSubtitle : zant::kStreamVideo;
      std::string lang;
      if (attr(k, "lang", &lang) == nullptr || lang.size() != 3) throw ParseError{"stream language must be 3 letters"};
      s.language = lang;
      s.name = text16(k, "name", kMaxName, false);
      s.componentTag = number(k, "tag", 0);
      c.streams.push_back(std::move(s));
    } else if (is(k, "programme")) {
      if (c.programmes.size() >= kMaxProgrammes) throw ParseError{"too many programmes"};
      ProgrammeTemplate p;
      p.title = text16(k, "title", kMaxName, true);
      p.description = content16(k, kMaxText);
      p.minutes = number(k, "minutes", 30);
      if (p.minutes < 5 || p.minutes > 24 * 60) throw ParseError{"programme minutes must be 5 to 1440"};
      p.minimumAge = number(k, "rating", 0);
      c.programmes.push_back(std::move(p));
    }
  }
  if (c.programmes.empty()) c.programmes.push_back({u"放送中", u"", 60, 0});
  return c;
}

ScriptedEvent parseScripted(xmlNode* node) {
  ScriptedEvent e;
  e.atMs = number(node, "at", 0);
  if (is(node, "event")) {
    e.kind = ScriptedEvent::Kind::Event;
    e.code = number(node, "code", 0);
    e.p1 = number(node, "p1", 0);
    e.p2 = number(node, "p2", 0);
    if (e.code == 0) throw ParseError{"scripted event needs a code"};
  } else if (is(node, "alarm")) {
    e.kind = ScriptedEvent::Kind::Alarm;
    std::string k;
    attr(node, "kind", &k);
    if (k == "earthquake") e.alarmKind = zant::kAlarmKindEarthquake;
    else if (k == "tsunami") e.alarmKind = zant::kAlarmKindTsunami;
    else e.alarmKind = number(node, "kind", 0);
    e.areas = numberList(node, "areas", kMaxAreas);
    for (uint32_t a : e.areas)
      if (a > 0xFFF) throw ParseError{"area codes are 12-bit"};
    e.durationMs = number(node, "duration", 0);
  } else if (is(node, "signal")) {
    e.kind = ScriptedEvent::Kind::Signal;
    e.p1 = std::min<uint32_t>(number(node, "level", 0), 100);
  } else if (is(node, "castatus")) {
    e.kind = ScriptedEvent::Kind::CAStatus;
    e.p1 = number(node, "status", 0);
  } else {
    e.kind = ScriptedEvent::Kind::Battery;
    e.p1 = std::min<uint32_t>(number(node, "level", 0), 100);
    e.p2 = number(node, "charging", 0);
  }
  return e;
}

void parseRoot(xmlNode* root, Scenario* s) {
  if (root == nullptr || !is(root, "scenario")) throw ParseError{"the root element must be <scenario>"};
  for (xmlNode* n = root->children; n; n = n->next) {
    if (n->type != XML_ELEMENT_NODE) continue;
    if (is(n, "device")) {
      if (s->devices.size() >= kMaxDevices) throw ParseError{"too many devices"};
      DeviceInfo d;
      d.id = number(n, "id", 0);
      d.name = text16(n, "name", kMaxName, true);
      d.type = number(n, "type", 0);
      d.present = number(n, "present", 1) != 0;
      if (d.id == 0 || d.type == 0) throw ParseError{"device needs an id and a type"};
      for (const DeviceInfo& other : s->devices)
        if (other.id == d.id) throw ParseError{"duplicate device id"};
      s->devices.push_back(std::move(d));
    } else if (is(n, "channel")) {
      if (s->channels.size() >= kMaxChannels) throw ParseError{"too many channels"};
      auto c = std::make_shared<ChannelInfo>(parseChannel(n));
      for (const auto& other : s->channels)
        if (other->channelId() == c->channelId()) throw ParseError{"duplicate channel (tsid, sid)"};
      s->channels.push_back(std::move(c));
    } else if (is(n, "country")) {
      if (s->countries.size() >= kMaxCountries) throw ParseError{"too many countries"};
      CountryInfo c;
      c.id = number(n, "id", 0);
      c.name = text16(n, "name", kMaxName, true);
      c.standard = number(n, "standard", 4);
      for (xmlNode* r = n->children; r; r = r->next) {
        if (!is(r, "region")) continue;
        if (c.regions.size() >= kMaxRegions) throw ParseError{"too many regions"};
        RegionInfo ri;
        ri.id = number(r, "id", 0);
        ri.name = text16(r, "name", kMaxName, true);
        if (ri.id == 0 || ri.id > 99) throw ParseError{"region ids are 1 to 99"};
        c.regions.push_back(std::move(ri));
      }
      s->countries.push_back(std::move(c));
    } else if (is(n, "ca")) {
      s->caId = text16(n, "id", kMaxName, true);
      s->caKeyDataVersion = text16(n, "kdaversion", kMaxName, false);
      s->caStatusScrambled = number(n, "scrambledstatus", 0);
    } else if (is(n, "battery") && !xmlHasProp(n, reinterpret_cast<const xmlChar*>("at"))) {
      s->batteryLevel = static_cast<int32_t>(std::min<uint32_t>(number(n, "level", 100), 100));
      s->batteryCharging = number(n, "charging", 0) != 0;
    } else if (is(n, "event") || is(n, "alarm") || is(n, "battery") || is(n, "signal") || is(n, "castatus")) {
      if (s->script.size() >= kMaxScript) throw ParseError{"too many scripted events"};
      s->script.push_back(parseScripted(n));
    } else {
      throw ParseError{"unknown element <" + std::string(reinterpret_cast<const char*>(n->name)) + ">"};
    }
  }
  std::stable_sort(s->script.begin(), s->script.end(),
                   [](const ScriptedEvent& a, const ScriptedEvent& b) { return a.atMs < b.atMs; });
}

}  // namespace

plat::Status parseScenario(std::string_view xml, Scenario* out, std::string* error) {
  if (xml.size() > kMaxScenarioBytes) {
    if (error) *error = "scenario larger than 4 MB";
    return plat::E_DATA_INVALID;
  }
  static std::once_flag init;
  std::call_once(init, [] { xmlInitParser(); });
  xmlDoc* doc = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "scenario.xml", "UTF-8",
                              XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  if (doc == nullptr) {
    if (error) *error = "not well-formed XML";
    return plat::E_DATA_INVALID;
  }
  Scenario s;
  plat::Status result = plat::S_OK;
  try {
    parseRoot(xmlDocGetRootElement(doc), &s);
  } catch (const ParseError& e) {
    if (error) *error = e.text;
    result = plat::E_DATA_INVALID;
  } catch (const std::bad_alloc&) {
    if (error) *error = "out of memory";
    result = plat::E_OUTOFMEMORY;
  }
  xmlFreeDoc(doc);
  if (result == plat::S_OK) *out = std::move(s);
  return result;
}

const Scenario& defaultScenario() {
  static const Scenario s = [] {
    Scenario r;
    std::string error;
    if (parseScenario(defaultScenarioXml(), &r, &error) != plat::S_OK) std::abort();  // the built-in text is ours
    return r;
  }();
  return s;
}

std::vector<Programme> scheduleFor(const ChannelInfo& channel, plat::FileTime utcNow, int32_t offsetMinutes) {
  std::vector<Programme> out;
  if (channel.programmes.empty()) return out;
  const int64_t offset = static_cast<int64_t>(offsetMinutes) * 60 * static_cast<int64_t>(plat::kFileTimePerSecond);
  const plat::FileTime day = 86400ull * plat::kFileTimePerSecond;
  const plat::FileTime localNow = static_cast<plat::FileTime>(static_cast<int64_t>(utcNow) + offset);
  const plat::FileTime localMidnight = localNow - localNow % day;
  const plat::FileTime first = localMidnight - 3 * day;
  const plat::FileTime last = localMidnight + 4 * day;
  size_t next = 0;
  // Each broadcast day runs from 04:00 to 04:00; the first begins the day before the week.
  for (plat::FileTime dayStart = first - day; dayStart < last; dayStart += day) {
    plat::FileTime t = dayStart + 4 * 3600ull * plat::kFileTimePerSecond;
    const plat::FileTime dayEnd = t + day;
    while (t < dayEnd) {
      const ProgrammeTemplate& tmpl = channel.programmes[next % channel.programmes.size()];
      ++next;
      plat::FileTime end = std::min<plat::FileTime>(dayEnd, t + tmpl.minutes * 60ull * plat::kFileTimePerSecond);
      if (end > first && t < last) {
        Programme p;
        p.startUtc = static_cast<plat::FileTime>(static_cast<int64_t>(t) - offset);
        p.durationSeconds = static_cast<uint32_t>((end - t) / plat::kFileTimePerSecond);
        p.tmpl = &tmpl;
        uint64_t startMinutes = p.startUtc / (60ull * plat::kFileTimePerSecond);
        p.id = (channel.serviceId << 16) | static_cast<uint32_t>((startMinutes / 5) % 65535 + 1);
        out.push_back(p);
      }
      t = end;
    }
  }
  return out;
}

}  // namespace zantsim
