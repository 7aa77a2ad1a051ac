#include "dialogs/rules/setup_prompt.h"

namespace rules {

void SetupPromptGate::Reset(uint32_t stored) {
    askSetup_ = stored != 0 ? 1 : 0;
    firstPrompt_ = askSetup_;
    open_ = false;
    target_ = PromptTarget{};
}

bool SetupPromptGate::ShouldOpen(int32_t configured) const {
    return configured == 0 && !open_ && dialogs_ == 0 && (askSetup_ == 1 || firstPrompt_ == 1);
}

void SetupPromptGate::Opened(const PromptTarget& target) {
    target_ = target;
    open_ = true;
    firstPrompt_ = 0;
}

PromptTarget SetupPromptGate::Closed() {
    open_ = false;
    PromptTarget t = target_;
    target_ = PromptTarget{};
    return t;
}

uint32_t SetupPromptGate::DontAsk(bool ticked) {
    askSetup_ = ticked ? 0 : 1;
    return static_cast<uint32_t>(askSetup_);
}

bool SetupPromptGate::DialogOpened() {
    ++dialogs_;
    if (!open_)
        return false;
    Closed();
    return true;
}

void SetupPromptGate::DialogClosed() {
    if (dialogs_ > 0)
        --dialogs_;
}

std::string FormatPromptText(const std::string& format, const std::string& name,
                             const std::string& address) {
    std::string out;
    int used = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's' && used < 2) {
            out += used++ == 0 ? name : address;
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}

}  // namespace rules
