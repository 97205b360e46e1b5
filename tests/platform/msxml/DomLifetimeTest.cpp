// Reference counting and threads: nodes outlive their document object, every object goes
// when its last reference goes (checked for leaks under AddressSanitizer), and documents on
// different threads do not disturb each other.
#include <atomic>
#include <thread>
#include <vector>

#include "DomFixture.h"

namespace dom_test {
namespace {

constexpr const char* kAnswer =
    "<WebControlMessage Userpref_CheckSum=\"42\">"
    "<Messages><Message id=\"1\">Hello</Message></Messages>"
    "</WebControlMessage>";

TEST_F(DomTest, ReferenceCountsRiseAndFallWithAddRefAndRelease) {
  IXMLDOMDocument2* raw = m_document.GetInterfacePtr();
  EXPECT_EQ(raw->AddRef(), 2U);
  EXPECT_EQ(raw->Release(), 1U);
  IUnknown* unknown = nullptr;
  ASSERT_EQ(raw->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
  EXPECT_EQ(unknown->Release(), 1U);
  IXMLDOMNodeList* wrong = nullptr;
  EXPECT_EQ(raw->QueryInterface(IID_IXMLDOMNodeList, reinterpret_cast<void**>(&wrong)),
            E_NOINTERFACE);
  EXPECT_EQ(wrong, nullptr);
}

TEST_F(DomTest, NodesStayUsableAfterTheDocumentIsReleasedOrReloaded) {
  const IXMLDOMElementPtr root = LoadRoot(kAnswer);
  ASSERT_TRUE(root);
  const IXMLDOMNodePtr messages = SelectOne(root, "/WebControlMessage/Messages");
  const IXMLDOMNodeListPtr all = SelectAll(root, "//Message");
  ASSERT_TRUE(messages);
  ASSERT_TRUE(all);
  ASSERT_EQ(Load("<other/>"), S_OK);
  m_document = nullptr;
  EXPECT_EQ(Xml(messages), PlatformExpectation(
                               "<Messages><Message id=\"1\">Hello</Message></Messages>",
                               "<Messages>\r\n\t<Message id=\"1\">Hello</Message>\r\n</Messages>"));
  EXPECT_EQ(Text(SelectOne(root, "@Userpref_CheckSum")), "42");
  IXMLDOMNodePtr first;
  EXPECT_EQ(all->nextNode(&first), S_OK);
  ASSERT_TRUE(first);
  EXPECT_EQ(Text(first), "Hello");
}

// The module's way through an answer, many times over, on several threads at once, each with
// its own apartment and documents: any object not released shows up as a leak under
// AddressSanitizer, and libxml2 is initialised once underneath.
TEST(DomThreads, RepeatedActivationsOnSeveralThreadsReleaseEverything) {
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&failures, t] {
      if (FAILED(CoInitialize(nullptr))) {
        ++failures;
        return;
      }
      const std::string checksum = std::to_string(t);
      const std::string answer = "<WebControlMessage Userpref_CheckSum=\"" + checksum +
                                 "\"><Messages><Message id=\"1\">Hello</Message></Messages>"
                                 "</WebControlMessage>";
      for (int round = 0; round < 100; ++round) {
        IXMLDOMDocument2Ptr document = NewDocument();
        const Bstr text(round % 3 == 0 ? std::string("<broken>") : answer);
        VARIANT_BOOL loaded = VARIANT_FALSE;
        if (!document || document->loadXML(text.get(), &loaded) == S_FALSE) {
          IXMLDOMParseErrorPtr error;
          Bstr reason;
          if (!document || document->get_parseError(&error) != S_OK ||
              error->get_reason(reason.out()) != S_OK || round % 3 != 0) {
            ++failures;
          }
          continue;
        }
        const Bstr sum("/WebControlMessage/@Userpref_CheckSum");
        const Bstr path("/WebControlMessage/Messages");
        IXMLDOMNodePtr node;
        IXMLDOMNodePtr messages;
        Bstr xml;
        if (document->selectSingleNode(sum.get(), &node) != S_OK || Text(node) != checksum ||
            document->selectSingleNode(path.get(), &messages) != S_OK ||
            messages->get_xml(xml.out()) != S_OK) {
          ++failures;
        }
      }
      CoUninitialize();
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
}

}  // namespace
}  // namespace dom_test
