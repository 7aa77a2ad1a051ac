// Account files: a signature line, then one account per line. The line
// checker, the reader that cuts the file into lines piece by piece, and the
// texts of the result rows. Portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace accounts {

// Verdicts of CheckLine.
constexpr int kLineOk = 0;
constexpr int kSyntaxError = -1;
constexpr int kBadUserName = -2;
constexpr int kBadPassword = -3;
constexpr int kBadQuota = -4;
constexpr int kBadGroup = -5;
// A line that does not fit one import item: refused whole, never cut.
constexpr int kLineTooLong = -6;

// The longest line (after its leading blanks) that is sent.
constexpr std::size_t kMaxLineBytes = 127;
// The longest field value.
constexpr std::size_t kMaxFieldBytes = 99;

// Checks one account line (leading blanks already skipped). 0 when it is
// sent, else the verdict of the first fault from the left.
int CheckLine(std::string_view line);

// The first column of a result row for a refused line's verdict.
const char* VerdictText(int verdict);

// Result rows that are not verdicts of the checker.
constexpr const char kImportFailed[] = "import failed";
constexpr const char kNoReply[] = "no reply";
constexpr const char kNotSent[] = "not sent";

// "%s (Err Code: %d)" for a line the server refused.
std::string FailureText(const std::string& line, int16_t status);

// The first 15 bytes of an account file.
enum class Signature { kOk, kNotAccountFile /* first byte not 0xFF */, kOtherText };
constexpr std::size_t kSignatureBytes = 15;
Signature CheckSignature(const uint8_t* head, std::size_t length);

// Cuts a file into account lines, read in pieces of at most 256 bytes. Any
// run of CR and LF bytes is one line break; the first line (the signature)
// is dropped; each line is given without its leading spaces and tabs. A line
// that does not fit the buffer is given once as over-long, with its first
// bytes, and the rest of it up to the next line break is skipped.
class AccountReader {
public:
    static constexpr std::size_t kPieceBytes = 256;

    struct Line {
        std::string text;
        bool overLong = false;
    };

    // How many bytes to read next (256 minus the unfinished line carried).
    std::size_t Want() const { return kPieceBytes - carry_.size(); }
    // One piece as read; `atEnd` when this read reached the end of the file.
    // Returns the complete lines of the piece, in file order.
    std::vector<Line> Feed(const uint8_t* data, std::size_t length, bool atEnd);

private:
    // A line, or the start of an over-long one (cut to kMaxLineBytes); the
    // first line of the file is dropped.
    void Emit(std::string_view raw, bool overLong, std::vector<Line>* out);

    std::string carry_;
    bool inSignature_ = true;  // the first line is not an account
    bool skipping_ = false;    // inside an over-long line
};

}  // namespace accounts
