#include "import/import_run.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

using namespace accounts;
using namespace std::chrono_literals;

namespace {

const uint8_t kServer[6] = {0, 0x11, 0x32, 1, 2, 3};
const uint8_t kOther[6] = {0, 0x11, 0x32, 9, 9, 9};

// A file in memory and a scripted server: answers by user name ("late"
// answers arrive while the next line is awaited, "none" never).
class FakeHost : public ImportHost {
public:
    std::string file;
    std::map<std::string, std::string> script;  // first word -> "-7", "late", "none", "gone",
                                                // "cancel", "quit"
    std::vector<std::string> sent;
    std::vector<std::pair<std::string, std::string>> rows;
    std::vector<uint64_t> progress;
    bool open = true;
    uint16_t seq = 100;
    ReplyMailbox* mailbox = nullptr;
    std::vector<std::pair<uint16_t, int16_t>> lateAnswers;

    bool StatusOpen() override { return open; }
    bool Open(uint64_t* length) override {
        *length = file.size();
        return true;
    }
    bool Read(uint8_t* buffer, std::size_t want, std::size_t* got) override {
        *got = std::min(want, file.size() - pos_);
        std::memcpy(buffer, file.data() + pos_, *got);
        pos_ += *got;
        return true;
    }
    void CloseFile() override {}
    bool SendLine(const std::string& line, ReplyMailbox& mb) override {
        const std::string user = line.substr(0, line.find(' '));
        if (script[user] == "gone")
            return false;
        sent.push_back(line);
        if (script[user] == "cancel")
            open = false;
        if (script[user] == "quit")
            mailbox->Close();
        const uint16_t request = seq;
        seq = static_cast<uint16_t>((seq + 2) % 10000);
        mb.Expect(kServer, request, line);
        // Answers that come too late, and one from another server, first.
        for (auto [s, st] : lateAnswers)
            EXPECT_FALSE(mb.Deliver(kServer, s, st, nullptr));
        lateAnswers.clear();
        EXPECT_FALSE(mb.Deliver(kOther, static_cast<uint16_t>(request + 1), -9, nullptr));
        const std::string what = script[user];
        const uint16_t reply = static_cast<uint16_t>((request + 1) % 10000);
        if (what == "late" || what == "none") {
            if (what == "late")
                lateAnswers.push_back({reply, -3});
            return true;
        }
        const int16_t status =
            what.empty() || !std::isdigit(static_cast<unsigned char>(what.back()))
                ? 0
                : static_cast<int16_t>(std::stoi(what));
        EXPECT_TRUE(mb.Deliver(kServer, reply, status, [&](const std::string& l, int16_t st) {
            rows.push_back({kImportFailed, FailureText(l, st)});
        }));
        return true;
    }
    void AddRow(const std::string& type, const std::string& text) override {
        rows.push_back({type, text});
    }
    void Progress(uint64_t done, uint64_t) override { progress.push_back(done); }
    void Pause(std::chrono::milliseconds) override {}
    void FileError() override {}

private:
    size_t pos_ = 0;
};

std::string File(const std::vector<std::string>& lines) {
    std::string f = "\xFFKivo Brellmark\r\n";
    for (const auto& l : lines)
        f += l + "\r\n";
    return f;
}

}  // namespace

// One run through every outcome: accepted, refused, failed on the server,
// answered too late, never answered; rows in file order, each failure row
// quoting its own line.
TEST(RunImport, EveryOutcomeGetsItsRow) {
    FakeHost host;
    host.script = {{"bob", "-7"}, {"slow", "late"}, {"mute", "none"}, {"carl", "1"}};
    host.file = File({"alice pw", "bob pw", "x pw 12a", "slow pw", "after pw", "mute pw",
                      "   carl pw 10 g1,g2", std::string(130, 'l'), "dave \"\" 5 g1,"});
    ReplyMailbox mailbox;
    const ImportCounts c = RunImport(host, mailbox, 1ms);
    EXPECT_EQ(host.sent, (std::vector<std::string>{"alice pw", "bob pw", "slow pw", "after pw",
                                                   "mute pw", "carl pw 10 g1,g2"}));
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"import failed", "bob pw (Err Code: -7)"},
        {"illegal quota", "x pw 12a"},
        {"no reply", "slow pw"},
        {"no reply", "mute pw"},
        {"line too long", std::string(130, 'l')},
        {"illegal group", "dave \"\" 5 g1,"},
    };
    EXPECT_EQ(host.rows, rows);
    EXPECT_EQ(c.sent, 6);
    EXPECT_EQ(c.noReply, 2);
    EXPECT_EQ(c.failed, 1);
    EXPECT_EQ(c.refused, 3);
    ASSERT_FALSE(host.progress.empty());
    EXPECT_EQ(host.progress.back(), host.file.size());
}

// Every way an import ends early, at the line user3 while it is in flight:
// nothing is sent afterwards, and every line is accounted for (sent, refused,
// or not sent), except when the program ends, which stops at once.
TEST(RunImport, WaysOutAccountForEveryLine) {
    std::vector<std::string> lines;
    for (int i = 0; i < 100; ++i)
        lines.push_back(i == 80 ? "bad pw 12a" : "user" + std::to_string(i) + " pw");
    struct Case {
        const char* way;  // the script of user3
        size_t sent;
        bool listsTheRest;
    } cases[] = {
        {"cancel", 4, true},  // the status window closed while user3 is awaited
        {"gone", 3, true},    // the list was rebuilt: user3 cannot go
        {"quit", 4, false},   // the program ends
    };
    for (const Case& c : cases) {
        FakeHost host;
        host.script = {{"user3", c.way}};
        host.file = File(lines);
        ReplyMailbox mailbox;
        host.mailbox = &mailbox;
        const ImportCounts counts = RunImport(host, mailbox, 1ms);
        EXPECT_EQ(host.sent, std::vector<std::string>(lines.begin(), lines.begin() + c.sent))
            << c.way;
        std::vector<std::pair<std::string, std::string>> rows;
        for (size_t i = c.sent; c.listsTheRest && i < lines.size(); ++i)
            rows.push_back({i == 80 ? "illegal quota" : "not sent", lines[i]});
        EXPECT_EQ(host.rows, rows) << c.way;
        EXPECT_EQ(counts.notSent, c.listsTheRest ? 99 - static_cast<int>(c.sent) : 0) << c.way;
        EXPECT_EQ(host.progress.back() == host.file.size(), c.listsTheRest) << c.way;
    }
}

// The dispatcher's thread answers while the worker waits; answers that come
// after their wait are never taken for a later line's.
TEST(ReplyMailbox, LateAnswersFromAnotherThreadAreNotMisattributed) {
    ReplyMailbox mailbox;
    std::vector<std::string> failed;
    std::atomic<bool> done{false};
    std::mutex m;
    std::vector<std::pair<uint16_t, int16_t>> outbox;  // answers to deliver
    std::thread dispatcher([&] {
        while (!done) {
            std::vector<std::pair<uint16_t, int16_t>> now;
            {
                std::lock_guard<std::mutex> g(m);
                now.swap(outbox);
            }
            for (auto [seq, st] : now)
                mailbox.Deliver(kServer, seq, st,
                                [&](const std::string& l, int16_t) { failed.push_back(l); });
            std::this_thread::sleep_for(1ms);
        }
    });
    int answered = 0;
    for (int i = 0; i < 200; ++i) {
        const uint16_t request = static_cast<uint16_t>(2 * i);
        mailbox.Expect(kServer, request, "line" + std::to_string(i));
        {
            std::lock_guard<std::mutex> g(m);
            // Every third line is answered late (a stale number comes now,
            // its own answer never); the others fail with -1.
            if (i % 3 == 0)
                outbox.push_back({static_cast<uint16_t>(request - 1), -5});
            else
                outbox.push_back({static_cast<uint16_t>(request + 1), -1});
        }
        answered += mailbox.Wait(i % 3 == 0 ? 5ms : 2000ms).has_value();
    }
    done = true;
    dispatcher.join();
    EXPECT_EQ(answered, 133);
    ASSERT_EQ(failed.size(), 133u);
    for (const auto& l : failed)
        EXPECT_NE(std::stoi(l.substr(4)) % 3, 0) << l;
    mailbox.Close();
    EXPECT_FALSE(mailbox.Wait(10s).has_value());  // returns at once once closed
}
