// The module's single worker object. Its member operations do all the work of an
// activation; they are spread over the CorvaneConfiguration*.cpp files by concern.
#pragma once

#include <cstdint>

#include "InternetHandle.h"
#include "TString.h"
#include "host/KXUtilities.h"
#include "platform/Win32Api.h"

class CorvaneConfiguration {
 public:
  static constexpr int kCheckSumSize = 101;
  static constexpr unsigned kReadBufferSize = 2048;
  static constexpr unsigned kReadChunk = kReadBufferSize - 1;
  static constexpr unsigned kMaxReadsPerAnswer = 25;

  static CorvaneConfiguration* GetInstance();
  virtual ~CorvaneConfiguration();

  CorvaneConfiguration(const CorvaneConfiguration&) = delete;
  CorvaneConfiguration& operator=(const CorvaneConfiguration&) = delete;

  // Handshake and request driver.
  void TSMFirstHandShake();
  void LoadURLAndSendWebRequest();

  // Local XML documents.
  static Util::TString GetPlacementConfigurationFilePath(const Util::TString& fileName);
  IXMLDOMDocument2Ptr LoadLocalDocument(const Util::TString& fileName);
  void LoadIntoXML(ATL::CComBSTR& text, IXMLDOMDocument2Ptr& document);

  // Request building.
  Util::TString GetAceVariableValueForNode(const Util::TString& name);
  Util::TString VariantToString(Util::Variant value);
  Util::TString BuildRequestURL();

  // HTTP exchange.
  void SendRequestAndGetResponse(const Util::TString& url);
  bool DoInternetConnect();
  bool DoHttpOpenRequest();
  void DoHttpSendRequest();
  void CloseInternetHandles();
  // A completion that WinINet reported for the exchange with this context: read on when it
  // is the open exchange's, end the exchange when its queued read failed, else ignore it.
  void OnRequestComplete(DWORD_PTR exchange, bool failed, DWORD error);
  void ReadResponse();

  // Answer processing and the message store.
  void ProcessResponse(const Util::TString& body);
  void StoreMessageFile(const Util::TString& checksum, IXMLDOMNode* messages);
  void SaveXMF(const Util::TString& checksum);

  // Read-only views for diagnostics and tests.
  const char* CheckSum() const { return m_checkSum; }
  const Util::TString& RequestUrl() const { return m_requestUrl; }
  HINTERNET SessionHandle() const { return m_hSession.get(); }
  HINTERNET ConnectHandle() const { return m_hConnect.get(); }
  HINTERNET RequestHandle() const { return m_hRequest.get(); }
  std::uint32_t ResponseComplete() const { return m_responseComplete; }
  DWORD_PTR RequestContext() const { return m_requestContext; }

 private:
  CorvaneConfiguration();

  char m_checkSum[kCheckSumSize];
  Util::TString m_requestUrl;
  std::uint32_t m_serviceType;
  CStringA m_serverName;
  CStringA m_objectName;
  InternetHandle m_hConnect;
  InternetHandle m_hRequest;
  INTERNET_PORT m_port;
  InternetHandle m_hSession;
  std::uint32_t m_responseComplete;
  // The open exchange's context (0 while none is open) and the last one given out.
  DWORD_PTR m_requestContext;
  DWORD_PTR m_lastRequestContext;

  // Exchange bookkeeping shared by the session and the reading passes.
  void ForgetAnswer();
  bool TakeReadResult(DWORD& delivered);
  void AppendChunk(DWORD delivered);

  // The answer being read. WinINet may complete a queued read into the record and the buffer
  // after the reading pass that started it has ended, so both, the text gathered so far, the
  // read count and the mark of the queued read belong to the worker and carry over into the
  // pass that the completion starts.
  INTERNET_BUFFERSA m_readRecord;
  char m_readBuffer[kReadBufferSize];
  Util::TString m_answerText;
  unsigned m_readCount;
  bool m_readQueued;
};
