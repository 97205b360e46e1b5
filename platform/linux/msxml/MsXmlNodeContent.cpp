// A node's type, name and text, as the DOM reports them.
#include "MsXmlTree.h"

namespace msxml {

namespace {

struct XmlCharsDeleter {
  void operator()(xmlChar* text) const { xmlFree(text); }
};
using OwnedXmlChars = std::unique_ptr<xmlChar, XmlCharsDeleter>;

bool IsXmlWhitespace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

std::u16string TrimmedWhitespace(std::u16string text) {
  std::size_t begin = 0;
  while (begin < text.size() && IsXmlWhitespace(text[begin])) ++begin;
  std::size_t end = text.size();
  while (end > begin && IsXmlWhitespace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

bool InPreservedSpace(const NodeRef& node) { return xmlNodeGetSpacePreserve(node.node) == 1; }

// The text of the descendants in document order; where white space was removed on loading a
// single space stands in for it, so that the texts of neighbouring elements stay apart.
void AppendDescendantText(const xmlNode* parent, std::u16string& out) {
  for (const xmlNode* child = parent->children; child != nullptr; child = child->next) {
    if (HasWhitespace(child, kSpaceBefore)) out += u' ';
    switch (child->type) {
      case XML_TEXT_NODE:
      case XML_CDATA_SECTION_NODE:
        out += Utf16FromXmlChars(child->content);
        break;
      case XML_ELEMENT_NODE:
        AppendDescendantText(child, out);
        break;
      default:
        break;
    }
  }
  if (parent->type == XML_ELEMENT_NODE && HasWhitespace(parent, kSpaceBeforeEndTag)) out += u' ';
}

}  // namespace

std::u16string NodeName(const xmlNode* node) {
  switch (node->type) {
    case XML_ELEMENT_NODE:
    case XML_ATTRIBUTE_NODE: {
      std::u16string name;
      if (node->ns != nullptr && node->ns->prefix != nullptr) {
        name = Utf16FromXmlChars(node->ns->prefix) + u':';
      }
      return name + Utf16FromXmlChars(node->name);
    }
    case XML_PI_NODE:
    case XML_ENTITY_REF_NODE: return Utf16FromXmlChars(node->name);
    case XML_TEXT_NODE: return u"#text";
    case XML_CDATA_SECTION_NODE: return u"#cdata-section";
    case XML_COMMENT_NODE: return u"#comment";
    case XML_DOCUMENT_NODE: return u"#document";
    default: return {};
  }
}

std::u16string NodeText(const NodeRef& node) {
  const xmlNode* target = node.node;
  if (target->type != XML_ELEMENT_NODE && target->type != XML_DOCUMENT_NODE) {
    const OwnedXmlChars content(xmlNodeGetContent(target));
    return Utf16FromXmlChars(content.get());
  }
  std::u16string text;
  AppendDescendantText(target, text);
  // Without preserved white space the text loses its leading and trailing white space.
  return InPreservedSpace(node) ? text : TrimmedWhitespace(std::move(text));
}

}  // namespace msxml
