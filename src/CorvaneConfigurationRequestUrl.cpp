// The request URL: the service URL of the placement configuration, then one query parameter
// per Ace variable, each name and value percent-encoded.
#include "CorvaneConfiguration.h"
#include "DomQueries.h"
#include "QueryEncoding.h"

namespace {

constexpr const char* kPlacementConfigurationFile = "TSMCnfg.XML";
constexpr const char* kPlacementQuery = "/TSMConfiguration/WebTSMPlacementConfiguration";
constexpr const char* kAceVariableQuery =
    "/TSMConfiguration/WebTSMPlacementConfiguration/AceVariableList/AceVariable";

void AppendEncoded(Util::TString& target, const Util::TString& text) {
  target += corvane::PercentEncode(static_cast<const char*>(text)).c_str();
}

}  // namespace

Util::TString CorvaneConfiguration::BuildRequestURL() {
  const IXMLDOMDocument2Ptr document = LoadLocalDocument(kPlacementConfigurationFile);
  if (!document) {
    return Util::TString();
  }
  corvane::SetXPathSelection(document);
  const IXMLDOMElementPtr root = corvane::DocumentElement(document);
  // The variables are selected below every placement element, the URL from the first one.
  const IXMLDOMNodeListPtr variables = corvane::SelectNodes(root, kAceVariableQuery);
  const IXMLDOMNodePtr placement = corvane::SelectSingleNode(root, kPlacementQuery);
  if (!placement) {
    return m_requestUrl;
  }
  const IXMLDOMNodePtr url = corvane::SelectSingleNode(placement, "@url");
  if (!url) {
    return m_requestUrl;
  }
  m_requestUrl += corvane::NodeText(url);
  m_requestUrl += "?";

  LONG count = 0;
  corvane::RaiseOnFailure(variables->get_length(&count), variables.GetInterfacePtr());
  for (LONG position = 0; position < count; ++position) {
    IXMLDOMNodePtr variable;
    corvane::RaiseOnFailure(variables->nextNode(&variable), variables.GetInterfacePtr());
    if (!variable) {
      continue;
    }
    const IXMLDOMNodePtr nameNode = corvane::SelectSingleNode(variable, "@name");
    if (!nameNode) {
      continue;
    }
    const Util::TString name = corvane::NodeText(nameNode);
    const Util::TString value = GetAceVariableValueForNode(name);

    // The separator goes by list position, so a leading element without a name still
    // leaves its follower's "&" in place.
    Util::TString pair;
    if (position > 0) {
      pair += "&";
    }
    const IXMLDOMNodePtr parameterNode = corvane::SelectSingleNode(variable, "@parameterName");
    AppendEncoded(pair, parameterNode ? corvane::NodeText(parameterNode) : name);
    pair += "=";
    AppendEncoded(pair, value);
    m_requestUrl += pair;
  }
  return m_requestUrl;
}
