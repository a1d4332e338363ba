#include "skin_set.h"

#include <algorithm>

#include "plat/gfx/region_data.h"
#include "plat/window.h"

namespace tunora::skin {

const std::array<SkinDocInfo, kSkinDocCount>& skinDocTable() {
  static const std::array<SkinDocInfo, kSkinDocCount> table = {{
      {SkinDoc::CommConfig, u"common\\comm_config\\", u"comm_config.xml", true},
      {SkinDoc::Main, u"", kMainDocumentNormal, true},
      {SkinDoc::SkinSetup, u"common\\", u"skinsetup.xml", true},
      {SkinDoc::Channel, u"common\\chlist\\", u"channelskin.xml", true},
      {SkinDoc::ControlPanel, u"common\\controlpanel\\", u"controlpanelskin.xml", false},
      {SkinDoc::Dialog, u"common\\dialog\\", u"dialog.xml", true},
      {SkinDoc::FileBrowser, u"common\\FileBrowser\\", u"filebrowserskin.xml", false},
      {SkinDoc::Setting, u"common\\settingwindow\\", u"settingskin.xml", false},
      {SkinDoc::Playlist, u"common\\playlist\\", u"playlistskin.xml", false},
      {SkinDoc::Warning, u"common\\warningwindow\\", u"warning.xml", false},
  }};
  return table;
}

namespace {

plat::String16 withTrailingSeparator(plat::String16 dir) {
  if (dir.empty() || dir.back() != u'\\') dir.push_back(u'\\');
  return dir;
}

}  // namespace

SkinSet::SkinSet(plat::String16 programDir) : programDir_(withTrailingSeparator(std::move(programDir))) {}
SkinSet::~SkinSet() { closeAll(); }

void SkinSet::closeAll() {
  for (auto& d : docs_) d.reset();
}

plat::String16 SkinSet::skinDirectory(int32_t index) const {
  if (index < 0 || index >= skinCount()) return {};
  return skinsRoot_ + u"\\" + plat::utf8ToUtf16(skins_[static_cast<size_t>(index)].directory) + u"\\";
}

SkinDocument* SkinSet::document(SkinDoc doc) const {
  const auto i = static_cast<size_t>(doc);
  return i < docs_.size() ? docs_[i].get() : nullptr;
}

int32_t SkinSet::configure(const LastSkinSetting& lastSkin) {
  closeAll();
  skins_.clear();
  {
    SkinDocument config;
    if (!config.open(programDir_, kSkinsConfigFile)) return 0;
    const std::string dir = config.getString("SkinsConfig", "SkinsDir").value_or("");
    skinsRoot_ = programDir_ + plat::utf8ToUtf16(dir);
    while (!skinsRoot_.empty() && skinsRoot_.back() == u'\\') skinsRoot_.pop_back();
    fullFunction_ = config.getNumber("SkinsConfig", "FullFunction").value_or(0);
    // A count of 0 or less is no skin at all; more than the tables hold is cut.
    const int32_t count = std::min(config.getNumber("SkinsConfig", "SkinsNumber").value_or(0), kMaxSkins);
    if (count <= 0) return 0;
    for (int32_t i = 0; i < count; ++i) {
      SkinEntry e;
      e.directory = config.getString("SkinsConfig", plat::formatString("SkinsDir%d", i)).value_or("");
      e.name = config.getString("SkinsConfig", plat::formatString("SkinsName%d", i)).value_or("");
      skins_.push_back(std::move(e));
    }
  }
  uint32_t last = lastSkin.read ? lastSkin.read() : 0;
  if (last >= static_cast<uint32_t>(skinCount())) {
    last = 0;
    if (lastSkin.writeAndSave) lastSkin.writeAndSave(0);
  }
  for (const SkinDocInfo& info : skinDocTable()) {
    auto doc = std::make_unique<SkinDocument>();
    const plat::String16 dir = info.doc == SkinDoc::Main ? skinDirectory(static_cast<int32_t>(last))
                                                         : skinsRoot_ + u"\\" + info.folder;
    if (!doc->open(dir, info.file)) {
      if (info.required) {
        closeAll();
        return 0;
      }
      continue;
    }
    docs_[static_cast<size_t>(info.doc)] = std::move(doc);
  }
  return skinCount();
}

bool SkinSet::reloadMain(plat::StringView16 directory, plat::StringView16 fileName) {
  auto doc = std::make_unique<SkinDocument>();
  if (!doc->open(directory, fileName)) return false;
  docs_[static_cast<size_t>(SkinDoc::Main)] = std::move(doc);
  return true;
}

FileTypeFilters readFileTypeFilters(SkinDocument& comm) {
  FileTypeFilters f;
  auto readList = [&](const char* section, const char* countKey, const char* itemKey,
                      std::vector<plat::String16>& out) {
    const int32_t n = std::clamp(comm.getNumber(section, countKey).value_or(0), 0,
                                 static_cast<int32_t>(kMaxFilterEntries));
    for (int32_t j = 0; j < n; ++j) {
      const auto v = comm.getString(section, plat::formatString(itemKey, j));
      out.push_back(plat::utf8ToUtf16(v.value_or("")).substr(0, kMaxFilterChars));
    }
  };
  readList("FilterListVideo", "SupportedVideoNum", "VideoType%d", f.video);
  readList("FilterListAudio", "SupportedAudioNum", "AudioType%d", f.audio);
  readList("FilterListPicture", "SupportedPictureNum", "PictureType%d", f.picture);
  for (const auto* list : {&f.video, &f.audio, &f.picture})
    for (const auto& e : *list)
      if (f.all.size() < kMaxFilterEntries) f.all.push_back(e);
  return f;
}

std::optional<plat::Region> loadRegion(plat::StringView16 devicePath) {
  plat::Region region;
  if (plat::failed(plat::loadDeviceRegionFile(devicePath, &region))) return std::nullopt;
  return region;
}

plat::String16 regionPathForImage(plat::StringView16 imagePath) {
  const size_t dot = imagePath.rfind(u'.');
  const size_t sep = imagePath.rfind(u'\\');
  plat::String16 base(imagePath);
  if (dot != plat::StringView16::npos && (sep == plat::StringView16::npos || dot > sep)) base.resize(dot);
  return base + u".rgn";
}

void broadcastSkinChanged(plat::Window window, const SkinDocument* mainDocument) {
  if (!window) return;
  plat::sendMessage(window, kMsgSkinChanged, 0, reinterpret_cast<plat::LParam>(mainDocument));
  for (plat::Window child = plat::firstChild(window); child; child = plat::nextSibling(child))
    broadcastSkinChanged(child, mainDocument);
}

}  // namespace tunora::skin
