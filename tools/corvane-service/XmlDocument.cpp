#include "XmlDocument.h"

#include <libxml/parser.h>
#include <libxml/xmlsave.h>

namespace corvane::service {
namespace {

struct XmlBufferFree {
  void operator()(xmlBuffer* buffer) const { xmlBufferFree(buffer); }
};

struct XmlCharFree {
  void operator()(xmlChar* text) const { xmlFree(text); }
};

bool HasName(const xmlNode* node, std::string_view name) {
  return node->type == XML_ELEMENT_NODE && node->ns == nullptr &&
         std::string_view(reinterpret_cast<const char*>(node->name)) == name;
}

}  // namespace

XmlDocPtr ParseXml(std::string_view text, const char* url) {
  constexpr int kOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
  return XmlDocPtr(
      xmlReadMemory(text.data(), static_cast<int>(text.size()), url, nullptr, kOptions));
}

std::string SerializeElement(xmlDoc* doc, xmlNode* element) {
  std::unique_ptr<xmlBuffer, XmlBufferFree> buffer(xmlBufferCreate());
  if (!buffer || xmlNodeDump(buffer.get(), doc, element, 0, 0) < 0) return {};
  return std::string(reinterpret_cast<const char*>(xmlBufferContent(buffer.get())),
                     static_cast<std::size_t>(xmlBufferLength(buffer.get())));
}

std::string SerializeDocument(xmlDoc* doc) {
  xmlChar* raw = nullptr;
  int size = 0;
  xmlDocDumpFormatMemoryEnc(doc, &raw, &size, "UTF-8", 0);
  const std::unique_ptr<xmlChar, XmlCharFree> owned(raw);
  if (!owned) return {};
  return std::string(reinterpret_cast<const char*>(owned.get()), static_cast<std::size_t>(size));
}

xmlNode* FindFirstElement(xmlNode* from, std::string_view name) {
  for (xmlNode* node = from; node != nullptr; node = node->next) {
    if (HasName(node, name)) return node;
    if (node->type == XML_ELEMENT_NODE) {
      if (xmlNode* found = FindFirstElement(node->children, name)) return found;
    }
  }
  return nullptr;
}

}  // namespace corvane::service
