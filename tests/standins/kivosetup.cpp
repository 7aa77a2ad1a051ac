// Test stand-in for the companion library kivosetup.dll: every export records
// its call; results come from the environment (standin_log.h).
#include "ui/kivosetup.h"
#include "tests/standins/standin_log.h"

using standin::Number;
using standin::Text;

extern "C" {

__declspec(dllexport) int WINAPI
    InstallPnPDeviceDriver(LPCSTR device_class, LPCSTR inf_path, LPCSTR param5, LPCSTR provider,
                           LPCSTR param4, int force, int call_config_mg) {
    standin::Record("InstallPnPDeviceDriver", Text(device_class) + "," + Text(inf_path) + "," +
                                                  Text(param5) + "," + Text(provider) + "," +
                                                  Text(param4) + "," + Number(force) + "," +
                                                  Number(call_config_mg));
    return standin::Result("InstallPnPDeviceDriver", 1);
}

__declspec(dllexport) int WINAPI
    GetConnectedDeviceNumber(LPCSTR device_class, LPCSTR param5, LPCSTR provider) {
    standin::Record("GetConnectedDeviceNumber",
                    Text(device_class) + "," + Text(param5) + "," + Text(provider));
    return standin::Result("GetConnectedDeviceNumber", 1);
}

__declspec(dllexport) int WINAPI RemoveDeviceFromRegistry(LPCSTR empty, LPCSTR hardware_id) {
    standin::Record("RemoveDeviceFromRegistry", Text(empty) + "," + Text(hardware_id));
    return standin::Result("RemoveDeviceFromRegistry", 0);
}

__declspec(dllexport) int WINAPI ReenumerateDeviceWithoutDelay() {
    standin::Record("ReenumerateDeviceWithoutDelay", "");
    return standin::Result("ReenumerateDeviceWithoutDelay", 0);
}

__declspec(dllexport) int WINAPI
    RestoreDeviceDriver(HWND owner, LPCSTR name, LPCSTR data, DWORD flags, int call_config_mg) {
    standin::Record("RestoreDeviceDriver", Number(reinterpret_cast<LONG_PTR>(owner)) + "," +
                                               Text(name) + "," + Text(data) + "," + Number(flags) +
                                               "," + Number(call_config_mg));
    return standin::Result("RestoreDeviceDriver", 0);
}

__declspec(dllexport) int WINAPI
    RemoveDeviceDriver(HWND owner, LPCSTR name, LPCSTR data, DWORD flags) {
    standin::Record("RemoveDeviceDriver", Number(reinterpret_cast<LONG_PTR>(owner)) + "," +
                                              Text(name) + "," + Text(data) + "," + Number(flags));
    return standin::Result("RemoveDeviceDriver", 1);
}

}  // extern "C"

// The types the programs call through must match these exports.
[[maybe_unused]] static const kivosetup::InstallPnPDeviceDriverFn kCheck1 = &InstallPnPDeviceDriver;
[[maybe_unused]] static const kivosetup::GetConnectedDeviceNumberFn kCheck2 =
    &GetConnectedDeviceNumber;
[[maybe_unused]] static const kivosetup::RemoveDeviceFromRegistryFn kCheck3 =
    &RemoveDeviceFromRegistry;
[[maybe_unused]] static const kivosetup::ReenumerateDeviceWithoutDelayFn kCheck4 =
    &ReenumerateDeviceWithoutDelay;
[[maybe_unused]] static const kivosetup::RestoreDeviceDriverFn kCheck5 = &RestoreDeviceDriver;
[[maybe_unused]] static const kivosetup::RemoveDeviceDriverFn kCheck6 = &RemoveDeviceDriver;
