// Small helpers over libxml2 shared by the settings store and the string table:
// a silent, recovering parse from memory that tells whether the input was
// well-formed, and name and text access that does not allocate.
#pragma once
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstddef>
#include <memory>
#include <string_view>

namespace vexo::xml {

struct DocFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocFree>;
struct XmlCharFree {
  void operator()(xmlChar* text) const { xmlFree(text); }
};
using XmlString = std::unique_ptr<xmlChar, XmlCharFree>;

// Largest file either store reads; anything larger is not one of ours.
inline constexpr size_t kMaxFileBytes = 16u << 20;

struct Parsed {
  DocPtr doc;               // null when nothing could be recovered
  bool wellFormed = false;  // no error at all was met
};

// Initialises the parser once per process (safe to call from any thread).
void initParser();

// Parses UTF-8 bytes from memory with recovery from errors. No network access,
// no external DTD and no entity substitution; errors are not printed.
Parsed parseMemory(std::string_view bytes, const char* documentName);

inline std::string_view nameOf(const xmlNode* node) {
  return node->name ? std::string_view(reinterpret_cast<const char*>(node->name)) : std::string_view();
}
inline bool isElement(const xmlNode* node) { return node->type == XML_ELEMENT_NODE; }
// Exact, whole-name comparison.
bool elementNamed(const xmlNode* node, std::string_view name);
bool elementNamedNoCase(const xmlNode* node, std::string_view name);

// The first child element with exactly this name, or null.
xmlNode* firstChildNamed(xmlNode* parent, std::string_view name);

// The text of an attribute without a namespace; false when it is missing.
// *scratch keeps an allocated copy alive when the value is split into parts.
bool attributeText(const xmlNode* node, const char* name, std::string_view* value,
                   XmlString* scratch);

inline bool isTextNode(const xmlNode* node) {
  return node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE;
}
inline std::string_view contentOf(const xmlNode* node) {
  return node->content ? std::string_view(reinterpret_cast<const char*>(node->content)) : std::string_view();
}

}  // namespace vexo::xml
