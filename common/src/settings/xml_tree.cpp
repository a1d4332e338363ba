#include "xml_tree.h"

#include <climits>
#include <cstring>
#include <mutex>

#include "plat/text.h"

namespace vexo::xml {

void initParser() {
  static std::once_flag once;
  std::call_once(once, [] { xmlInitParser(); });
}

Parsed parseMemory(std::string_view bytes, const char* documentName) {
  initParser();
  Parsed result;
  if (bytes.size() > kMaxFileBytes || bytes.size() > static_cast<size_t>(INT_MAX)) return result;
  xmlParserCtxt* ctxt = xmlNewParserCtxt();
  if (ctxt == nullptr) return result;
  const int options = XML_PARSE_RECOVER | XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
  xmlDoc* doc = xmlCtxtReadMemory(ctxt, bytes.data(), static_cast<int>(bytes.size()), documentName, "UTF-8", options);
  result.wellFormed = doc != nullptr && ctxt->wellFormed != 0;
  result.doc.reset(doc);
  xmlFreeParserCtxt(ctxt);
  return result;
}

bool elementNamed(const xmlNode* node, std::string_view name) {
  if (!isElement(node) || node->name == nullptr) return false;
  const char* n = reinterpret_cast<const char*>(node->name);
  // Never reads past the terminator of either name.
  return ::strnlen(n, name.size() + 1) == name.size() && std::memcmp(n, name.data(), name.size()) == 0;
}

bool elementNamedNoCase(const xmlNode* node, std::string_view name) {
  return isElement(node) && plat::equalsNoCase(nameOf(node), name);
}

xmlNode* firstChildNamed(xmlNode* parent, std::string_view name) {
  for (xmlNode* child = parent->children; child != nullptr; child = child->next)
    if (elementNamed(child, name)) return child;
  return nullptr;
}

bool attributeText(const xmlNode* node, const char* name, std::string_view* value,
                   XmlString* scratch) {
  for (const xmlAttr* attr = node->properties; attr != nullptr; attr = attr->next) {
    if (attr->ns != nullptr || attr->name == nullptr ||
        std::strcmp(reinterpret_cast<const char*>(attr->name), name) != 0)
      continue;
    const xmlNode* part = attr->children;
    if (part == nullptr) {
      *value = std::string_view();
    } else if (part->next == nullptr && part->type == XML_TEXT_NODE) {
      *value = contentOf(part);
    } else {
      // Entity references split the value: join the parts.
      xmlChar* joined = xmlNodeListGetString(node->doc, attr->children, 1);
      scratch->reset(joined);
      *value = joined ? std::string_view(reinterpret_cast<const char*>(joined)) : std::string_view();
    }
    return true;
  }
  return false;
}

}  // namespace vexo::xml
