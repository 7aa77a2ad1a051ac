// The exports of the companion library kivosetup.dll as the installer and the
// uninstaller call them. The library lies on the distribution medium and is
// not built here; both programs load it by name for each call and free it
// afterwards. Texts are single-byte strings, results integers, and every
// export uses the Windows calling convention (undecorated names).
#pragma once

#include <windows.h>

namespace kivosetup {

inline constexpr char kLibrary[] = "kivosetup.dll";

// Installer, driver step: number of devices installed (> 0 is success).
using InstallPnPDeviceDriverFn = int(WINAPI*)(LPCSTR device_class, LPCSTR inf_path, LPCSTR param5,
                                              LPCSTR provider, LPCSTR param4, int force,
                                              int call_config_mg);
inline constexpr char kInstallPnPDeviceDriver[] = "InstallPnPDeviceDriver";

// Installer, driver step: number of such devices connected.
using GetConnectedDeviceNumberFn = int(WINAPI*)(LPCSTR device_class, LPCSTR param5,
                                                LPCSTR provider);
inline constexpr char kGetConnectedDeviceNumber[] = "GetConnectedDeviceNumber";

// Installer, driver step (9x family): forget a device without class.
using RemoveDeviceFromRegistryFn = int(WINAPI*)(LPCSTR empty, LPCSTR hardware_id);
inline constexpr char kRemoveDeviceFromRegistry[] = "RemoveDeviceFromRegistry";

// Installer, Finish without restart: ask the system to look for devices.
using ReenumerateDeviceWithoutDelayFn = int(WINAPI*)();
inline constexpr char kReenumerateDeviceWithoutDelay[] = "ReenumerateDeviceWithoutDelay";

// Uninstaller: restore one driver of U\RestoreDrivers (called with owner 0
// and flags 0); the result is not used.
using RestoreDeviceDriverFn = int(WINAPI*)(HWND owner, LPCSTR name, LPCSTR data, DWORD flags,
                                           int call_config_mg);
inline constexpr char kRestoreDeviceDriver[] = "RestoreDeviceDriver";

// Uninstaller: remove one driver of U\DeleteDevices (owner 0, flags 0);
// number of device drivers removed.
using RemoveDeviceDriverFn = int(WINAPI*)(HWND owner, LPCSTR name, LPCSTR data, DWORD flags);
inline constexpr char kRemoveDeviceDriver[] = "RemoveDeviceDriver";

}  // namespace kivosetup
