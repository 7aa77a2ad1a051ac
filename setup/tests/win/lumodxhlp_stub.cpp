// Test stand-in for the DirectX version library: GetDXVersion reports the
// number in the environment variable TAVIX_TEST_DXVERSION (0 when unset).
#include <windows.h>

#include <cstdlib>

extern "C" __declspec(dllexport) unsigned long WINAPI GetDXVersion() {
    char buf[32] = {};
    const DWORD n = GetEnvironmentVariableA("TAVIX_TEST_DXVERSION", buf, sizeof buf);
    return n > 0 && n < sizeof buf ? std::strtoul(buf, nullptr, 0) : 0;
}
