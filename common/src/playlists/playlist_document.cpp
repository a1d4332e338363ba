#include "playlists/playlist_document.h"

#include <libxml/parser.h>
#include <libxml/xmlsave.h>

#include <climits>

namespace vexo::playlists {

Status PlaylistDocument::parse(std::string_view bytes) {
  drop();
  if (bytes.empty() || bytes.size() > static_cast<size_t>(INT_MAX)) return plat::E_FAIL;
  // Recover from damage as far as the parser can; never reach the network.
  const int options = XML_PARSE_RECOVER | XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
  xmlDocPtr doc = xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), "playlist.xml", "UTF-8", options);
  if (doc == nullptr) return plat::E_FAIL;
  xmlNodePtr root = nullptr;
  for (xmlNodePtr n = xmlDocGetRootElement(doc); n != nullptr; n = n->next) {
    if (isElementNamed(n, "Playlist")) {
      root = n;
      break;
    }
  }
  if (root == nullptr) {
    xmlFreeDoc(doc);
    return plat::E_FAIL;
  }
  doc_ = doc;
  root_ = root;
  return plat::S_OK;
}

void PlaylistDocument::drop() {
  for (xmlNodePtr n : removed_) xmlFreeNode(n);
  removed_.clear();
  if (doc_ != nullptr) xmlFreeDoc(doc_);
  doc_ = nullptr;
  root_ = nullptr;
  ++generation_;
}

Status PlaylistDocument::writeTo(const char* hostPath) const {
  if (doc_ == nullptr) return plat::E_FAIL;
  return xmlSaveFileEnc(hostPath, doc_, "UTF-8") < 0 ? plat::E_FAIL : plat::S_OK;
}

bool PlaylistDocument::holds(xmlNodePtr node, uint64_t gen) const {
  if (doc_ == nullptr || gen != generation_ || node == nullptr) return false;
  for (xmlNodePtr n = node; n != nullptr; n = n->parent) {
    if (n == root_) return true;
  }
  return false;
}

void PlaylistDocument::remove(xmlNodePtr node) {
  xmlUnlinkNode(node);
  try {
    removed_.push_back(node);
  } catch (...) {
    // Without room to keep it, free it now: a wrapper of this element would
    // then be unsafe, but losing memory silently is no better.
    xmlFreeNode(node);
  }
}

bool isElementNamed(xmlNodePtr node, std::string_view name, bool exact) {
  if (node == nullptr || node->type != XML_ELEMENT_NODE) return false;
  std::string_view have = view(node->name);
  return exact ? have == name : plat::equalsNoCase(have, name);
}

uint32_t countChildren(xmlNodePtr parent, std::string_view name, bool exact) {
  uint32_t count = 0;
  if (parent == nullptr) return 0;
  for (xmlNodePtr c = parent->children; c != nullptr; c = c->next) count += isElementNamed(c, name, exact);
  return count;
}

xmlNodePtr nthChild(xmlNodePtr parent, std::string_view name, uint32_t index) {
  if (parent == nullptr) return nullptr;
  uint32_t seen = 0;
  for (xmlNodePtr c = parent->children; c != nullptr; c = c->next) {
    if (!isElementNamed(c, name)) continue;
    if (seen == index) return c;
    ++seen;
  }
  return nullptr;
}

const xmlChar* firstText(xmlNodePtr node) {
  if (node == nullptr) return nullptr;
  for (xmlNodePtr c = node->children; c != nullptr; c = c->next) {
    if (c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE) return c->content;
  }
  return nullptr;
}

bool isXmlText(plat::StringView16 text) {
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c == 0x9 || c == 0xA || c == 0xD) continue;
    if (c < 0x20 || c == 0xFFFE || c == 0xFFFF) return false;
    if (c >= 0xD800 && c <= 0xDBFF) {  // a high surrogate needs its low half
      if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
      ++i;
      continue;
    }
    if (c >= 0xDC00 && c <= 0xDFFF) return false;
  }
  return true;
}

}  // namespace vexo::playlists
