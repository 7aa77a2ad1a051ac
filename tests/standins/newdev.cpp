// Test stand-in for the system's newdev.dll: UpdateDriverForPlugAndPlayDevicesA
// records its call, reports a restart when TAVIX_STANDIN_REBOOT is 1 and
// returns TAVIX_STANDIN_UpdateDriverForPlugAndPlayDevicesA (default TRUE).
#include "tests/standins/standin_log.h"

using standin::Number;
using standin::Text;

extern "C" __declspec(dllexport) BOOL WINAPI
    UpdateDriverForPlugAndPlayDevicesA(HWND owner, LPCSTR hardware_id, LPCSTR inf_path, DWORD flags,
                                       PBOOL reboot) {
    standin::Record("UpdateDriverForPlugAndPlayDevicesA",
                    Number(reinterpret_cast<LONG_PTR>(owner)) + "," + Text(hardware_id) + "," +
                        Text(inf_path) + "," + Number(flags) + "," + (reboot ? "out" : "null"));
    if (reboot)
        *reboot = standin::Result("REBOOT", 0) ? TRUE : FALSE;
    return standin::Result("UpdateDriverForPlugAndPlayDevicesA", 1) ? TRUE : FALSE;
}
