#include "WebControlMessage.h"

#include "XmlDocument.h"

namespace corvane::service {
namespace {

const xmlChar* Text(const char* text) { return reinterpret_cast<const xmlChar*>(text); }

}  // namespace

std::string BuildWebControlMessage(const MessageSet& set, bool noOperation) {
  const XmlDocPtr doc(xmlNewDoc(Text("1.0")));
  xmlNode* root = xmlNewDocNode(doc.get(), nullptr, Text("WebControlMessage"), nullptr);
  xmlDocSetRootElement(doc.get(), root);
  xmlNewProp(root, Text("Userpref_CheckSum"), Text(set.checksum.c_str()));
  if (noOperation) {
    xmlNewChild(root, nullptr, Text("NoOperation"), nullptr);
  } else {
    const XmlDocPtr messages = ParseXml(set.messagesXml, "messages");
    if (!messages) return {};
    xmlAddChild(root, xmlDocCopyNode(xmlDocGetRootElement(messages.get()), doc.get(), 1));
  }
  return SerializeDocument(doc.get());
}

Answer AnswerFor(const std::optional<MessageSet>& current,
                 const std::optional<std::string>& clientChecksum) {
  if (!current) {
    return {503, "text/plain; charset=utf-8", "no message set available\n",
            "503 no message set available"};
  }
  const bool upToDate = clientChecksum && *clientChecksum == current->checksum;
  Answer answer;
  answer.contentType = "text/xml; charset=utf-8";
  answer.body = BuildWebControlMessage(*current, upToDate);
  answer.summary = upToDate ? "200 NoOperation, checksum " + current->checksum
                            : "200 " + current->fileName + ", checksum " + current->checksum;
  return answer;
}

}  // namespace corvane::service
