#include "wizard/win/wizard_sheet.h"

#include <commctrl.h>

#include <cstdio>

#include "mapdrive/win/share_dialogs.h"
#include "resources/brellmark/resource.h"
#include "ui/dialog.h"

namespace {

// Control ids of the wizard's own buttons in a property sheet.
constexpr int kBackButton = 0x3023;
constexpr int kNextButton = 0x3024;
constexpr int kFinishButton = 0x3025;

std::string LoadNarrow(int id) {
    return ui::Narrow(ui::LoadText(static_cast<UINT>(id)));
}

std::wstring ControlText(HWND control) {
    const int n = GetWindowTextLengthW(control);
    std::wstring s(static_cast<size_t>(n) + 1, L'\0');
    GetWindowTextW(control, s.data(), n + 1);
    s.resize(static_cast<size_t>(n));
    return s;
}

DWORD Address(HWND control) {
    DWORD a = 0;
    SendMessageW(control, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&a));
    return a;
}

// ---------------------------------------------------------------------------

class CQHead : public CWizardPage {
public:
    explicit CQHead(CWizard& w) : CWizardPage(w, IDD_WIZ_HEAD, wiz::PAGE_HEAD) {}

protected:
    void OnInitDialog() override {
        wizard_.SetSheet(sheet());
        // The sheet's fixed layout: Back, Next and Cancel 80 wide at 220,
        // 300 and 390; the sheet 499 wide.
        wizard_.MoveButton(kBackButton, 220, 80);
        wizard_.MoveButton(kNextButton, 300, 80);
        wizard_.MoveButton(kFinishButton, 300, 80);
        wizard_.MoveButton(IDCANCEL, 390, 80);
        RECT r;
        GetWindowRect(sheet(), &r);
        SetWindowPos(sheet(), nullptr, 0, 0, 499, r.bottom - r.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
};

class CStep1 : public CWizardPage {
public:
    explicit CStep1(CWizard& w) : CWizardPage(w, IDD_WIZ_STEP1, wiz::PAGE_STEP1) {}

protected:
    void OnInitDialog() override {
        SendMessageW(Item(IDC_WIZ_NAME), EM_LIMITTEXT, wiz::kNameChars, 0);
        std::wstring name = ui::Widen(settings().m_serverName);
        if (name.size() > wiz::kNameChars)
            name.resize(wiz::kNameChars);
        SetDlgItemTextW(hwnd(), IDC_WIZ_NAME, name.c_str());
    }
    bool OnWizardNext() override {
        const int message =
            wiz::Step1Next(ui::Narrow(ControlText(Item(IDC_WIZ_NAME))), &settings());
        if (message == 0)
            return true;
        Message(message, IDS_CAPTION_ERROR, MB_OK | MB_ICONEXCLAMATION);
        SetFocus(Item(IDC_WIZ_NAME));
        return false;
    }
};

class CStep2 : public CWizardPage {
public:
    explicit CStep2(CWizard& w) : CWizardPage(w, IDD_WIZ_STEP2, wiz::PAGE_STEP2) {}

protected:
    void OnInitDialog() override {
        SendMessageW(Item(IDC_WIZ_PASSWORD), EM_LIMITTEXT, wiz::kPasswordChars, 0);
        SendMessageW(Item(IDC_WIZ_VERIFY), EM_LIMITTEXT, wiz::kPasswordChars, 0);
        Check(IDC_WIZ_KEEP_PASSWORD, false);
    }
    bool OnCommand(int id, int code, HWND) override {
        if (id != IDC_WIZ_KEEP_PASSWORD || code != BN_CLICKED)
            return false;
        pages().m_keepPassword = IsChecked(IDC_WIZ_KEEP_PASSWORD);
        EnableItem(IDC_WIZ_PASSWORD, !pages().m_keepPassword);
        EnableItem(IDC_WIZ_VERIFY, !pages().m_keepPassword);
        return true;
    }
    bool OnWizardNext() override {
        const int message = wiz::CheckPassword(ui::Narrow(ControlText(Item(IDC_WIZ_PASSWORD))),
                                               ui::Narrow(ControlText(Item(IDC_WIZ_VERIFY))),
                                               pages().m_keepPassword, &settings());
        if (message == 0)
            return true;
        Message(message, IDS_CAPTION_ERROR, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
};

class CStep3 : public CWizardPage {
public:
    explicit CStep3(CWizard& w) : CWizardPage(w, IDD_WIZ_STEP3, wiz::PAGE_STEP3) {}

protected:
    void OnInitDialog() override {
        SetDlgItemTextW(hwnd(), IDC_WIZ_NTP_SERVER, ui::Widen(wiz::kTimeServer).c_str());
        SYSTEMTIME now;
        GetLocalTime(&now);
        for (int id : {IDC_WIZ_DATE, IDC_WIZ_TIME}) {
            SendMessageW(Item(id), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&now));
            EnableItem(id, false);
        }
        HWND zones = Item(IDC_WIZ_TIME_ZONE);
        for (const char* zone : wiz::TimeZoneTable)
            SendMessageW(zones, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ui::Widen(zone).c_str()));
        SendMessageW(zones, CB_SETCURSEL,
                     wiz::DefaultsForLanguage(GetSystemDefaultLangID()).timeZone, 0);
        Check(IDC_WIZ_USE_NTP, wiz::NtpBoxAtFirstShow(settings()));
        Check(IDC_WIZ_SET_CLOCK, false);
    }
    bool OnCommand(int id, int code, HWND) override {
        if (code != BN_CLICKED)
            return false;
        if (id == IDC_WIZ_SET_CLOCK) {
            const bool checked = IsChecked(IDC_WIZ_SET_CLOCK);
            if (wiz::OnClockBox(checked, &pages()))
                Check(IDC_WIZ_USE_NTP, false);
            EnableItem(IDC_WIZ_DATE, checked);
            EnableItem(IDC_WIZ_TIME, checked);
            return true;
        }
        if (id == IDC_WIZ_USE_NTP) {
            if (wiz::OnNtpBox(IsChecked(IDC_WIZ_USE_NTP), &pages()))
                Check(IDC_WIZ_SET_CLOCK, false);
            return true;
        }
        return false;
    }
    bool OnWizardNext() override {
        SYSTEMTIME date = {}, time = {};
        SendMessageW(Item(IDC_WIZ_DATE), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&date));
        SendMessageW(Item(IDC_WIZ_TIME), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time));
        const int zone =
            static_cast<int>(SendMessageW(Item(IDC_WIZ_TIME_ZONE), CB_GETCURSEL, 0, 0));
        wiz::StoreStep3(zone, wiz::DateText(date.wMonth, date.wDay, date.wYear),
                        wiz::TimeText(time.wHour, time.wMinute, time.wSecond), &settings());
        return true;
    }
};

// Step 4, filename encoding.
class CStep6 : public CWizardPage {
public:
    explicit CStep6(CWizard& w) : CWizardPage(w, IDD_WIZ_STEP4, wiz::PAGE_STEP4) {}

protected:
    void OnInitDialog() override {
        wiz::EncodingTable& table = wizard_.flow().encodings();
        table.Localise(LoadNarrow);
        HWND list = Item(IDC_WIZ_ENCODING);
        for (int i = 0; i < wiz::kEncodingCount; ++i) {
            const LRESULT at = SendMessageW(
                list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ui::Widen(table[i].name).c_str()));
            SendMessageW(list, CB_SETITEMDATA, static_cast<WPARAM>(at), table[i].codePage);
        }
        SendMessageW(list, CB_SETCURSEL,
                     wiz::DefaultsForLanguage(GetSystemDefaultLangID()).encoding, 0);
    }
    bool OnWizardNext() override {
        HWND list = Item(IDC_WIZ_ENCODING);
        const LRESULT at = SendMessageW(list, CB_GETCURSEL, 0, 0);
        if (at >= 0)
            settings().m_encoding = static_cast<int32_t>(
                SendMessageW(list, CB_GETITEMDATA, static_cast<WPARAM>(at), 0));
        return true;
    }
};

// Step 5, TCP/IP settings.
class CStep4 : public CWizardPage {
public:
    explicit CStep4(CWizard& w) : CWizardPage(w, IDD_WIZ_STEP5, wiz::PAGE_STEP5) {}

protected:
    void OnInitDialog() override {
        const wiz::WizardSettings& s = settings();
        SetMode(s.m_ipMode != 0);
        const std::pair<int, uint32_t> fields[] = {{IDC_WIZ_IP, s.m_ip},
                                                   {IDC_WIZ_NETMASK, s.m_netmask},
                                                   {IDC_WIZ_GATEWAY, s.m_gateway},
                                                   {IDC_WIZ_DNS1, s.m_dns1},
                                                   {IDC_WIZ_DNS2, s.m_dns2}};
        for (const auto& f : fields)
            SendMessageW(Item(f.first), IPM_SETADDRESS, 0, static_cast<LPARAM>(f.second));
    }
    bool OnCommand(int id, int code, HWND) override {
        if (code != BN_CLICKED || (id != IDC_WIZ_DHCP && id != IDC_WIZ_STATIC))
            return false;
        SetMode(id == IDC_WIZ_DHCP);
        return true;
    }
    bool OnWizardNext() override {
        wiz::StoreStep5(IsChecked(IDC_WIZ_DHCP), Address(Item(IDC_WIZ_IP)),
                        Address(Item(IDC_WIZ_NETMASK)), Address(Item(IDC_WIZ_GATEWAY)),
                        Address(Item(IDC_WIZ_DNS1)), Address(Item(IDC_WIZ_DNS2)), &settings());
        return true;
    }

private:
    void SetMode(bool dhcp) {
        CheckRadioButton(hwnd(), IDC_WIZ_DHCP, IDC_WIZ_STATIC,
                         dhcp ? IDC_WIZ_DHCP : IDC_WIZ_STATIC);
        for (int id : {IDC_WIZ_IP, IDC_WIZ_NETMASK, IDC_WIZ_GATEWAY})
            EnableItem(id, !dhcp);
    }
};

// Step 6, disk initialisation.
class CStep5 : public CWizardPage {
public:
    explicit CStep5(CWizard& w) : CWizardPage(w, IDD_WIZ_STEP6, wiz::PAGE_STEP6) {}

protected:
    void OnSetActive() override {
        CWizardPage::OnSetActive();
        const bool init = wiz::InitDiskCheckedOnActivate(pages());
        Check(IDC_WIZ_INIT_DISK, false);
        Check(IDC_WIZ_KEEP_DISK, false);
        Check(init ? IDC_WIZ_INIT_DISK : IDC_WIZ_KEEP_DISK, true);
        SetDlgItemTextW(hwnd(), IDC_WIZ_DISK_MODEL, ui::Widen(pages().m_diskModel).c_str());
        SetDlgItemTextW(hwnd(), IDC_WIZ_DISK_CAPACITY, ui::Widen(pages().m_diskCapacity).c_str());
    }
    bool OnWizardNext() override {
        wiz::StoreStep6(IsChecked(IDC_WIZ_INIT_DISK), &pages(), &settings());
        return true;
    }
};

// Summary.
class CQTail : public CWizardPage {
public:
    explicit CQTail(CWizard& w) : CWizardPage(w, IDD_WIZ_TAIL, wiz::PAGE_TAIL) {}

protected:
    void OnInitDialog() override {
        HWND list = Item(IDC_WIZ_SUMMARY);
        ui::SetUpReportList(list, {{IDS_WIZ_SUM_STATUS, 150}, {IDS_WIZ_SUM_VALUE, 200}});
    }
    void OnSetActive() override {
        CWizardPage::OnSetActive();
        HWND list = Item(IDC_WIZ_SUMMARY);
        SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
        wiz::EncodingTable& table = wizard_.flow().encodings();
        table.Localise(LoadNarrow);
        for (const wiz::SummaryRow& r : wiz::SummaryRows(settings(), table, LoadNarrow))
            ui::AppendListRow(list,
                              {ui::LoadText(static_cast<UINT>(r.labelId)), ui::Widen(r.value)});
    }
    bool OnWizardNext() override {
        if (!wiz::NeedsFormatWarning(settings()))
            return true;
        return Message(IDS_WIZ_FORMAT_WARNING, IDS_CAPTION_WARNING,
                       MB_OKCANCEL | MB_ICONEXCLAMATION) == IDOK;
    }
};

// Applying, with its progress rows.
class CStepConfFinish : public CWizardPage, public wiz::ApplyView {
public:
    explicit CStepConfFinish(CWizard& w) : CWizardPage(w, IDD_WIZ_PROGRESS, wiz::PAGE_PROGRESS) {}

protected:
    void OnInitDialog() override {
        SendMessageW(Item(IDC_WIZ_PROGRESS), PBM_SETRANGE32, 0, 100);
        SendMessageW(Item(IDC_WIZ_PROGRESS), PBM_SETSTEP, 1, 0);
        for (int row = 1; row <= wiz::kRows; ++row) {
            ShowWindow(Item(IDC_WIZ_ROW_CHECK + row), SW_HIDE);
            HWND anim = Item(IDC_WIZ_ROW_ANIM + row);
            SendMessageW(anim, ACM_OPENW, reinterpret_cast<WPARAM>(ui::Instance()),
                         static_cast<LPARAM>(IDR_WIZ_ROW_AVI));
            ShowWindow(anim, SW_HIDE);
        }
        ShowWindow(Item(IDC_WIZ_COMPLETE), SW_HIDE);
    }
    void OnSetActive() override {
        CWizardPage::OnSetActive();
        EnableWindow(GetDlgItem(sheet(), IDCANCEL), FALSE);
        if (started_)
            return;
        // First showing: the sheet can no longer be closed; the run starts.
        started_ = true;
        if (HMENU menu = GetSystemMenu(sheet(), FALSE))
            EnableMenuItem(menu, SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
        wizard_.MoveButton(kFinishButton, 300, 80);
        wizard_.flow().AttachProgress(*this);
    }
    bool OnCommand(int id, int, HWND) override {
        if (id < ID_WIZ_NAME_DONE || id > ID_WIZ_DISK_PROGRESS)
            return false;
        if (wiz::ApplyMachine* m = wizard_.flow().machine())
            m->OnCommand(id, settings().m_diskPercent);
        return true;
    }
    INT_PTR OnMessage(UINT msg, WPARAM wParam, LPARAM, bool* handled) override {
        if (msg != WM_TIMER) {
            *handled = false;
            return 0;
        }
        *handled = true;
        if (wiz::ApplyMachine* m = wizard_.flow().machine())
            m->OnTimer(static_cast<int>(wParam));
        else
            KillTimer(hwnd(), wParam);
        return TRUE;
    }
    void OnDestroy() override { wizard_.flow().DetachProgress(); }
    // From the applying page on, Finish is the only way out.
    bool OnQueryCancel() override { return false; }

    // wiz::ApplyView
    void Send(uint16_t command, const proto::CommandBuffer& items) override {
        proto::CommandBuffer copy = items;
        wizard_.flow().Send(command, copy);
    }
    void StartTimer(int id, unsigned ms) override {
        SetTimer(hwnd(), static_cast<UINT_PTR>(id), ms, nullptr);
    }
    void StopTimer(int id) override { KillTimer(hwnd(), static_cast<UINT_PTR>(id)); }
    void SetBar(int position) override {
        SendMessageW(Item(IDC_WIZ_PROGRESS), PBM_SETPOS, static_cast<WPARAM>(position), 0);
    }
    void PlayRow(int row) override {
        HWND anim = Item(IDC_WIZ_ROW_ANIM + row);
        SendMessageW(anim, ACM_OPENW, reinterpret_cast<WPARAM>(ui::Instance()),
                     static_cast<LPARAM>(IDR_WIZ_ROW_AVI));
        ShowWindow(anim, SW_SHOW);
        SendMessageW(anim, ACM_PLAY, static_cast<WPARAM>(-1), MAKELONG(0, 0xFFFF));
    }
    void CloseRow(int row) override {
        HWND anim = Item(IDC_WIZ_ROW_ANIM + row);
        SendMessageW(anim, ACM_STOP, 0, 0);
        SendMessageW(anim, ACM_OPENW, 0, 0);
        ShowWindow(anim, SW_HIDE);
    }
    void CheckRow(int row) override {
        HWND check = Item(IDC_WIZ_ROW_CHECK + row);
        ShowWindow(check, SW_SHOW);
        UpdateWindow(check);
    }
    void ShowComplete() override {
        PropSheet_SetWizButtons(sheet(), PSWIZB_NEXT);
        ShowWindow(Item(IDC_WIZ_COMPLETE), SW_SHOW);
    }
    void Pause(unsigned ms) override { Sleep(ms); }
    bool AskRetry() override {
        return Message(IDS_WIZ_NO_RESPONSE, IDS_CAPTION_WARNING,
                       MB_RETRYCANCEL | MB_ICONEXCLAMATION) == IDRETRY;
    }
    void ShowFailure() override { wizard_.ShowFailurePage(); }

private:
    bool started_ = false;
};

// The closing pages: Finish is the only way out.
class CClosingPage : public CWizardPage {
public:
    CClosingPage(CWizard& w, UINT templateId, wiz::Page page) : CWizardPage(w, templateId, page) {}

protected:
    void OnSetActive() override {
        CWizardPage::OnSetActive();
        EnableWindow(GetDlgItem(sheet(), IDCANCEL), FALSE);
        // From an inner page to an outer one: the header band goes too.
        RedrawWindow(sheet(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    }
    bool OnQueryCancel() override { return false; }
};

// Finish: the box "Continue to map network drive for me." leads on to the
// share selection for the server under the name just given to it.
class CMapDrive : public CClosingPage {
public:
    explicit CMapDrive(CWizard& w) : CClosingPage(w, IDD_WIZ_FINISH, wiz::PAGE_FINISH) {}

protected:
    void OnInitDialog() override { Check(IDC_WIZ_MAP_DRIVE, true); }
    bool OnWizardFinish() override {
        if (IsChecked(IDC_WIZ_MAP_DRIVE)) {
            const wiz::WizardFlow::ShareTarget target = wizard_.flow().FinishTarget();
            // Its outcome does not matter here: the wizard closes after it.
            mapdrive::RunSelectShare(sheet(), target.address, target.name);
        }
        return true;
    }
};

// Failure: reached only when the user gives up on a server that does not
// answer; the run has stopped, Finish closes the wizard.
class CStepFail : public CClosingPage {
public:
    explicit CStepFail(CWizard& w) : CClosingPage(w, IDD_WIZ_FAIL, wiz::PAGE_FAIL) {}
};

}  // namespace

// ---------------------------------------------------------------------------

void CWizardPage::OnSetActive() {
    const wiz::PageLayout layout = wiz::LayoutOf(page_);
    DWORD flags = 0;
    if (layout.buttons & wiz::BTN_BACK)
        flags |= PSWIZB_BACK;
    if (layout.buttons & wiz::BTN_NEXT)
        flags |= PSWIZB_NEXT;
    if (layout.buttons & wiz::BTN_FINISH)
        flags |= PSWIZB_FINISH;
    if (layout.buttons & wiz::BTN_DISABLED_FINISH)
        flags |= PSWIZB_DISABLEDFINISH;
    wizard_.SetSheet(sheet());
    PropSheet_SetWizButtons(sheet(), flags);
    if (layout.titleId != 0)
        SetWindowTextW(sheet(), ui::LoadText(static_cast<UINT>(layout.titleId)).c_str());
}

wiz::WizardSettings& CWizardPage::settings() {
    return wizard_.flow().settings();
}

wiz::PageState& CWizardPage::pages() {
    return wizard_.flow().pages();
}

int CWizardPage::Message(int textId, int captionId, UINT flags) {
    return ui::MessageBoxIds(sheet(), static_cast<UINT>(textId), static_cast<UINT>(captionId),
                             flags);
}

CWizard::CWizard(HWND owner, wiz::WizardFlow& flow) : owner_(owner), flow_(flow) {
    pages_.push_back(std::make_unique<CQHead>(*this));
    pages_.push_back(std::make_unique<CStep1>(*this));
    pages_.push_back(std::make_unique<CStep2>(*this));
    pages_.push_back(std::make_unique<CStep3>(*this));
    pages_.push_back(std::make_unique<CStep6>(*this));
    pages_.push_back(std::make_unique<CStep4>(*this));
    pages_.push_back(std::make_unique<CStep5>(*this));
    pages_.push_back(std::make_unique<CQTail>(*this));
    pages_.push_back(std::make_unique<CStepConfFinish>(*this));
    pages_.push_back(std::make_unique<CMapDrive>(*this));
    pages_.push_back(std::make_unique<CStepFail>(*this));
}

CWizard::~CWizard() = default;

INT_PTR CWizard::DoModal() {
    // The outer pages show the watermark; the others the header.
    std::vector<HPROPSHEETPAGE> handles;
    for (size_t i = 0; i < pages_.size(); ++i) {
        const bool outer = i == wiz::PAGE_HEAD || i == wiz::PAGE_FINISH || i == wiz::PAGE_FAIL;
        HPROPSHEETPAGE h = pages_[i]->Create(outer ? PSP_HIDEHEADER : 0);
        if (h == nullptr) {
            for (HPROPSHEETPAGE made : handles)
                DestroyPropertySheetPage(made);
            return -1;
        }
        handles.push_back(h);
    }
    // Full-colour images from 8 bits per pixel on, their 16-colour variants below.
    HDC screen = GetDC(nullptr);
    const int bits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
    ReleaseDC(nullptr, screen);
    const bool full = bits >= 8;
    HBITMAP watermark = static_cast<HBITMAP>(
        LoadImageW(ui::Instance(), MAKEINTRESOURCEW(full ? IDB_WIZ_WATERMARK : IDB_WIZ_WATERMARK16),
                   IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    HBITMAP banner = static_cast<HBITMAP>(
        LoadImageW(ui::Instance(), MAKEINTRESOURCEW(full ? IDB_WIZ_HEADER : IDB_WIZ_HEADER16),
                   IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    const std::wstring caption = ui::LoadText(IDS_WIZ_CAPTION);
    PROPSHEETHEADERW header = {};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_WIZARD97 | PSH_WATERMARK | PSH_HEADER | PSH_USEHBMWATERMARK |
                     PSH_USEHBMHEADER | PSH_NOAPPLYNOW;
    header.hbmWatermark = watermark;
    header.hbmHeader = banner;
    header.hwndParent = owner_;
    header.hInstance = ui::Instance();
    header.pszCaption = caption.c_str();
    header.nPages = static_cast<UINT>(handles.size());
    header.phpage = handles.data();
    const INT_PTR result = PropertySheetW(&header);
    sheet_ = nullptr;
    if (watermark)
        DeleteObject(watermark);
    if (banner)
        DeleteObject(banner);
    // Whatever happened, the run is over: no timer outlives the sheet.
    flow_.DetachProgress();
    return result;
}

void CWizard::ShowFailurePage() {
    if (sheet_ != nullptr)
        PropSheet_SetCurSel(sheet_, nullptr, wiz::PAGE_FAIL);
}

void CWizard::MoveButton(int id, int x, int width) {
    if (sheet_ == nullptr)
        return;
    HWND button = GetDlgItem(sheet_, id);
    if (button == nullptr)
        return;
    RECT r;
    GetWindowRect(button, &r);
    POINT top = {r.left, r.top};
    ScreenToClient(sheet_, &top);
    SetWindowPos(button, nullptr, x, top.y, width, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
}
