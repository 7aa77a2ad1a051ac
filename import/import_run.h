// The account import without windows: the worker's loop over the file, the
// mailbox that hands a reply from the dispatcher to the waiting worker, and
// the host interface through which the worker reads, sends and reports.
// Portable (standard threads only).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "import/account_file.h"

namespace accounts {

// The one reply the worker waits for: from its server, numbered as the answer
// to its last request. A reply that comes after its wait ended, or from
// another server, is never taken for the answer to a later line.
class ReplyMailbox {
public:
    // Worker, after sending `line` to the server `serverId` with request
    // number `requestSeq`.
    void Expect(const uint8_t serverId[6], uint16_t requestSeq, const std::string& line);
    // Worker: waits up to `timeout` for the answer (its status), or none.
    // The wait ends early, with none, once Close has been called.
    std::optional<int16_t> Wait(std::chrono::milliseconds timeout);
    // Dispatcher: a reply to an import request. When it is the awaited one,
    // `onFailure` runs first for a negative status (with the line), then the
    // worker wakes; returns whether it was taken.
    bool Deliver(const uint8_t serverId[6], uint16_t seq, int16_t status,
                 const std::function<void(const std::string& line, int16_t status)>& onFailure);
    // No further waiting (the program is closing).
    void Close();
    bool closed();

private:
    std::mutex lock_;
    std::condition_variable wake_;
    bool expecting_ = false;
    bool answered_ = false;
    bool closed_ = false;
    uint8_t serverId_[6] = {};
    uint16_t replySeq_ = 0;
    int16_t status_ = 0;
    std::string line_;
};

// What the worker asks of the program. Called on the worker thread.
class ImportHost {
public:
    virtual ~ImportHost() = default;
    // Whether the status window is still open (closing it cancels).
    virtual bool StatusOpen() = 0;
    // The file: its length, then pieces. False on a read error.
    virtual bool Open(uint64_t* length) = 0;
    virtual bool Read(uint8_t* buffer, std::size_t want, std::size_t* got) = 0;
    virtual void CloseFile() = 0;
    // Sends one line to the import's server and arms `mailbox` for its
    // answer. False when the server is no longer there to send to.
    virtual bool SendLine(const std::string& line, ReplyMailbox& mailbox) = 0;
    // A row of the result window.
    virtual void AddRow(const std::string& type, const std::string& text) = 0;
    virtual void Progress(uint64_t done, uint64_t total) = 0;
    virtual void Pause(std::chrono::milliseconds ms) = 0;
    // A file error, shown to the user.
    virtual void FileError() = 0;
};

// The program's handle of the server an import writes to (0: none).
using ImportServer = uint64_t;

// What an import session needs of the program: the line sender and the
// mailbox the dispatcher delivers the answers to.
class LineSender {
public:
    virtual ~LineSender() = default;
    // Worker thread: sends one account line to `server`, with `mailbox` armed
    // for its answer. False when that server is gone.
    virtual bool SendImportLine(ImportServer server, const std::string& line,
                                ReplyMailbox& mailbox) = 0;
    virtual ReplyMailbox& importReplies() = 0;
};

struct ImportCounts {
    int sent = 0, answered = 0, failed = 0, noReply = 0, refused = 0, notSent = 0;
    bool cancelled = false, serverGone = false, fileError = false;
};

// The worker: reads the file in pieces, checks each line, sends the good
// ones one at a time and waits for each answer. Once the status window is
// closed or the server has gone, the good lines left are listed as not sent
// (the answer to the line in flight is still awaited); once the mailbox is
// closed (the program ends) it stops at once and adds nothing. Returns what
// happened; the caller then closes the status window and shows the result.
ImportCounts RunImport(ImportHost& host, ReplyMailbox& mailbox,
                       std::chrono::milliseconds replyWait = std::chrono::milliseconds(10000));

}  // namespace accounts
