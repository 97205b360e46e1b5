// Owning handles for libxml2 documents and the byte buffers it hands out.
#pragma once

#include <libxml/tree.h>

#include <memory>
#include <string>
#include <string_view>

namespace corvane::service {

struct XmlDocFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using XmlDocPtr = std::unique_ptr<xmlDoc, XmlDocFree>;

// Parses without network access, entity substitution or DTD loading; null when the text is
// not well-formed.
XmlDocPtr ParseXml(std::string_view text, const char* url);

// The element with its whole content, as UTF-8 markup without a declaration.
std::string SerializeElement(xmlDoc* doc, xmlNode* element);

// The whole document, UTF-8, with its XML declaration.
std::string SerializeDocument(xmlDoc* doc);

// The first element named `name` in no namespace, in document order below and including
// `from`; null when there is none.
xmlNode* FindFirstElement(xmlNode* from, std::string_view name);

}  // namespace corvane::service
