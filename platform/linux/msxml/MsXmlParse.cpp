// Loading text into a libxml2 tree with MSXML 6's secure defaults and white-space handling.
#include <libxml/parser.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <mutex>

#include "MsXmlTree.h"

namespace msxml {

namespace {

constexpr const char* kXmlNamespaceUri = "http://www.w3.org/XML/1998/namespace";

void InitialiseLibxml2Once() {
  static std::once_flag once;
  std::call_once(once, [] { xmlInitParser(); });
}

struct ParserContextDeleter {
  void operator()(xmlParserCtxt* context) const { xmlFreeParserCtxt(context); }
};

// What the parser reported: the first error, or the document type declaration it met.
struct ParseReport {
  bool failed = false;
  int code = 0;
  std::string message;
  LONG line = 0;
  LONG column = 0;
};

ParseReport& ReportOf(void* context) {
  return *static_cast<ParseReport*>(static_cast<xmlParserCtxt*>(context)->_private);
}

void RecordError(void* context, xmlError* error) {
  ParseReport& report = ReportOf(context);
  if (report.failed || error == nullptr || error->level < XML_ERR_ERROR) return;
  report.failed = true;
  report.code = error->code;
  report.message = error->message != nullptr ? error->message : "";
  report.line = error->line;
  report.column = error->int2;
}

// A document type declaration could define entities or fetch an external subset: refuse it
// as soon as its name is read, before anything of it takes effect.
void RefuseDoctype(void* context, const xmlChar* /*name*/, const xmlChar* /*publicId*/,
                   const xmlChar* /*systemId*/) {
  auto* parser = static_cast<xmlParserCtxt*>(context);
  ParseReport& report = ReportOf(context);
  if (!report.failed) {
    report.failed = true;
    report.message = "DTD is prohibited.";
    report.line = parser->input != nullptr ? parser->input->line : 0;
    report.column = parser->input != nullptr ? parser->input->col : 0;
  }
  xmlStopParser(parser);
}

xmlParserInput* RefuseExternalEntity(void* /*context*/, const xmlChar* /*publicId*/,
                                     const xmlChar* /*systemId*/) {
  return nullptr;
}

std::u16string_view LineOf(std::u16string_view text, LONG line) {
  std::size_t lineStart = 0;
  for (LONG current = 1; current < line; ++current) {
    const std::size_t end = text.find(u'\n', lineStart);
    if (end == std::u16string_view::npos) return {};
    lineStart = end + 1;
  }
  std::u16string_view rest = text.substr(std::min(lineStart, text.size()));
  rest = rest.substr(0, rest.find(u'\n'));
  if (!rest.empty() && rest.back() == u'\r') rest.remove_suffix(1);
  return rest;
}

std::u16string Trimmed(std::string_view message) {
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) {
    message.remove_suffix(1);
  }
  return Utf16FromUtf8(message);
}

ParseFailure FailureFrom(const ParseReport& report, std::u16string_view text) {
  ParseFailure failure;
  if (report.code == XML_ERR_DOCUMENT_EMPTY) {
    failure.reason = u"XML document must have a top level element.";
  } else {
    failure.reason = report.message.empty() ? u"The document is not well-formed."
                                            : Trimmed(report.message);
  }
  // MSXML's reasons are sentences that end with a line break.
  failure.reason += u"\r\n";
  failure.line = report.line;
  failure.linepos = report.column;
  failure.srcText = std::u16string(LineOf(text, report.line));
  return failure;
}

// The position of the first UTF-16 unit that is half of a surrogate pair without the other
// half; libxml2 would stop there with a report of its own on stderr.
std::optional<std::size_t> FirstLoneSurrogate(std::u16string_view text) {
  // Blocks below the surrogates, the bulk of any text, are passed over whole: the loop has no
  // early exit, so that the compiler turns it into vector instructions.
  constexpr std::size_t kBlock = 32;
  std::size_t start = 0;
  while (start + kBlock <= text.size()) {
    char16_t highest = 0;
    for (std::size_t k = 0; k < kBlock; ++k) highest = std::max(highest, text[start + k]);
    if (highest >= 0xD800) break;
    start += kBlock;
  }
  for (std::size_t at = start; at < text.size(); ++at) {
    const char16_t unit = text[at];
    if (unit >= 0xD800 && unit <= 0xDBFF && at + 1 < text.size() && text[at + 1] >= 0xDC00 &&
        text[at + 1] <= 0xDFFF) {
      ++at;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      return at;
    }
  }
  return std::nullopt;
}

ParseFailure InvalidCharacterAt(std::u16string_view text, std::size_t offset) {
  const std::u16string_view before = text.substr(0, offset);
  const std::size_t lastBreak = before.rfind(u'\n');
  const std::size_t lineStart = lastBreak == std::u16string_view::npos ? 0 : lastBreak + 1;
  ParseReport report;
  report.failed = true;
  report.message = "An invalid character was found in text content.";
  report.line = static_cast<LONG>(std::count(before.begin(), before.end(), u'\n')) + 1;
  report.column = static_cast<LONG>(offset - lineStart) + 1;
  return FailureFrom(report, text);
}

ParseFailure TooLarge() {
  ParseFailure failure;
  failure.reason = u"The document is too large to load.\r\n";
  return failure;
}

bool IsWhitespaceOnly(const xmlChar* content) {
  if (content == nullptr) return true;
  for (; *content != 0; ++content) {
    if (*content != ' ' && *content != '\t' && *content != '\r' && *content != '\n') return false;
  }
  return true;
}

bool PreservesSpace(xmlNode* element, bool inherited) {
  xmlChar* space = xmlGetNsProp(element, AsXmlChars("space"), AsXmlChars(kXmlNamespaceUri));
  if (space == nullptr) return inherited;
  const bool preserve = xmlStrEqual(space, AsXmlChars("preserve")) != 0;
  const bool reset = xmlStrEqual(space, AsXmlChars("default")) != 0;
  xmlFree(space);
  return preserve || (inherited && !reset);
}

// Removes white-space-only text nodes below element, marking where each one stood. Depth is
// bounded by the parser's nesting limit.
void StripWhitespace(xmlNode* element, bool preserve) {
  preserve = PreservesSpace(element, preserve);
  xmlNode* child = element->children;
  while (child != nullptr) {
    xmlNode* next = child->next;
    if (child->type == XML_ELEMENT_NODE) {
      StripWhitespace(child, preserve);
    } else if (!preserve && child->type == XML_TEXT_NODE && IsWhitespaceOnly(child->content)) {
      MarkWhitespace(next != nullptr ? next : element,
                     next != nullptr ? kSpaceBefore : kSpaceBeforeEndTag);
      xmlUnlinkNode(child);
      xmlFreeNode(child);
    }
    child = next;
  }
}

std::shared_ptr<Tree> NewTree(xmlDoc* doc) {
  auto tree = std::make_shared<Tree>();
  tree->doc.reset(doc);
  return tree;
}

}  // namespace

void MarkWhitespace(xmlNode* node, WhitespaceMark mark) {
  const auto marks = reinterpret_cast<std::uintptr_t>(node->_private);
  node->_private = reinterpret_cast<void*>(marks | mark);
}

bool HasWhitespace(const xmlNode* node, WhitespaceMark mark) {
  return (reinterpret_cast<std::uintptr_t>(node->_private) & mark) != 0;
}

TreePtr EmptyTree() {
  InitialiseLibxml2Once();
  xmlDoc* doc = xmlNewDoc(AsXmlChars("1.0"));
  if (doc == nullptr) throw std::bad_alloc();
  return NewTree(doc);
}

std::variant<TreePtr, ParseFailure> ParseXml(std::u16string_view text) {
  InitialiseLibxml2Once();
  if (text.size() > static_cast<std::size_t>(INT_MAX) / sizeof(char16_t)) return TooLarge();
  if (const auto offset = FirstLoneSurrogate(text)) return InvalidCharacterAt(text, *offset);

  std::unique_ptr<xmlParserCtxt, ParserContextDeleter> parser(xmlNewParserCtxt());
  if (parser == nullptr) throw std::bad_alloc();
  ParseReport report;
  parser->_private = &report;
  parser->sax->serror = RecordError;
  parser->sax->internalSubset = RefuseDoctype;
  parser->sax->externalSubset = nullptr;
  parser->sax->resolveEntity = RefuseExternalEntity;

  // libxml2 parses UTF-8; the text is handed over in it rather than left to libxml2's slower
  // UTF-16 decoder. Without lone surrogates the conversion cannot fail.
  const std::optional<std::string> utf8 = Utf8FromUtf16(text);
  if (!utf8 || utf8->size() > static_cast<std::size_t>(INT_MAX)) return TooLarge();
  // The text is already Unicode: an encoding named in its declaration does not apply.
  constexpr int kOptions = XML_PARSE_NONET | XML_PARSE_IGNORE_ENC;
  std::unique_ptr<xmlDoc, XmlDocDeleter> doc(xmlCtxtReadMemory(
      parser.get(), utf8->data(), static_cast<int>(utf8->size()), nullptr, "UTF-8", kOptions));

  const bool wellFormed = parser->wellFormed != 0 && parser->nsWellFormed != 0;
  xmlNode* root = doc != nullptr ? xmlDocGetRootElement(doc.get()) : nullptr;
  if (report.failed || !wellFormed || root == nullptr) {
    if (!report.failed && doc != nullptr && root == nullptr) report.code = XML_ERR_DOCUMENT_EMPTY;
    return FailureFrom(report, text);
  }
  StripWhitespace(root, false);
  return NewTree(doc.release());
}

}  // namespace msxml
