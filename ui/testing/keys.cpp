#include "ui/testing/keys.h"

#include <algorithm>
#include <cwctype>

#include "ui/testing/remote.h"

namespace e2e {

namespace {

std::string Ascii(const std::wstring& w) {
    std::string out;
    for (wchar_t c : w)
        out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

std::wstring ClassOf(HWND w) {
    wchar_t name[64] = {};
    GetClassNameW(w, name, 64);
    return name;
}

LONG_PTR Style(HWND w) {
    return GetWindowLongPtrW(w, GWL_STYLE);
}

bool IsStaticText(HWND w) {
    if (_wcsicmp(ClassOf(w).c_str(), L"Static") != 0)
        return false;
    const LONG_PTR type = Style(w) & SS_TYPEMASK;
    return type <= SS_RIGHT || type == SS_SIMPLE || type == SS_LEFTNOWORDWRAP;
}

bool IsButtonOfType(HWND w, LONG_PTR type) {
    return _wcsicmp(ClassOf(w).c_str(), L"Button") == 0 && (Style(w) & BS_TYPEMASK) == type;
}

// A static text or a group box: it names the control after it.
bool IsLabel(HWND w) {
    return IsStaticText(w) || IsButtonOfType(w, BS_GROUPBOX);
}

bool IsPushButton(HWND w) {
    return IsButtonOfType(w, BS_PUSHBUTTON) || IsButtonOfType(w, BS_DEFPUSHBUTTON);
}

// Something a label can name: not a label, not a push button, not a picture.
bool IsInput(HWND w) {
    return !IsLabel(w) && !IsPushButton(w) && _wcsicmp(ClassOf(w).c_str(), L"Static") != 0 &&
           _wcsicmp(ClassOf(w).c_str(), L"SysAnimate32") != 0 &&
           _wcsicmp(ClassOf(w).c_str(), L"msctls_progress32") != 0;
}

bool IsContainer(HWND w) {
    return (GetWindowLongPtrW(w, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) != 0;
}

// The visible controls inside `parent` in tab order; containers (pages)
// give their own controls in their place.
void Controls(HWND parent, std::vector<HWND>* out, std::vector<HWND>* containers) {
    for (HWND c = GetWindow(parent, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
        if (!IsWindowVisible(c))
            continue;
        if (IsContainer(c)) {
            if (containers != nullptr)
                containers->push_back(c);
            Controls(c, out, containers);
        } else {
            out->push_back(c);
        }
    }
}

// The access key of a text ("&&" is a plain "&"), 0 when none.
wchar_t AccessKey(HWND w) {
    if (IsStaticText(w) && (Style(w) & SS_NOPREFIX) != 0)
        return 0;
    if (!IsStaticText(w) && _wcsicmp(ClassOf(w).c_str(), L"Button") != 0)
        return 0;
    const std::wstring text = WindowText(w);
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != L'&')
            continue;
        if (text[i + 1] != L'&')
            return static_cast<wchar_t>(std::towlower(text[i + 1]));
        ++i;
    }
    return 0;
}

std::string Describe(HWND w) {
    if (w == nullptr)
        return "nothing";
    return Ascii(ClassOf(w)) + " " + std::to_string(GetDlgCtrlID(w)) + " \"" +
           Ascii(WindowText(w)) + "\"";
}

RECT Rect(HWND w) {
    RECT r = {};
    GetWindowRect(w, &r);
    return r;
}

bool Within(HWND focus, HWND control) {
    return control != nullptr && (focus == control || IsChild(control, focus));
}

// The focus on `control` or, for a group of radio buttons, on any of them.
bool InGroup(HWND focus, HWND control) {
    if (Within(focus, control))
        return true;
    if (control == nullptr || !IsButtonOfType(control, BS_AUTORADIOBUTTON))
        return false;
    for (HWND c = GetWindow(control, GW_HWNDNEXT); c != nullptr && (Style(c) & WS_GROUP) == 0;
         c = GetWindow(c, GW_HWNDNEXT))
        if (c == focus)
            return true;
    return false;
}

HWND DefaultButton(HWND root) {
    const LRESULT def = SendMessageW(root, DM_GETDEFID, 0, 0);
    if (HIWORD(def) == DC_HASDEFID)
        return GetDlgItem(root, LOWORD(def));
    // A message box marks its default by style alone.
    for (HWND c = GetWindow(root, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT))
        if (IsWindowVisible(c) && IsButtonOfType(c, BS_DEFPUSHBUTTON))
            return c;
    return nullptr;
}

// Tab order against the layout of one dialog or page: a later tab stop lies
// neither wholly left of an earlier one in the same row nor wholly above an
// earlier one in the same column.
void CheckTabOrder(HWND container, std::vector<std::string>* faults) {
    std::vector<HWND> stops;
    for (HWND c = GetWindow(container, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT))
        if (IsWindowVisible(c) && (Style(c) & WS_TABSTOP) != 0)
            stops.push_back(c);
    for (size_t i = 0; i < stops.size(); ++i) {
        const RECT a = Rect(stops[i]);
        for (size_t j = i + 1; j < stops.size(); ++j) {
            const RECT b = Rect(stops[j]);
            const LONG rowOverlap = (std::min)(a.bottom, b.bottom) - (std::max)(a.top, b.top);
            const LONG colOverlap = (std::min)(a.right, b.right) - (std::max)(a.left, b.left);
            const LONG lower = (std::min)(a.bottom - a.top, b.bottom - b.top);
            if ((rowOverlap * 2 > lower && b.right <= a.left) ||
                (colOverlap > 0 && b.bottom <= a.top))
                faults->push_back("tab order leads from " + Describe(stops[i]) + " back to " +
                                  Describe(stops[j]));
        }
    }
}

// Tab reaches a group of radio buttons (from one WS_GROUP control to the
// next) only through a tab stop in it.
void CheckRadioGroups(HWND container, std::vector<std::string>* faults) {
    HWND radio = nullptr;
    bool stop = false;
    const auto close = [&] {
        if (radio != nullptr && !stop)
            faults->push_back("Tab never reaches the radio button " + Describe(radio));
        radio = nullptr;
        stop = false;
    };
    for (HWND c = GetWindow(container, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
        if ((Style(c) & WS_GROUP) != 0)
            close();
        if (!IsWindowVisible(c))
            continue;
        stop = stop || (Style(c) & WS_TABSTOP) != 0;
        if (radio == nullptr &&
            (IsButtonOfType(c, BS_AUTORADIOBUTTON) || IsButtonOfType(c, BS_RADIOBUTTON)))
            radio = c;
    }
    close();
}

std::string KeyName(UINT vk) {
    if (vk >= 'A' && vk <= 'Z')
        return std::string("Alt+") + static_cast<char>(vk);
    return vk == VK_RETURN ? "Return" : vk == VK_ESCAPE ? "Escape" : "key";
}

}  // namespace

HWND FocusOf(HWND window) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info))
        return nullptr;
    return info.hwndFocus;
}

std::vector<std::string> KeyboardFaults(HWND window, bool wantDefault) {
    std::vector<std::string> faults;
    HWND root = GetAncestor(window, GA_ROOT);
    std::vector<HWND> own, all, containers;
    Controls(window, &own, &containers);
    Controls(root, &all, nullptr);

    // Focus: the first input of the page or dialog, or the default button.
    HWND first = nullptr;
    for (HWND c : own)
        if ((Style(c) & WS_TABSTOP) != 0 && IsWindowEnabled(c)) {
            first = c;
            break;
        }
    HWND def = DefaultButton(root);
    const bool usable = def != nullptr && IsWindowVisible(def) && IsWindowEnabled(def);
    if (wantDefault && !usable)
        faults.push_back("no default button to press (" + Describe(def) + ")");
    if (first == nullptr && !usable)  // nothing to type in or press but, say, Cancel
        for (HWND c : all)
            if ((Style(c) & WS_TABSTOP) != 0 && IsWindowEnabled(c)) {
                first = c;
                break;
            }
    // With nothing to type in or press (a wizard at work), the window itself.
    const bool holder = first == nullptr && !usable;
    HWND focus = nullptr;
    const auto inside = [&](HWND f) {
        return f != nullptr && IsWindowVisible(f) && IsWindowEnabled(f) &&
               (IsChild(root, f) || (holder && (f == root || f == window)));
    };
    WaitFor([&] { return inside(focus = FocusOf(root)); }, 2000);
    if (!inside(focus))
        faults.push_back("nothing shown in the window has the focus (it is on " + Describe(focus) +
                         (focus != nullptr
                              ? " in \"" + Ascii(WindowText(GetAncestor(focus, GA_ROOT))) + "\""
                              : std::string()) +
                         ")");
    else if (!holder && !InGroup(focus, first) && !Within(focus, def))
        faults.push_back("the focus is on " + Describe(focus) + ", not on the first input " +
                         Describe(first) + " or the default button " + Describe(def));

    // Access keys: once each in the window; a label's leads to its input.
    std::vector<std::pair<wchar_t, HWND>> keys;
    for (HWND c : all) {
        const wchar_t k = AccessKey(c);
        if (k == 0)
            continue;
        for (const auto& [key, other] : keys)
            if (key == k)
                faults.push_back("access key " + Ascii(std::wstring(1, k)) + " on both " +
                                 Describe(other) + " and " + Describe(c));
        keys.push_back({k, c});
    }
    for (size_t i = 0; i < own.size(); ++i) {
        const wchar_t k = AccessKey(own[i]);
        if (k == 0 || !IsLabel(own[i]))
            continue;
        HWND next = i + 1 < own.size() ? own[i + 1] : nullptr;
        const RECT l = Rect(own[i]);
        const RECT n = next != nullptr ? Rect(next) : RECT{};
        if (next == nullptr || !IsInput(next) || n.bottom <= l.top || n.right <= l.left) {
            faults.push_back("label " + Describe(own[i]) + " is followed by " + Describe(next) +
                             ", not by the input it names");
            continue;
        }
        int uses = 0;
        for (const auto& kv : keys)
            uses += kv.first == k ? 1 : 0;
        if (uses > 1 || !IsWindowEnabled(next) || (Style(next) & WS_TABSTOP) == 0)
            continue;
        HWND at = FocusOf(root);
        if (at == nullptr)
            continue;
        PostMessageW(at, WM_SYSCHAR, k, static_cast<LPARAM>(1) | (1 << 29));
        if (!WaitFor([&] { return Within(FocusOf(root), next); }, 2000))
            faults.push_back("access key " + Ascii(std::wstring(1, k)) + " of " + Describe(own[i]) +
                             " leads to " + Describe(FocusOf(root)) + ", not to " + Describe(next));
    }
    // Give the focus back to where the window put it.
    if (focus != nullptr && FocusOf(root) != focus)
        PostMessageW(root, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(focus), TRUE);
    WaitFor([&] { return focus == nullptr || FocusOf(root) == focus; }, 2000);

    CheckTabOrder(window, &faults);
    CheckRadioGroups(window, &faults);
    for (HWND c : containers) {
        CheckTabOrder(c, &faults);
        CheckRadioGroups(c, &faults);
    }
    return faults;
}

bool PressKey(HWND window, UINT vk) {
    HWND focus = FocusOf(GetAncestor(window, GA_ROOT));
    if (focus == nullptr)
        return false;
    if (vk >= 'A' && vk <= 'Z') {
        PostMessageW(focus, WM_SYSCHAR, vk - 'A' + 'a', static_cast<LPARAM>(1) | (1 << 29));
        return true;
    }
    PostKey(focus, vk);
    return true;
}

std::vector<KeyStep> ReturnThrough(const std::vector<const wchar_t*>& names) {
    std::vector<KeyStep> steps;
    for (size_t i = 0; i + 1 < names.size(); ++i)
        steps.push_back({names[i], VK_RETURN, names[i + 1]});
    return steps;
}

bool KeyWalk::Walk(const std::vector<KeyStep>& steps) {
    for (const auto& step : steps) {
        const std::string name = Ascii(step.name);
        HWND w = nullptr;
        if (!WaitFor([&] { return (w = find(step.name)) != nullptr && IsWindowVisible(w); }, ms)) {
            faults.push_back(name + ": not shown");
            return false;
        }
        if (before)
            before(step, w);
        if (std::find(checked_.begin(), checked_.end(), w) == checked_.end()) {
            checked_.push_back(w);
            for (const auto& f : KeyboardFaults(w, step.wantDefault))
                faults.push_back(name + ": " + f);
        }
        if (!PressKey(w, step.key)) {
            faults.push_back(name + ": nothing has the focus, so " + KeyName(step.key) +
                             " goes nowhere");
            return false;
        }
        if (after)
            after(step, w);
        const std::wstring next = step.next;
        const bool led = WaitFor(
            [&] {
                HWND n = next.empty() ? nullptr : find(next);
                if (step.opens)
                    return n != nullptr && n != w;
                return find(step.name) != w && (next.empty() || n != nullptr);
            },
            ms);
        if (!led) {
            faults.push_back(name + ": " + KeyName(step.key) + " did not lead to " +
                             (next.empty() ? std::string("the end") : Ascii(next)));
            return false;
        }
    }
    return true;
}

std::string KeyWalk::Report() const {
    std::string all;
    for (const auto& f : faults)
        all += f + "\n";
    return all;
}

}  // namespace e2e
