// The parsed "Playlist.xml" shared by the playlist manager and its wrappers.
//
// Wrappers hold the document by shared pointer and remember the generation
// they were made in. Deleted elements are unlinked and kept until the
// document is dropped, so a wrapper of a deleted element never touches freed
// memory: it sees that its element no longer hangs below the root and fails.
// Dropping the document (reload, failed load, manager released) starts a new
// generation, which invalidates every older wrapper.
#pragma once
#include <libxml/tree.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "plat/status.h"
#include "plat/text.h"

namespace vexo::playlists {

using plat::Status;

class PlaylistDocument {
 public:
  PlaylistDocument() = default;
  PlaylistDocument(const PlaylistDocument&) = delete;
  PlaylistDocument& operator=(const PlaylistDocument&) = delete;
  ~PlaylistDocument() { drop(); }

  // Parses bytes; S_OK when a "Playlist" root (any case) was found.
  Status parse(std::string_view bytes);
  // Frees the document and everything removed from it.
  void drop();
  // Writes the document (UTF-8 with declaration) to a host file.
  Status writeTo(const char* hostPath) const;

  bool loaded() const { return doc_ != nullptr; }
  xmlNodePtr root() const { return root_; }
  uint64_t generation() const { return generation_; }
  // True while node (of generation gen) still hangs below the root.
  bool holds(xmlNodePtr node, uint64_t gen) const;
  // Unlinks node from the tree; it is freed with the document.
  void remove(xmlNodePtr node);

 private:
  xmlDocPtr doc_ = nullptr;
  xmlNodePtr root_ = nullptr;
  uint64_t generation_ = 0;
  std::vector<xmlNodePtr> removed_;
};

// Element helpers. Names match without regard to ASCII case unless exact.
bool isElementNamed(xmlNodePtr node, std::string_view name, bool exact = false);
uint32_t countChildren(xmlNodePtr parent, std::string_view name, bool exact = false);
// The index-th child element of that name, or null.
xmlNodePtr nthChild(xmlNodePtr parent, std::string_view name, uint32_t index);
// The first text (or CDATA) child's content, or null.
const xmlChar* firstText(xmlNodePtr node);
// Whether text holds only characters an XML 1.0 document can carry.
bool isXmlText(plat::StringView16 text);
inline std::string_view view(const xmlChar* s) {
  return s ? std::string_view(reinterpret_cast<const char*>(s)) : std::string_view();
}
inline const xmlChar* xml(const std::string& s) { return reinterpret_cast<const xmlChar*>(s.c_str()); }

}  // namespace vexo::playlists
