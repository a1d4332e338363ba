// The installed skins and the open skin documents of the player: reads
// "skins.xml" from the program directory at start, picks the skin named by
// the last-skin setting, opens the shared documents and the main document,
// reloads the main document on a skin or size change, and reads the
// file-type filter lists of the common configuration.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "plat/message.h"
#include "plat/region.h"
#include "plat/text.h"
#include "skin_document.h"

namespace tunora::skin {

inline constexpr int32_t kMaxSkins = 100;
inline constexpr char16_t kSkinsConfigFile[] = u"skins.xml";
inline constexpr char16_t kMainDocumentNormal[] = u"dvbplayerskin1X.xml";
inline constexpr char16_t kMainDocumentDouble[] = u"dvbplayerskin.xml";
// Sent depth first to every window after the main document changed;
// lParam is the new main document.
inline constexpr uint32_t kMsgSkinChanged = plat::kMsgUser + 301;

// The documents, in the order they are opened at start.
enum class SkinDoc {
  CommConfig,
  Main,
  SkinSetup,
  Channel,
  ControlPanel,
  Dialog,
  FileBrowser,
  Setting,
  Playlist,
  Warning,
  Count
};
inline constexpr size_t kSkinDocCount = static_cast<size_t>(SkinDoc::Count);

struct SkinDocInfo {
  SkinDoc doc;
  const char16_t* folder;  // under the skins root; empty for the main document
  const char16_t* file;
  bool required;
};
// The table of documents in opening order.
const std::array<SkinDocInfo, kSkinDocCount>& skinDocTable();

// Where the last skin index lives (the settings store's "/Setting/LastSkin").
// The application passes these in; reset writes and saves.
struct LastSkinSetting {
  std::function<uint32_t()> read;
  std::function<void(uint32_t)> writeAndSave;
};

struct SkinEntry {
  std::string name;       // "SkinsName%d"
  std::string directory;  // "SkinsDir%d"
};

class SkinSet {
 public:
  // programDir: a device directory ending with '\'.
  explicit SkinSet(plat::String16 programDir);
  ~SkinSet();

  // Reads the skin list and opens every document. Returns the number of
  // skins, 0 on failure (no list, no skins, or a required document missing).
  int32_t configure(const LastSkinSetting& lastSkin);

  int32_t skinCount() const { return static_cast<int32_t>(skins_.size()); }
  int32_t fullFunction() const { return fullFunction_; }
  const std::vector<SkinEntry>& skins() const { return skins_; }
  const plat::String16& skinsRoot() const { return skinsRoot_; }
  // skins root + '\' + directory of skin i + '\'; empty for a bad index.
  plat::String16 skinDirectory(int32_t index) const;

  // The open document, or nullptr when an optional one is missing.
  SkinDocument* document(SkinDoc doc) const;
  SkinDocument* main() const { return document(SkinDoc::Main); }

  // Opens the new main document and, only when it loaded, replaces the
  // current one. False leaves the current main document in place.
  bool reloadMain(plat::StringView16 directory, plat::StringView16 fileName);
  void closeAll();

 private:
  plat::String16 programDir_;
  plat::String16 skinsRoot_;
  int32_t fullFunction_ = 0;
  std::vector<SkinEntry> skins_;
  std::array<std::unique_ptr<SkinDocument>, kSkinDocCount> docs_;
};

// File-type filter lists of the common configuration: extensions without
// the dot, each cut to 31 characters, at most 127 per list.
inline constexpr size_t kMaxFilterEntries = 127;
inline constexpr size_t kMaxFilterChars = 31;
struct FileTypeFilters {
  std::vector<plat::String16> video, audio, picture, all;
};
FileTypeFilters readFileTypeFilters(SkinDocument& commConfig);

// A region file (device path) as a region; nullopt for a missing or damaged
// file (the button then stays rectangular).
std::optional<plat::Region> loadRegion(plat::StringView16 devicePath);
// The region file belonging to a state image: everything from the last '.'
// replaced by ".rgn".
plat::String16 regionPathForImage(plat::StringView16 imagePath);

// Sends kMsgSkinChanged to `window` and then, depth first, to every
// descendant (first child, then each next sibling).
void broadcastSkinChanged(plat::Window window, const SkinDocument* mainDocument);

}  // namespace tunora::skin
