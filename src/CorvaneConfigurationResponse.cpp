// The service's answer: a WebControlMessage document whose message set and checksum are
// stored together, or nothing is stored.
#include "BstrText.h"
#include "ComApartment.h"
#include "CorvaneConfiguration.h"
#include "DomQueries.h"

void CorvaneConfiguration::ProcessResponse(const Util::TString& body) {
  ATL::CComBSTR text = corvane::NarrowToBstr(body);
  // Declared first, so that every document object below is released before COM goes.
  const corvane::ComApartment apartment;

  IXMLDOMDocument2Ptr document;
  static_cast<void>(Util::MSXML_XML::CreateDOMDocument(&document));
  if (!document) {
    _com_issue_error(E_POINTER);
  }
  static_cast<void>(document->put_async(VARIANT_FALSE));
  LoadIntoXML(text, document);
  if (!document) {
    return;
  }

  corvane::SetXPathSelection(document);
  const IXMLDOMElementPtr root = corvane::DocumentElement(document);
  const IXMLDOMNodePtr messages = corvane::SelectSingleNode(root, "/WebControlMessage/Messages");
  // Another root, or the root in a namespace: not an answer of this service.
  const IXMLDOMNodePtr answer = corvane::SelectSingleNode(root, "/WebControlMessage");
  if (!answer) {
    return;
  }
  const IXMLDOMNodePtr checksumNode = corvane::SelectSingleNode(answer, "@Userpref_CheckSum");
  if (!checksumNode || !messages) {
    return;
  }
  StoreMessageFile(corvane::NodeText(checksumNode), messages);
}
