#include "import/import_run.h"

#include <cstring>
#include <vector>

namespace accounts {

void ReplyMailbox::Expect(const uint8_t serverId[6], uint16_t requestSeq, const std::string& line) {
    std::lock_guard<std::mutex> guard(lock_);
    std::memcpy(serverId_, serverId, 6);
    replySeq_ = static_cast<uint16_t>((requestSeq + 1u) % 10000u);
    line_ = line;
    expecting_ = true;
    answered_ = false;
}

std::optional<int16_t> ReplyMailbox::Wait(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> guard(lock_);
    wake_.wait_for(guard, timeout, [&] { return answered_ || closed_; });
    // Whatever ended the wait, a later reply is no longer this line's.
    expecting_ = false;
    if (!answered_)
        return std::nullopt;
    answered_ = false;
    return status_;
}

bool ReplyMailbox::Deliver(const uint8_t serverId[6], uint16_t seq, int16_t status,
                           const std::function<void(const std::string&, int16_t)>& onFailure) {
    std::lock_guard<std::mutex> guard(lock_);
    if (!expecting_ || answered_ || seq != replySeq_ || std::memcmp(serverId, serverId_, 6) != 0)
        return false;
    if (status < 0 && onFailure)
        onFailure(line_, status);
    status_ = status;
    answered_ = true;
    wake_.notify_all();
    return true;
}

void ReplyMailbox::Close() {
    std::lock_guard<std::mutex> guard(lock_);
    closed_ = true;
    wake_.notify_all();
}

bool ReplyMailbox::closed() {
    std::lock_guard<std::mutex> guard(lock_);
    return closed_;
}

ImportCounts RunImport(ImportHost& host, ReplyMailbox& mailbox,
                       std::chrono::milliseconds replyWait) {
    ImportCounts counts;
    uint64_t total = 0;
    if (!host.Open(&total)) {
        counts.fileError = true;
        host.FileError();
        return counts;
    }
    AccountReader reader;
    uint64_t done = 0;
    std::vector<uint8_t> piece(AccountReader::kPieceBytes);
    // Once the user cancels or the server is gone nothing more is sent, but
    // the rest of the file is still read so that every line it holds is
    // listed: refused, or not sent. Only the program's end stops at once.
    bool sending = true;
    while (done < total && !mailbox.closed()) {
        std::size_t got = 0;
        const std::size_t want = reader.Want();
        if (!host.Read(piece.data(), want, &got)) {
            counts.fileError = true;
            host.FileError();
            break;
        }
        // A file that shrank while it was read ends here.
        const bool atEnd = got < want || done + got >= total;
        for (const AccountReader::Line& line : reader.Feed(piece.data(), got, atEnd)) {
            if (mailbox.closed())
                break;
            const int verdict = line.overLong ? kLineTooLong : CheckLine(line.text);
            if (verdict != kLineOk) {
                host.AddRow(VerdictText(verdict), line.text);
                ++counts.refused;
                continue;
            }
            if (sending && !host.StatusOpen()) {
                sending = false;
                counts.cancelled = true;
            }
            if (sending && !host.SendLine(line.text, mailbox)) {
                // The server is gone (the list was rebuilt).
                sending = false;
                counts.serverGone = true;
            }
            if (!sending) {
                host.AddRow(kNotSent, line.text);
                ++counts.notSent;
                continue;
            }
            ++counts.sent;
            const std::optional<int16_t> status = mailbox.Wait(replyWait);
            if (!status) {
                if (mailbox.closed())
                    break;
                host.AddRow(kNoReply, line.text);
                ++counts.noReply;
            } else {
                ++counts.answered;
                counts.failed += *status < 0;
            }
        }
        done += got;
        host.Progress(done, total);
        if (got == 0)
            break;
        if (done >= total && sending)
            host.Pause(std::chrono::milliseconds(200));
    }
    host.CloseFile();
    return counts;
}

}  // namespace accounts
