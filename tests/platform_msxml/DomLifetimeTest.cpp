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

  EXPECT_EQ(Xml(messages),
            PlatformExpectation("<Messages><Message id=\"1\">Hello</Message></Messages>",
                                "<Messages>\r\n\t<Message id=\"1\">Hello</Message>\r\n</Messages>"));
  const IXMLDOMNodePtr checksum = SelectOne(root, "@Userpref_CheckSum");
  ASSERT_TRUE(checksum);
  EXPECT_EQ(Text(checksum), "42");
  IXMLDOMNodePtr first;
  EXPECT_EQ(all->nextNode(&first), S_OK);
  ASSERT_TRUE(first);
  EXPECT_EQ(Text(first), "Hello");
}

// The module's way through an answer, many times over: any object not released shows up as a
// leak under AddressSanitizer.
TEST_F(DomTest, RepeatedActivationsReleaseEverything) {
  for (int round = 0; round < 300; ++round) {
    IXMLDOMDocument2Ptr document = NewDocument();
    ASSERT_TRUE(document);
    const Bstr text(round % 3 == 0 ? "<broken>" : kAnswer);
    VARIANT_BOOL loaded = VARIANT_FALSE;
    if (document->loadXML(text.get(), &loaded) != S_OK) {
      IXMLDOMParseErrorPtr error;
      ASSERT_EQ(document->get_parseError(&error), S_OK);
      Bstr reason;
      static_cast<void>(error->get_reason(reason.out()));
      continue;
    }
    IXMLDOMElementPtr root;
    ASSERT_EQ(document->get_documentElement(&root), S_OK);
    const Bstr query("/WebControlMessage/Messages");
    IXMLDOMNodePtr messages;
    ASSERT_EQ(root->selectSingleNode(query.get(), &messages), S_OK);
    Bstr xml;
    ASSERT_EQ(messages->get_xml(xml.out()), S_OK);
  }
}

// Each thread has its own apartment and documents; libxml2 is initialised once underneath.
TEST(DomThreads, DocumentsOnSeveralThreadsAtOnce) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 100;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&failures, t] {
      if (FAILED(CoInitialize(nullptr))) {
        ++failures;
        return;
      }
      {
        const std::string checksum = std::to_string(t);
        const std::string answer = "<WebControlMessage Userpref_CheckSum=\"" + checksum +
                                   "\"><Messages/></WebControlMessage>";
        for (int round = 0; round < kRounds; ++round) {
          IXMLDOMDocument2Ptr document = NewDocument();
          const Bstr text(answer);
          VARIANT_BOOL loaded = VARIANT_FALSE;
          const Bstr query("/WebControlMessage/@Userpref_CheckSum");
          IXMLDOMNodePtr node;
          if (!document || document->loadXML(text.get(), &loaded) != S_OK ||
              document->selectSingleNode(query.get(), &node) != S_OK || Text(node) != checksum) {
            ++failures;
          }
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
