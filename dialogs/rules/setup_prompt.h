// The not-configured prompt without its window: when a status reply opens it,
// what the "don't ask again" box stores, which server the answer is about,
// and the prompt's text. Portable.
#pragma once

#include <cstdint>
#include <string>

namespace rules {

// The server a prompt is about, as its status reply named it. New servers
// share their factory name, so the address and the id single it out.
struct PromptTarget {
    std::string name;    // TAG_SERVER_NAME of the reply, at most 127 characters
    uint32_t ip = 0;     // the reply's source address, host order
    uint8_t id[6] = {};  // the reply's server id
};

class SetupPromptGate {
public:
    // `stored`: the "Fastrig" value read at start (1 when it was missing).
    // A stored 0 means the user asked not to be asked: no prompt this run
    // either, until the box is cleared again.
    explicit SetupPromptGate(uint32_t stored = 1) { Reset(stored); }
    void Reset(uint32_t stored);

    // A status reply while the list fills: whether it opens the prompt.
    // `configured` is its TAG_CONFIGURED (-1 when absent).
    bool ShouldOpen(int32_t configured) const;
    void Opened(const PromptTarget& target);
    // The prompt is gone; its target. Nothing is open afterwards.
    PromptTarget Closed();
    // The check box was clicked: the value to store in "Fastrig".
    uint32_t DontAsk(bool ticked);
    // A dialog of another flow opens over the list, or closes again (they
    // nest). While one is open nothing is offered: the prompt would take the
    // keyboard from it, and its answer would open a login over it. Opening
    // returns whether an open prompt has to go (it is then closed here): the
    // user has chosen another flow.
    bool DialogOpened();
    void DialogClosed();

    bool open() const { return open_; }
    int askSetup() const { return askSetup_; }
    int firstPrompt() const { return firstPrompt_; }
    const PromptTarget& target() const { return target_; }

private:
    int askSetup_ = 1;
    int firstPrompt_ = 1;
    bool open_ = false;
    int dialogs_ = 0;  // open dialogs of other flows
    PromptTarget target_;
};

// The prompt's text block: `format` (the resource text) with its first two
// "%s" replaced by `name` and `address`. Any other "%" stays as it is, so a
// name holding "%s" or "%n" is shown, never interpreted.
std::string FormatPromptText(const std::string& format, const std::string& name,
                             const std::string& address);

}  // namespace rules
