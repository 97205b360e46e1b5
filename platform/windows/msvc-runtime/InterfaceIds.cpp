// Interface identifiers that an SDK's uuid library would supply; Wine's headers come with
// none that links into a DLL for Windows.
#include <windows.h>

extern "C" const IID IID_ISupportErrorInfo = {
    0xdf0b3d60, 0x548f, 0x101b, {0x8e, 0x65, 0x08, 0x00, 0x2b, 0x2b, 0xd1, 0x19}};
