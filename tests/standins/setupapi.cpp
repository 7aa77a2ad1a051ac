// Test stand-in for the system's setupapi.dll (only the export the driver step
// loads by name): SetupCopyOEMInfA records its call and names the system's
// copy "<Windows>\inf\oem<N>.inf" with N from TAVIX_STANDIN_OEM (default 7);
// it returns TAVIX_STANDIN_SetupCopyOEMInfA (default TRUE).
#include "tests/standins/standin_log.h"

using standin::Number;
using standin::Text;

extern "C" __declspec(dllexport) BOOL WINAPI
    SetupCopyOEMInfA(LPCSTR source, LPCSTR media_location, DWORD media_type, DWORD style,
                     LPSTR dest, DWORD dest_size, PDWORD required_size, LPSTR* component) {
    standin::Record("SetupCopyOEMInfA", Text(source) + "," + Text(media_location) + "," +
                                            Number(media_type) + "," + Number(style) + "," +
                                            (dest ? "buffer" : "null") + "," + Number(dest_size) +
                                            "," + (required_size ? "out" : "null") + "," +
                                            (component ? "out" : "null"));
    if (!standin::Result("SetupCopyOEMInfA", 1))
        return FALSE;
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    char name[MAX_PATH + 32] = {};
    std::snprintf(name, sizeof name, "%s\\inf\\oem%d.inf", windows, standin::Result("OEM", 7));
    const DWORD need = static_cast<DWORD>(std::strlen(name) + 1);
    if (required_size)
        *required_size = need;
    if (dest && dest_size >= need)
        std::memcpy(dest, name, need);
    if (component)
        *component = dest ? std::strrchr(dest, '\\') + 1 : nullptr;
    return TRUE;
}
