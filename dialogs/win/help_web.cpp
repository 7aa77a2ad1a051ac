#include "dialogs/win/help_web.h"

#include <shellapi.h>

#include <string>

#include "dialogs/rules/help_web.h"
#include "ui/dialog.h"

namespace {

// The locale identifier as the registry keeps it ("00000407"), or empty.
std::string UserLocale() {
    const bool nt = (GetVersion() & 0x80000000u) == 0;
    HKEY key;
    const wchar_t* path =
        nt ? L"Control Panel\\International" : L"Control Panel\\Desktop\\ResourceLocale";
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {};
    char value[9] = {};  // eight characters and the terminator
    DWORD size = sizeof value, type = 0;
    const LONG r = RegQueryValueExA(key, nt ? "Locale" : nullptr, nullptr, &type,
                                    reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (r != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    value[8] = '\0';
    return value;
}

}  // namespace

void ShowHelp(HWND owner) {
    wchar_t program[256] = {};
    const DWORD n = GetModuleFileNameW(nullptr, program, 255);
    std::wstring folder(program, n);
    const size_t slash = folder.rfind(L'\\');
    folder.resize(slash == std::wstring::npos ? 0 : slash + 1);
    const std::wstring path = folder + ui::Widen(rules::HelpFileForLocale(UserLocale()));
    // A path with blanks must reach the browser as one parameter.
    const std::wstring parameter =
        path.find(L' ') == std::wstring::npos ? path : L"\"" + path + L"\"";
    const HINSTANCE r =
        ShellExecuteW(owner, L"open", L"IEXPLORE.EXE", parameter.c_str(), L"", SW_SHOWNORMAL);
    if (reinterpret_cast<INT_PTR>(r) <= 32)
        ShellExecuteW(owner, L"open", path.c_str(), nullptr, L"", SW_SHOWNORMAL);
}

void OpenWebAdmin(HWND owner, int kind, uint32_t ip) {
    const std::wstring address = ui::Widen(rules::WebAdminAddress(kind, ip));
    ShellExecuteW(owner, L"open", address.c_str(), nullptr, L"", SW_SHOWNORMAL);
}
