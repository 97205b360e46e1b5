// The xml property: a node's markup with its content, as MSXML writes it. Attribute values
// stand in double quotes, markup characters are escaped, other characters (non-ASCII
// included) are written as they are, and line breaks in content are written as CR LF. Where
// white-space-only text was removed on loading, a line break and one tab per nesting level
// below the serialised node stand in for it.
#include <cstring>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

#include "MsXmlTree.h"

namespace msxml {

namespace {

bool IsXmlPrefix(const xmlNs* ns) {
  return ns->prefix != nullptr && xmlStrEqual(ns->prefix, AsXmlChars("xml")) != 0;
}

// The namespaces an element's subtree uses but declares only on an ancestor: serialised on
// their own, the subtree must declare them itself to stay well-formed.
std::vector<const xmlNs*> InheritedNamespaces(const xmlNode* top) {
  std::set<const xmlNs*> declaredInside;
  std::vector<const xmlNs*> used;
  auto use = [&used](const xmlNs* ns) {
    if (ns != nullptr && !IsXmlPrefix(ns)) used.push_back(ns);
  };
  std::vector<const xmlNode*> pending{top};
  while (!pending.empty()) {
    const xmlNode* node = pending.back();
    pending.pop_back();
    if (node->type != XML_ELEMENT_NODE) continue;
    for (const xmlNs* ns = node->nsDef; ns != nullptr; ns = ns->next) declaredInside.insert(ns);
    use(node->ns);
    for (const xmlAttr* a = node->properties; a != nullptr; a = a->next) use(a->ns);
    for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
      pending.push_back(child);
    }
  }
  std::vector<const xmlNs*> inherited;
  std::set<std::u16string> prefixes;
  for (const xmlNs* ns : used) {
    if (declaredInside.contains(ns)) continue;
    if (prefixes.insert(Utf16FromXmlChars(ns->prefix)).second) inherited.push_back(ns);
  }
  return inherited;
}

class Writer {
public:
  std::u16string Take() { return std::move(m_out); }

  void Node(const xmlNode* node, int depth) {
    switch (node->type) {
      case XML_ELEMENT_NODE: Element(node, depth); break;
      case XML_ATTRIBUTE_NODE: Attribute(node); break;
      case XML_TEXT_NODE: Escaped(node->content, false); break;
      case XML_CDATA_SECTION_NODE: Wrapped(u"<![CDATA[", node->content, u"]]>"); break;
      case XML_COMMENT_NODE: Wrapped(u"<!--", node->content, u"-->"); break;
      case XML_ENTITY_REF_NODE: Wrapped(u"&", node->name, u";"); break;
      case XML_PI_NODE: ProcessingInstruction(node); break;
      case XML_DOCUMENT_NODE: Document(node); break;
      default: break;
    }
  }

private:
  void Element(const xmlNode* element, int depth) {
    m_out += u'<';
    m_out += NodeName(element);
    if (depth == 0) {
      for (const xmlNs* ns : InheritedNamespaces(element)) Declaration(ns);
    }
    for (const xmlNs* ns = element->nsDef; ns != nullptr; ns = ns->next) Declaration(ns);
    for (const xmlAttr* attribute = element->properties; attribute != nullptr;
         attribute = attribute->next) {
      m_out += u' ';
      Attribute(reinterpret_cast<const xmlNode*>(attribute));
    }
    const bool spaceBeforeEnd = HasWhitespace(element, kSpaceBeforeEndTag);
    if (element->children == nullptr && !spaceBeforeEnd) {
      m_out += u"/>";
      return;
    }
    m_out += u'>';
    for (const xmlNode* child = element->children; child != nullptr; child = child->next) {
      if (HasWhitespace(child, kSpaceBefore)) LineBreak(depth + 1);
      Node(child, depth + 1);
    }
    if (spaceBeforeEnd) LineBreak(depth);
    m_out += u"</";
    m_out += NodeName(element);
    m_out += u'>';
  }

  void Declaration(const xmlNs* ns) {
    m_out += u" xmlns";
    if (ns->prefix != nullptr) {
      m_out += u':';
      Append(ns->prefix);
    }
    m_out += u"=\"";
    Escaped(ns->href, true);
    m_out += u'"';
  }

  void Attribute(const xmlNode* attribute) {
    m_out += NodeName(attribute);
    m_out += u"=\"";
    xmlChar* value = xmlNodeGetContent(attribute);
    Escaped(value, true);
    xmlFree(value);
    m_out += u'"';
  }

  void ProcessingInstruction(const xmlNode* pi) {
    m_out += u"<?";
    Append(pi->name);
    if (pi->content != nullptr && *pi->content != 0) {
      m_out += u' ';
      Content(pi->content);
    }
    m_out += u"?>";
  }

  // A document: its top-level nodes, each on a line of its own.
  void Document(const xmlNode* document) {
    for (const xmlNode* child = document->children; child != nullptr; child = child->next) {
      Node(child, 0);
      m_out += u"\r\n";
    }
  }

  void Wrapped(std::u16string_view open, const xmlChar* content, std::u16string_view close) {
    m_out += open;
    Content(content);
    m_out += close;
  }

  void Append(const xmlChar* text) {
    if (text != nullptr) AppendUtf16FromUtf8(m_out, reinterpret_cast<const char*>(text));
  }

  void Content(const xmlChar* text) {
    ForEachRun(text, "\n", [this](char) { m_out += u"\r\n"; });
  }

  void LineBreak(int depth) {
    m_out += u"\r\n";
    m_out.append(static_cast<std::size_t>(depth), u'\t');
  }

  // Escapes what would otherwise read as markup; in an attribute value also the quote and
  // the white space that attribute-value normalisation would turn into spaces.
  void Escaped(const xmlChar* text, bool inAttribute) {
    ForEachRun(text, "&<>\"\r\n\t", [this, inAttribute](char c) {
      switch (c) {
        case '&': m_out += u"&amp;"; break;
        case '<': m_out += u"&lt;"; break;
        case '>': m_out += u"&gt;"; break;
        case '\r': m_out += u"&#xD;"; break;
        case '"': m_out += inAttribute ? u"&quot;" : u"\""; break;
        case '\n': m_out += inAttribute ? u"&#xA;" : u"\r\n"; break;
        case '\t': m_out += inAttribute ? u"&#x9;" : u"\t"; break;
        default: break;
      }
    });
  }

  // Appends the text, handing each of the ASCII characters in `special` to `replace` in
  // place of itself; the runs between them are appended as they are. The text ends at its
  // NUL, which lets strcspn find the runs block by block.
  template <class Replace>
  void ForEachRun(const xmlChar* text, const char* special, Replace replace) {
    if (text == nullptr) return;
    const char* rest = reinterpret_cast<const char*>(text);
    while (*rest != '\0') {
      const std::size_t run = std::strcspn(rest, special);
      AppendUtf16FromUtf8(m_out, std::string_view(rest, run));
      if (rest[run] == '\0') break;
      replace(rest[run]);
      rest += run + 1;
    }
  }

  std::u16string m_out;
};

}  // namespace

std::u16string NodeXml(const NodeRef& node) {
  Writer writer;
  writer.Node(node.node, 0);
  return writer.Take();
}

}  // namespace msxml
