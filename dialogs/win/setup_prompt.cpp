#include "dialogs/win/setup_prompt.h"

#include "dialogs/rules/setup_prompt.h"
#include "resources/brellmark/resource.h"

namespace {

const wchar_t kKey[] = L"Software\\Kivo\\Configured";
const wchar_t kValue[] = L"Fastrig";

// The main window runs modally, and a modal loop gives keyboard navigation
// to its own dialog only: the prompt's Tab, Enter and Escape come through
// the loop's message filter.
HWND g_prompt = nullptr;
CSetupPrompt* g_current = nullptr;

LRESULT CALLBACK PromptKeys(int code, WPARAM wParam, LPARAM lParam) {
    auto* msg = reinterpret_cast<MSG*>(lParam);
    // Keys only: everything else takes the loop's own way.
    if (code >= 0 && g_prompt != nullptr && msg != nullptr && msg->message >= WM_KEYFIRST &&
        msg->message <= WM_KEYLAST && (msg->hwnd == g_prompt || IsChild(g_prompt, msg->hwnd)) &&
        IsDialogMessageW(g_prompt, msg))
        return 1;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

uint32_t ReadAskSetup() {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        DWORD value = 1, type = 0, size = sizeof value;
        const LONG r =
            RegQueryValueExW(key, kValue, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
        RegCloseKey(key);
        return r == ERROR_SUCCESS && type == REG_DWORD && size == sizeof value ? value : 1;
    }
    WriteAskSetup(1);
    return 1;
}

void WriteAskSetup(uint32_t value) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    const DWORD v = value;
    RegSetValueExW(key, kValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
    RegCloseKey(key);
}

CSetupPrompt::CSetupPrompt(HWND owner, std::string name, std::string address,
                           std::function<void(bool)> onDontAsk)
    : ui::Dialog(IDD_SETUP_PROMPT, owner),
      serverName(std::move(name)),
      serverAddress(std::move(address)),
      onDontAsk_(std::move(onDontAsk)) {}

CSetupPrompt::~CSetupPrompt() {
    if (keys_ != nullptr)
        UnhookWindowsHookEx(keys_);
}

CSetupPrompt* CSetupPrompt::Open(HWND owner, const std::string& serverName,
                                 const std::string& serverAddress,
                                 std::function<void(bool)> onDontAsk) {
    auto* prompt = new CSetupPrompt(owner, serverName, serverAddress, std::move(onDontAsk));
    HWND w = prompt->CreateModeless();
    if (w == nullptr) {
        delete prompt;
        return nullptr;
    }
    // Centred on the screen, above all windows, shown.
    RECT r;
    GetWindowRect(w, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    ShowWindow(w, SW_SHOW);
    SetWindowPos(w, HWND_TOPMOST, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    return prompt;
}

BOOL CSetupPrompt::OnInitDialog() {
    // The resource text is the format: the server's name and address.
    const std::string format = ui::Narrow(ItemText(IDC_PROMPT_TEXT));
    SetItemText(IDC_PROMPT_TEXT,
                ui::Widen(rules::FormatPromptText(format, serverName, serverAddress)));
    g_prompt = hwnd();
    g_current = this;
    keys_ = SetWindowsHookExW(WH_MSGFILTER, PromptKeys, nullptr, GetCurrentThreadId());
    SetFocus(Item(IDOK));
    return FALSE;
}

void CSetupPrompt::OnOK() {
    DestroyWindow(hwnd());
}

void CSetupPrompt::OnCancel() {
    accepted = false;
    DestroyWindow(hwnd());
}

bool CSetupPrompt::OnCommand(int id, int code, HWND) {
    if (id != IDC_PROMPT_DONT_ASK || code != BN_CLICKED)
        return false;
    if (onDontAsk_)
        onDontAsk_(IsDlgButtonChecked(hwnd(), IDC_PROMPT_DONT_ASK) == BST_CHECKED);
    return true;
}

CSetupPrompt* CSetupPrompt::Current() {
    return g_current;
}

void CSetupPrompt::Withdraw() {
    answer_ = false;
    if (hwnd() != nullptr)
        DestroyWindow(hwnd());
}

void CSetupPrompt::OnDestroyed() {
    g_prompt = nullptr;
    if (g_current == this)
        g_current = nullptr;
    // Posted, not sent: the answer may open the login dialog, which should
    // not run inside this window's destruction.
    if (answer_ && parent_ != nullptr)
        PostMessageW(parent_, WM_COMMAND, MAKEWPARAM(ID_SETUP_ANSWER, 0), accepted ? 0 : 1);
    delete this;
}
