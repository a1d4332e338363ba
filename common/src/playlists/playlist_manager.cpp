// The playlist manager, its playlist and item wrappers.
#include <libxml/parser.h>

#include <filesystem>
#include <memory>

#include "plat/file.h"
#include "playlists/playlist_document.h"
#include "vexo/playlist.h"

namespace vexo::playlists {
namespace {

constexpr std::string_view kList = "list";
constexpr std::string_view kItem = "item";
constexpr char kNameAttribute[] = "name";
// Largest "Playlist.xml" read into memory.
constexpr uint64_t kMaxFileBytes = 16ull << 20;

using SharedDocument = std::shared_ptr<PlaylistDocument>;

const xmlChar* attrName() { return reinterpret_cast<const xmlChar*>(kNameAttribute); }

Status copyOut(std::string_view utf8, char16_t* buffer, uint32_t capacity) {
  if (buffer == nullptr || capacity == 0) return plat::E_INVALIDARG;
  plat::String16 text = plat::utf8ToUtf16(utf8);
  plat::copyBounded(buffer, capacity, text);
  return capacity > text.size() ? plat::S_OK : plat::S_FALSE;
}

// Identity-only objects: the playlist interfaces carry no identifier, so
// QueryInterface answers IUnknown alone (McObject skips interfaces without one).
class PlaylistItem final : public McObject<IVexoCmnPlaylistItem> {
 public:
  PlaylistItem(SharedDocument doc, xmlNodePtr node) : doc_(std::move(doc)), node_(node), gen_(doc_->generation()) {}

  Status GetFileName(char16_t* buffer, uint32_t capacity) override {
    if (buffer == nullptr || capacity == 0) return plat::E_INVALIDARG;
    const xmlChar* text = path();
    if (text == nullptr) return plat::E_FAIL;
    std::string_view full = view(text);
    size_t slash = full.rfind('\\');
    return copyOut(slash == std::string_view::npos ? full : full.substr(slash + 1), buffer, capacity);
  }

  Status GetPath(char16_t* buffer, uint32_t capacity) override {
    if (buffer == nullptr || capacity == 0) return plat::E_INVALIDARG;
    const xmlChar* text = path();
    if (text == nullptr) return plat::E_FAIL;
    return copyOut(view(text), buffer, capacity);
  }

 private:
  ~PlaylistItem() override = default;
  const xmlChar* path() const { return doc_->holds(node_, gen_) ? firstText(node_) : nullptr; }

  SharedDocument doc_;
  xmlNodePtr node_;
  uint64_t gen_;
};

IVexoCmnPlaylistItem* newItem(const SharedDocument& doc, xmlNodePtr node) {
  if (node == nullptr) return nullptr;
  auto* item = new (std::nothrow) PlaylistItem(doc, node);
  return item ? item->exposed() : nullptr;
}

class Playlist final : public McObject<IVexoCmnPlaylist> {
 public:
  Playlist(SharedDocument doc, xmlNodePtr node) : doc_(std::move(doc)), node_(node), gen_(doc_->generation()) {}

  Status SetName(const char16_t* name) override {
    if (name == nullptr) return plat::E_INVALIDARG;
    if (!valid()) return plat::E_FAIL;
    plat::StringView16 text(name);
    if (!isXmlText(text)) return plat::E_FAIL;
    return xmlSetProp(node_, attrName(), xml(plat::utf16ToUtf8(text))) ? plat::S_OK : plat::E_FAIL;
  }

  Status GetName(char16_t* buffer, uint32_t capacity) override {
    if (buffer == nullptr || capacity == 0) return plat::E_INVALIDARG;
    if (!valid()) return plat::E_FAIL;
    xmlChar* name = xmlGetProp(node_, attrName());
    if (name == nullptr) return plat::E_FAIL;
    Status s = copyOut(view(name), buffer, capacity);
    xmlFree(name);
    return s;
  }

  uint32_t GetItemCount() override { return valid() ? countChildren(node_, kItem) : 0; }

  IVexoCmnPlaylistItem* FindItem(const char16_t* path, uint32_t* index) override {
    if (path == nullptr || !valid()) return nullptr;
    std::string wanted = plat::utf16ToUtf8(path);
    xmlNodePtr found = nullptr;
    uint32_t foundIndex = 0;
    uint32_t i = 0;
    for (xmlNodePtr c = node_->children; c != nullptr; c = c->next) {
      if (!isElementNamed(c, kItem)) continue;
      const xmlChar* text = firstText(c);
      if (text != nullptr && view(text) == wanted) {  // the last equal item wins
        found = c;
        foundIndex = i;
      }
      ++i;
    }
    IVexoCmnPlaylistItem* item = newItem(doc_, found);
    if (item != nullptr && index != nullptr) *index = foundIndex;
    return item;
  }

  IVexoCmnPlaylistItem* GetItem(uint32_t index) override {
    return valid() ? newItem(doc_, nthChild(node_, kItem, index)) : nullptr;
  }

  Status AddItem(const char16_t* path, uint32_t* index) override {
    if (path == nullptr) return plat::E_INVALIDARG;
    if (!valid()) return plat::E_FAIL;
    plat::StringView16 text(path);
    if (!isXmlText(text)) return plat::E_INVALIDARG;
    // Text children are stored raw and escaped on output ("&" stays "&").
    if (xmlNewTextChild(node_, nullptr, reinterpret_cast<const xmlChar*>("item"), xml(plat::utf16ToUtf8(text))) ==
        nullptr) {
      return plat::E_OUTOFMEMORY;
    }
    if (index != nullptr) *index = countChildren(node_, kItem) - 1;
    return plat::S_OK;
  }

  Status DeleteItem(uint32_t index) override {
    if (!valid()) return plat::E_FAIL;
    if (xmlNodePtr item = nthChild(node_, kItem, index)) doc_->remove(item);
    return plat::S_OK;
  }

  Status MoveItemUp(uint32_t index) override {
    if (!valid()) return plat::E_FAIL;
    xmlNodePtr item = nthChild(node_, kItem, index);
    if (item == nullptr) return plat::E_FAIL;
    if (index == 0) return plat::S_OK;
    xmlNodePtr previous = nthChild(node_, kItem, index - 1);
    return xmlAddPrevSibling(previous, item) ? plat::S_OK : plat::E_FAIL;
  }

  Status MoveItemDown(uint32_t index) override {
    if (!valid()) return plat::E_FAIL;
    xmlNodePtr item = nthChild(node_, kItem, index);
    if (item == nullptr) return plat::E_FAIL;
    xmlNodePtr next = nthChild(node_, kItem, index + 1);
    if (next == nullptr) return plat::S_OK;
    return xmlAddNextSibling(next, item) ? plat::S_OK : plat::E_FAIL;
  }

 private:
  ~Playlist() override = default;
  bool valid() const { return doc_->holds(node_, gen_); }

  SharedDocument doc_;
  xmlNodePtr node_;
  uint64_t gen_;
};

IVexoCmnPlaylist* newPlaylist(const SharedDocument& doc, xmlNodePtr node) {
  if (node == nullptr) return nullptr;
  auto* list = new (std::nothrow) Playlist(doc, node);
  return list ? list->exposed() : nullptr;
}

class PlaylistManager final : public McObject<IVexoCmnPlaylistManager> {
 public:
  explicit PlaylistManager(SharedDocument doc) : doc_(std::move(doc)) {}

  Status FindPlaylist(const char16_t* name, uint32_t* index) override {
    if (name == nullptr || index == nullptr) return plat::E_INVALIDARG;
    xmlNodePtr found = find(name, index);
    return found ? plat::S_OK : plat::E_FAIL;
  }

  IVexoCmnPlaylist* GetPlaylist(uint32_t index) override {
    return doc_->loaded() ? newPlaylist(doc_, nthChild(doc_->root(), kList, index)) : nullptr;
  }

  IVexoCmnPlaylist* GetPlaylistByName(const char16_t* name) override {
    if (name == nullptr || name[0] == 0) return nullptr;
    uint32_t index = 0;
    return newPlaylist(doc_, find(name, &index));
  }

  uint32_t GetPlaylistCount() override {
    return doc_->loaded() ? countChildren(doc_->root(), kList, /*exact=*/true) : 0;
  }

  Status AddPlaylist(const char16_t* name, uint32_t* index) override {
    if (name == nullptr) return plat::E_INVALIDARG;
    if (!doc_->loaded()) return plat::E_FAIL;
    plat::StringView16 text(name);
    if (!isXmlText(text)) return plat::E_INVALIDARG;
    uint32_t existing = 0;
    if (find(name, &existing) != nullptr) {
      if (index != nullptr) *index = existing;
      return plat::S_OK;
    }
    xmlNodePtr list = xmlNewChild(doc_->root(), nullptr, reinterpret_cast<const xmlChar*>("list"), nullptr);
    if (list == nullptr) return plat::E_OUTOFMEMORY;
    if (xmlSetProp(list, attrName(), xml(plat::utf16ToUtf8(text))) == nullptr) {
      doc_->remove(list);
      return plat::E_OUTOFMEMORY;
    }
    if (index != nullptr) *index = countChildren(doc_->root(), kList) - 1;
    return plat::S_OK;
  }

  Status DeletePlaylist(uint32_t index) override {
    if (!doc_->loaded()) return plat::E_FAIL;
    if (xmlNodePtr list = nthChild(doc_->root(), kList, index)) doc_->remove(list);
    return plat::S_OK;
  }

  Status Load(const char16_t* path) override {
    doc_->drop();
    if (path == nullptr || path[0] == 0) return plat::E_INVALIDARG;
    plat::StringView16 devicePath(path);
    if (!plat::fileExists(devicePath)) {
      // A missing file is created empty; the program then seeds it.
      (void)plat::atomicReplace(devicePath, std::string_view());
      return plat::E_FAIL;
    }
    std::string bytes;
    if (plat::failed(plat::readWholeFile(devicePath, &bytes, kMaxFileBytes))) return plat::E_FAIL;
    return doc_->parse(bytes);
  }

  Status Save(const char16_t* path) override {
    if (path == nullptr || path[0] == 0) return plat::E_INVALIDARG;
    if (!doc_->loaded()) return plat::E_FAIL;
    Status s = plat::atomicReplaceWith(plat::StringView16(path), [this](const std::filesystem::path& temp) {
      return doc_->writeTo(temp.c_str());
    });
    return plat::failed(s) ? plat::E_FAIL : plat::S_OK;
  }

 private:
  ~PlaylistManager() override { doc_->drop(); }  // wrappers still held now fail

  // The first playlist named name (ASCII case-insensitive), with its index.
  xmlNodePtr find(const char16_t* name, uint32_t* index) const {
    if (!doc_->loaded()) return nullptr;
    std::string wanted = plat::utf16ToUtf8(name);
    uint32_t i = 0;
    for (xmlNodePtr c = doc_->root()->children; c != nullptr; c = c->next) {
      if (!isElementNamed(c, kList)) continue;
      xmlChar* have = xmlGetProp(c, attrName());
      bool match = have != nullptr && plat::equalsNoCase(view(have), wanted);
      xmlFree(have);
      if (match) {
        *index = i;
        return c;
      }
      ++i;
    }
    return nullptr;
  }

  SharedDocument doc_;
};

}  // namespace
}  // namespace vexo::playlists

extern "C" Status CoCreateVexoCmnPlaylistManager(IVexoCmnPlaylistManager** out) {
  if (out == nullptr) return plat::E_FAIL;
  *out = nullptr;
  xmlInitParser();
  std::shared_ptr<vexo::playlists::PlaylistDocument> doc;
  try {
    doc = std::make_shared<vexo::playlists::PlaylistDocument>();
  } catch (...) {
    return plat::S_OK;
  }
  auto* manager = new (std::nothrow) vexo::playlists::PlaylistManager(std::move(doc));
  if (manager != nullptr) *out = manager->exposed();
  return plat::S_OK;
}
