// MSXML 6 identifiers and owning pointer typedefs on every target: the DOMDocument60 class
// id, IID_IXMLDOMDocument2, and IXMLDOMDocument2Ptr, IXMLDOMDocumentPtr, IXMLDOMNodePtr,
// IXMLDOMElementPtr, IXMLDOMNodeListPtr, IXMLDOMParseErrorPtr. mingw-w64's and Wine's
// headers and import libraries lack the first two, Wine's headers attach no interface ids
// that __uuidof could read and have no comdef.h, and mingw-w64's comdefsp.h declares none of
// the typedefs. Create documents with CoCreateInstance(CLSID_DOMDocument60, nullptr,
// CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument2, ...) on every target.
#pragma once

#ifdef _WIN32
#  include <windows.h>
#  include <msxml2.h>

extern "C" const CLSID CLSID_DOMDocument60;  // platform/windows/MsXmlGuids.cpp; IID_IXMLDOMDocument2 too

#  define CORVANE_COM_INTERFACE_IDS(ID)                                                     \
  ID(IXMLDOMNode, "2933bf80-7b36-11d2-b20e-00c04f983e60", 0x2933bf80, 0x7b36, 0x11d2, 0xb2, \
     0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60)                                              \
  ID(IXMLDOMDocument, "2933bf81-7b36-11d2-b20e-00c04f983e60", 0x2933bf81, 0x7b36, 0x11d2,   \
     0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60)                                        \
  ID(IXMLDOMElement, "2933bf86-7b36-11d2-b20e-00c04f983e60", 0x2933bf86, 0x7b36, 0x11d2,    \
     0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60)                                        \
  ID(IXMLDOMNodeList, "2933bf82-7b36-11d2-b20e-00c04f983e60", 0x2933bf82, 0x7b36, 0x11d2,   \
     0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60)                                        \
  ID(IXMLDOMDocument2, "2933bf95-7b36-11d2-b20e-00c04f983e60", 0x2933bf95, 0x7b36, 0x11d2,  \
     0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60)                                        \
  ID(IXMLDOMParseError, "3efaa426-272f-11d2-836f-0000f87a7782", 0x3efaa426, 0x272f, 0x11d2, \
     0x83, 0x6f, 0x00, 0x00, 0xf8, 0x7a, 0x77, 0x82)

#  if __has_include(<comdef.h>)
#    include <comdef.h>
#  endif
#  if defined(__MINGW32__)
#    define CORVANE_DECLARE_IID(Interface, text, ...) __CRT_UUID_DECL(Interface, __VA_ARGS__)
CORVANE_COM_INTERFACE_IDS(CORVANE_DECLARE_IID)
#    undef CORVANE_DECLARE_IID
// With GCC, comdefsp.h declares no pointer typedefs at all (USE___UUIDOF is 0).
_COM_SMARTPTR_TYPEDEF(IUnknown, __uuidof(IUnknown));
_COM_SMARTPTR_TYPEDEF(IErrorInfo, __uuidof(IErrorInfo));
_COM_SMARTPTR_TYPEDEF(ISupportErrorInfo, __uuidof(ISupportErrorInfo));
#  elif !__has_include(<comdef.h>)
// Wine's headers: attach the ids by redeclaration, which Microsoft-mode compilers accept.
#    define CORVANE_DECLARE_IID(Interface, text, ...) struct __declspec(uuid(text)) Interface;
CORVANE_COM_INTERFACE_IDS(CORVANE_DECLARE_IID)
struct __declspec(uuid("00000000-0000-0000-c000-000000000046")) IUnknown;
struct __declspec(uuid("1cf2b120-547d-101b-8e65-08002b2bd119")) IErrorInfo;
struct __declspec(uuid("df0b3d60-548f-101b-8e65-08002b2bd119")) ISupportErrorInfo;
#    undef CORVANE_DECLARE_IID
#    include "platform/ComSupport.h"
#  endif
#else
// The interfaces come from platform/linux/MsXml.h; each carries `static constexpr IID iid`.
#  include "platform/ComSupport.h"
#  include "platform/linux/MsXml.h"

inline constexpr CLSID CLSID_DOMDocument60 = {
    0x88d96a05, 0xf192, 0x11d4, {0xa6, 0x5f, 0x00, 0x40, 0x96, 0x32, 0x51, 0xe5}};
inline constexpr IID IID_IXMLDOMDocument2 = IXMLDOMDocument2::iid;
#endif

_COM_SMARTPTR_TYPEDEF(IXMLDOMNode, __uuidof(IXMLDOMNode));
_COM_SMARTPTR_TYPEDEF(IXMLDOMDocument, __uuidof(IXMLDOMDocument));
_COM_SMARTPTR_TYPEDEF(IXMLDOMElement, __uuidof(IXMLDOMElement));
_COM_SMARTPTR_TYPEDEF(IXMLDOMNodeList, __uuidof(IXMLDOMNodeList));
_COM_SMARTPTR_TYPEDEF(IXMLDOMDocument2, __uuidof(IXMLDOMDocument2));
_COM_SMARTPTR_TYPEDEF(IXMLDOMParseError, __uuidof(IXMLDOMParseError));
