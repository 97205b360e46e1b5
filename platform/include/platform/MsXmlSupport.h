// MSXML 6 identifiers and owning pointer typedefs on both targets: the DOMDocument60 class
// id, IID_IXMLDOMDocument2, and IXMLDOMDocument2Ptr, IXMLDOMDocumentPtr, IXMLDOMNodePtr,
// IXMLDOMElementPtr, IXMLDOMNodeListPtr, IXMLDOMParseErrorPtr. mingw-w64's headers and
// import libraries lack the first two and its comdefsp.h declares none of the typedefs.
// Create documents with CoCreateInstance(CLSID_DOMDocument60, nullptr, CLSCTX_INPROC_SERVER,
// IID_IXMLDOMDocument2, ...) on both targets.
#pragma once

#ifdef _WIN32
#  include <windows.h>
#  include <msxml2.h>
#  include <comdef.h>

extern "C" const CLSID CLSID_DOMDocument60;  // platform/windows/MsXmlGuids.cpp; IID_IXMLDOMDocument2 too

__CRT_UUID_DECL(IXMLDOMNode, 0x2933bf80, 0x7b36, 0x11d2, 0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60)
__CRT_UUID_DECL(IXMLDOMDocument, 0x2933bf81, 0x7b36, 0x11d2, 0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60)
__CRT_UUID_DECL(IXMLDOMElement, 0x2933bf86, 0x7b36, 0x11d2, 0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60)
__CRT_UUID_DECL(IXMLDOMNodeList, 0x2933bf82, 0x7b36, 0x11d2, 0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60)
__CRT_UUID_DECL(IXMLDOMDocument2, 0x2933bf95, 0x7b36, 0x11d2, 0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60)
__CRT_UUID_DECL(IXMLDOMParseError, 0x3efaa426, 0x272f, 0x11d2, 0x83, 0x6f, 0x00, 0x00, 0xf8, 0x7a, 0x77, 0x82)

// With GCC, comdefsp.h declares no pointer typedefs at all (USE___UUIDOF is 0): the COM basics'
// ones are declared here; Linux declares them in ComSupport.h.
_COM_SMARTPTR_TYPEDEF(IUnknown, __uuidof(IUnknown));
_COM_SMARTPTR_TYPEDEF(IErrorInfo, __uuidof(IErrorInfo));
_COM_SMARTPTR_TYPEDEF(ICreateErrorInfo, __uuidof(ICreateErrorInfo));
_COM_SMARTPTR_TYPEDEF(ISupportErrorInfo, __uuidof(ISupportErrorInfo));
#else
// The interfaces come from platform/linux/MsXml.h; each carries `static constexpr IID iid`.
#  include "platform/linux/ComSupport.h"
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
