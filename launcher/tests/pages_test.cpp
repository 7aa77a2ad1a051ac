#include "launcher/core/pages.h"

#include <gtest/gtest.h>

#include <vector>

namespace launcher {
namespace {

TEST(LauncherLayout, CentresAndPlacesForEveryScreen) {
    const Rect next{200, 424, 300, 452}, cancel{310, 424, 410, 452}, text{70, 300, 540, 380};
    struct Row {
        int w, h, left, top;
    } rows[] = {
        {1024, 768, 192, 144},
        {640, 480, 0, 0},
        {1025, 769, 192, 144},   // integer division
        {320, 200, -160, -140},  // smaller than the page: no clamping
    };
    for (const Row& r : rows) {
        const PageLayout l = LayOutPage(r.w, r.h, next, cancel, text);
        EXPECT_EQ(l.window, (Rect{r.left, r.top, r.left + 640, r.top + 480})) << r.w << "x" << r.h;
        EXPECT_EQ(l.next, (Rect{350, 404, 450, 432}));
        EXPECT_EQ(l.cancel, (Rect{480, 404, 580, 432}));
        EXPECT_EQ(l.text, (Rect{80, 310, 550, 390}));
    }
}

TEST(LauncherPages, NextAndCancelOnEachPage) {
    EXPECT_EQ(OnNext(1), PageAction::ShowNextPage);
    EXPECT_EQ(OnNext(2), PageAction::ShowNextPage);
    EXPECT_EQ(OnNext(3), PageAction::StartInstaller);
    EXPECT_EQ(OnCancel(1), PageAction::Close);
    EXPECT_EQ(OnCancel(2), PageAction::EndProcess);
    EXPECT_EQ(OnCancel(3), PageAction::EndProcess);
}

struct FakeStarter : Starter {
    bool process = false, shell = false;
    std::vector<std::string> calls;
    bool StartProcess(const std::string& c) override {
        calls.push_back("process " + c);
        return process;
    }
    bool ShellOpen(const std::string& f) override {
        calls.push_back("shell " + f);
        return shell;
    }
};

TEST(LauncherStart, ProcessFirstThenShellThenNothing) {
    struct Row {
        bool process, shell;
        StartedBy result;
        size_t calls;
    } rows[] = {{true, true, StartedBy::Process, 1},
                {false, true, StartedBy::Shell, 2},
                {false, false, StartedBy::Nothing, 2}};
    for (const Row& r : rows) {
        FakeStarter s;
        s.process = r.process;
        s.shell = r.shell;
        EXPECT_EQ(StartInstaller(s), r.result);
        ASSERT_EQ(s.calls.size(), r.calls);
        EXPECT_EQ(s.calls[0], "process setup.exe");
        if (r.calls > 1) {
            EXPECT_EQ(s.calls[1], "shell setup.exe");
        }
    }
}

}  // namespace
}  // namespace launcher
