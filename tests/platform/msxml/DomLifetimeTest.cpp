// Reference counting and threads: nodes outlive their document object, every object goes
// when its last reference goes (checked for leaks under AddressSanitizer), and documents on
// different threads do not disturb each other.
#include <atomic>
#include <thread>
#include <vector>

#include "DomFixture.h"

namespace dom_test {
namespace {

std::string Answer(const std::string& checksum) {
  return "<WebControlMessage Userpref_CheckSum=\"" + checksum +
         "\"><Messages><Message id=\"1\">Hello</Message></Messages></WebControlMessage>";
}

TEST_F(DomTest, NodesStayUsableAfterTheDocumentIsReleasedOrReloaded) {
  const IXMLDOMElementPtr root = LoadRoot(Answer("42"));
  ASSERT_TRUE(root);
  const IXMLDOMNodePtr messages = SelectOne(root, "/WebControlMessage/Messages");
  IXMLDOMNodeListPtr all;
  ASSERT_EQ(root->selectNodes(Bstr("//Message").get(), &all), S_OK);
  ASSERT_TRUE(messages);
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

// One activation's way through an answer, or through text that does not load: whether every
// call gave what it should.
bool Activation(const std::string& checksum, bool broken) {
  IXMLDOMDocument2Ptr document;
  VARIANT_BOOL loaded = VARIANT_FALSE;
  if (CoCreateInstance(CLSID_DOMDocument60, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument2,
                       reinterpret_cast<void**>(&document)) != S_OK ||
      document->loadXML(Bstr(broken ? "<broken>" : Answer(checksum)).get(), &loaded) !=
          (broken ? S_FALSE : S_OK)) {
    return false;
  }
  if (broken) {
    IXMLDOMParseErrorPtr error;
    ATL::CComBSTR reason;
    return document->get_parseError(&error) == S_OK && error->get_reason(&reason) == S_OK;
  }
  IXMLDOMNodePtr node;
  ATL::CComBSTR sum;
  ATL::CComBSTR xml;
  return document->selectSingleNode(Bstr("/*/@Userpref_CheckSum").get(), &node) == S_OK &&
         node->get_text(&sum) == S_OK && Utf8(sum) == checksum &&
         document->selectSingleNode(Bstr("/*/Messages").get(), &node) == S_OK &&
         node->get_xml(&xml) == S_OK;
}

// Many activations on several threads at once, each with its own apartment and documents:
// any object not released shows up as a leak under AddressSanitizer, and libxml2 is
// initialised once underneath.
TEST(DomThreads, RepeatedActivationsOnSeveralThreadsReleaseEverything) {
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&failures, t] {
      if (FAILED(CoInitialize(nullptr))) {
        ++failures;
        return;
      }
      for (int round = 0; round < 100; ++round) {
        if (!Activation(std::to_string(t), round % 3 == 0)) ++failures;
      }
      CoUninitialize();
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
}

}  // namespace
}  // namespace dom_test
