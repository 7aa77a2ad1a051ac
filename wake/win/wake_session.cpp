#include "wake/win/wake_session.h"

#include <winsock2.h>

#include <algorithm>
#include <ctime>

#include "protocol/win/server_socket.h"
#include "resources/brellmark/resource.h"
#include "ui/dialog.h"
#include "wake/magic_packet.h"
#include "wake/win/wake_dialog.h"

namespace {

const wchar_t kServersKey[] = L"Software\\Kivo\\Servers";

}  // namespace

std::vector<std::pair<std::string, std::string>> RegistryRecordStore::ReadAll() {
    std::vector<std::pair<std::string, std::string>> out;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kServersKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return out;
    DWORD maxName = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName,
                     nullptr, nullptr, nullptr);
    std::string name(maxName * 2 + 2, '\0');
    for (DWORD i = 0;; ++i) {
        // The name, type and size first: a value longer than any record is
        // not read at all, and refused.
        DWORD nameLen = static_cast<DWORD>(name.size());
        DWORD type = 0, size = 0;
        const LONG r = RegEnumValueA(key, i, name.data(), &nameLen, nullptr, &type, nullptr, &size);
        if (r == ERROR_NO_MORE_ITEMS)
            break;
        if (r != ERROR_SUCCESS)
            continue;
        const std::string valueName(name.data(), nameLen);
        // Refused unless read below. (The size asked of the ANSI function
        // may count wide characters: the buffer has the last word.)
        std::string value = "?";
        if (type == REG_SZ && size > 2 * (wake::kMaxRecordLength + 2)) {
            value.assign(wake::kMaxRecordLength + 1, '?');
        } else if (type == REG_SZ) {
            char data[wake::kMaxRecordLength + 2] = {};
            DWORD dataLen = sizeof data - 1;
            const LONG q = RegQueryValueExA(key, valueName.c_str(), nullptr, &type,
                                            reinterpret_cast<BYTE*>(data), &dataLen);
            if (q == ERROR_MORE_DATA)
                value.assign(wake::kMaxRecordLength + 1, '?');
            else if (q == ERROR_SUCCESS && type == REG_SZ)
                value.assign(data, strnlen(data, dataLen));
        }
        out.emplace_back(valueName, value);
    }
    RegCloseKey(key);
    return out;
}

bool RegistryRecordStore::Write(const std::string& name, const std::string& value) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kServersKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    const LONG r =
        RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
    return r == ERROR_SUCCESS;
}

bool RegistryRecordStore::Remove(const std::string& name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kServersKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return false;
    const LONG r = RegDeleteValueA(key, name.c_str());
    RegCloseKey(key);
    return r == ERROR_SUCCESS;
}

CWakeSession::CWakeSession(HWND window, flow::Host& host)
    : window_(window), host_(host), memory_(store_), flow_(*this, memory_) {
    memory_.Load();
}

std::vector<wake::Mac> CWakeSession::Listed() {
    return host_.ListedIds();
}

void CWakeSession::OnServerListed(const proto::ServerInfo& server) {
    const std::string name(server.name, strnlen(server.name, sizeof server.name));
    flow_.OnServerListed(server.id, name, server.ip);
}

void CWakeSession::Run() {
    CWakeUp dlg(window_, flow_.Candidates(Listed()),
                [this](const wake::Mac& mac) { return flow_.Forget(mac); });
    if (dlg.DoModal() != IDOK)
        return;
    const wake::RememberedServer* s = memory_.Find(dlg.chosen);
    const std::string name = s != nullptr ? s->name : wake::FormatMac(dlg.chosen);
    // The list may have been rebuilt while the dialog was open.
    switch (flow_.Wake(dlg.chosen, Listed())) {
        case wake::WakeFlow::WakeResult::Sent:
        case wake::WakeFlow::WakeResult::NotRemembered:
            break;
        case wake::WakeFlow::WakeResult::Listed:
            Message(IDS_WAKE_LISTED, name, IDS_APP_TITLE, MB_ICONINFORMATION);
            break;
        case wake::WakeFlow::WakeResult::SendFailed:
            Message(IDS_WAKE_SEND_FAILED, name, IDS_CAPTION_WARNING, MB_ICONEXCLAMATION);
            break;
    }
}

bool CWakeSession::OnTimer(int id) {
    if (id != TIMER_WAKE_SHOW)
        return flow_.OnTimer(id);
    KillTimer(window_, TIMER_WAKE_SHOW);
    if (pendingShow_) {
        pendingShow_ = false;
        if (pendingAnswered_)
            Message(IDS_WAKE_ANSWERED, pendingName_, IDS_APP_TITLE, MB_ICONINFORMATION);
        else
            Message(IDS_WAKE_SILENT, pendingName_, IDS_CAPTION_WARNING, MB_ICONEXCLAMATION);
    }
    return true;
}

void CWakeSession::ShowWakeResult(bool answered, const std::string& name) {
    pendingShow_ = true;
    pendingAnswered_ = answered;
    pendingName_ = name;
    SetTimer(window_, TIMER_WAKE_SHOW, 0, nullptr);
}

void CWakeSession::Message(UINT textId, const std::string& name, UINT captionId, UINT icon) {
    const std::wstring text = ui::FillText(
        ui::LoadText(textId), {ui::Widen(name), std::to_wstring(wake::kSpinUpSeconds)});
    MessageBoxW(window_, text.c_str(), ui::LoadText(captionId).c_str(), MB_OK | icon);
}

std::vector<proto::LocalInterface> CWakeSession::LocalInterfaces() {
    std::vector<proto::LocalInterface> interfaces;
    GetLocalInterfaces(&interfaces);
    return interfaces;
}

int CWakeSession::SendWake(const std::vector<uint8_t>& packet, uint32_t destination) {
    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET)
        return WSAGetLastError();
    BOOL on = TRUE;
    setsockopt(s, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on);
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(wake::kWakePort);
    to.sin_addr.s_addr = htonl(destination);
    const int n =
        sendto(s, reinterpret_cast<const char*>(packet.data()), static_cast<int>(packet.size()), 0,
               reinterpret_cast<const sockaddr*>(&to), sizeof to);
    const int error = n == SOCKET_ERROR ? WSAGetLastError() : 0;
    closesocket(s);
    return error;
}

void CWakeSession::StartTimer(int id, unsigned ms) {
    SetTimer(window_, static_cast<UINT_PTR>(id), ms, nullptr);
}

void CWakeSession::StopTimer(int id) {
    KillTimer(window_, static_cast<UINT_PTR>(id));
}

int64_t CWakeSession::Now() {
    return static_cast<int64_t>(std::time(nullptr));
}
