// Where the stand-in host is split into the host's DLLs (the Microsoft-ABI Windows build),
// each DLL exports the control functions it defines, so that the others and the control
// library reach them; elsewhere the stand-in is one library and this is empty.
#pragma once

#if defined(_MSC_VER) && defined(HOSTSIM_EXPORTS)
#define HOSTSIM_API __declspec(dllexport)
#else
#define HOSTSIM_API
#endif
