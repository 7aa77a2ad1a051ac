// The not-configured prompt's gate through a run of events, and its text.
#include "dialogs/rules/setup_prompt.h"

#include <gtest/gtest.h>

using rules::FormatPromptText;
using rules::PromptTarget;
using rules::SetupPromptGate;

TEST(SetupPromptGateTest, OpensOncePerAnswerAndKeepsTheUsersChoice) {
    // Each step: what happens, then whether a reply with `configured` opens
    // the prompt and what the box stores.
    enum Event { NONE, OPEN, CLOSE, TICK, UNTICK, DIALOG, DIALOG_GONE };
    struct Step {
        Event event;
        int32_t configured;
        bool opens;
        int askSetup;
    } steps[] = {
        {NONE, 1, false, 1},   // configured servers are never offered
        {NONE, -1, false, 1},  // nor are those that do not say
        {NONE, 0, true, 1},
        {OPEN, 0, false, 1},  // one prompt at a time
        {CLOSE, 0, true, 1},
        {OPEN, 0, false, 1},
        {TICK, 0, false, 0},
        {UNTICK, 0, false, 1},  // cleared before answering: asking again
        {TICK, 0, false, 0},
        {CLOSE, 0, false, 0},  // ticked: no more prompts
        {UNTICK, 0, true, 1},
        // Another flow's dialogs (they nest): nothing while one is open, and
        // an open prompt goes as the first one opens.
        {DIALOG, 0, false, 1},
        {DIALOG, 0, false, 1},
        {DIALOG_GONE, 0, false, 1},
        {DIALOG_GONE, 0, true, 1},
        {OPEN, 0, false, 1},
        {DIALOG, 0, false, 1},
        {DIALOG_GONE, 0, true, 1},
    };
    SetupPromptGate gate;
    for (size_t i = 0; i < std::size(steps); ++i) {
        const Step& s = steps[i];
        SCOPED_TRACE(i);
        switch (s.event) {
            case OPEN:
                gate.Opened(PromptTarget{"NAS", 0x0A000001, {1, 2, 3, 4, 5, 6}});
                EXPECT_EQ(gate.firstPrompt(), 0);
                break;
            case CLOSE:
                EXPECT_EQ(gate.Closed().ip, 0x0A000001u);
                EXPECT_EQ(gate.target().ip, 0u);
                break;
            case TICK:
                EXPECT_EQ(gate.DontAsk(true), 0u);
                break;
            case UNTICK:
                EXPECT_EQ(gate.DontAsk(false), 1u);
                break;
            case DIALOG: {
                const bool wasOpen = gate.open();
                EXPECT_EQ(gate.DialogOpened(), wasOpen);
                EXPECT_FALSE(gate.open());
                break;
            }
            case DIALOG_GONE:
                gate.DialogClosed();
                break;
            case NONE:
                break;
        }
        EXPECT_EQ(gate.ShouldOpen(s.configured), s.opens);
        EXPECT_EQ(gate.askSetup(), s.askSetup);
    }
    // A stored "don't ask" holds from the start of the next run, first
    // prompt included; any other stored number asks.
    EXPECT_FALSE(SetupPromptGate(0).ShouldOpen(0));
    EXPECT_TRUE(SetupPromptGate(7).ShouldOpen(0));
    gate.Reset(0);
    EXPECT_FALSE(gate.open());
    EXPECT_EQ(gate.firstPrompt(), 0);
}

TEST(SetupPromptTextTest, FillsTheTwoPlacesAndNothingElse) {
    const std::string format =
        "The server '%s' (%s) is not configured yet, would  you like to set it up now?\n\n"
        "The Quick Configuration Wizard will guide you through the configuration process.";
    EXPECT_EQ(FormatPromptText(format, "NAS-1", "10.77.0.11"),
              "The server 'NAS-1' (10.77.0.11) is not configured yet, would  you like to set it "
              "up now?\n\nThe Quick Configuration Wizard will guide you through the configuration "
              "process.");
    struct Case {
        const char* format;
        const char* name;
        const char* out;
    } cases[] = {
        {"'%s' (%s) %s %d %", "%s%n", "'%s%n' (1.2.3.4) %s %d %"},
        {"%s", "", ""},
        {"no places", "x", "no places"},
        {"100%% %s", "N", "100%% N"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatPromptText(c.format, c.name, "1.2.3.4"), c.out) << c.format;
}
