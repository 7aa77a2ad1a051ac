#include "import/account_file.h"

#include <cstdio>

namespace accounts {

namespace {

bool Blank(char c) {
    return c == ' ' || c == '\t';
}
bool Break(char c) {
    return c == '\r' || c == '\n';
}

std::size_t FirstBlank(std::string_view s) {
    for (std::size_t i = 0; i < s.size(); ++i)
        if (Blank(s[i]))
            return i;
    return std::string_view::npos;
}

// Field checks by position (1 user name, 2 password, 3 quota).
int CheckField(int field, std::string_view value) {
    switch (field) {
        case 1:
            return value.empty() || value.size() > 32 ? kBadUserName : kLineOk;
        case 2:
            return value.size() > 16 ? kBadPassword : kLineOk;
        case 3:
            if (value.size() > kMaxFieldBytes)
                return kBadQuota;
            for (std::size_t i = 0; i < value.size(); ++i) {
                const char c = value[i];
                const bool sign = i == 0 && (c == '+' || c == '-');
                if (!sign && (c < '0' || c > '9'))
                    return kBadQuota;
            }
            return kLineOk;
        default:
            return kSyntaxError;  // a fifth field
    }
}

}  // namespace

int CheckLine(std::string_view line) {
    if (line.size() > kMaxLineBytes)
        return kLineTooLong;
    if (line.find('\0') != std::string_view::npos)
        return kSyntaxError;
    std::string_view s = line;
    while (!s.empty() && Blank(s.back()))
        s.remove_suffix(1);
    std::size_t pos = 0;
    int field = 0;
    auto skipBlanks = [&] {
        while (pos < s.size() && Blank(s[pos]))
            ++pos;
    };
    for (;;) {
        if (pos >= s.size())
            return kLineOk;
        if (field == 3) {
            // The group list: names separated by single commas.
            for (;;) {
                const std::string_view rest = s.substr(pos);
                const std::size_t comma = rest.find(',');
                std::size_t nameLength;
                if (rest[0] == '"') {
                    const std::size_t close = rest.find('"', 1);
                    if (close == std::string_view::npos ||
                        (comma != std::string_view::npos && close > comma))
                        return kSyntaxError;
                    nameLength = close - 1;
                    pos += close + 1;
                } else if (comma != std::string_view::npos) {
                    if (FirstBlank(rest.substr(0, comma)) != std::string_view::npos)
                        return kSyntaxError;
                    nameLength = comma;
                    pos += comma;
                } else {
                    if (FirstBlank(rest) != std::string_view::npos)
                        return kSyntaxError;
                    return rest.size() > kMaxFieldBytes ? kBadGroup : kLineOk;
                }
                if (nameLength > kMaxFieldBytes)
                    return kBadGroup;
                if (pos >= s.size())
                    return kLineOk;
                if (Blank(s[pos]))
                    return kSyntaxError;
                if (s[pos] != ',')
                    return kSyntaxError;  // a fifth field
                ++pos;
                if (pos >= s.size() || Blank(s[pos]))
                    return kBadGroup;
            }
        }
        const std::string_view rest = s.substr(pos);
        const std::size_t quote = rest.find('"');
        const std::size_t blank = FirstBlank(rest);
        std::string_view value;
        if (quote != std::string_view::npos && (blank == std::string_view::npos || quote < blank)) {
            const std::size_t close = rest.find('"', quote + 1);
            if (close == std::string_view::npos)
                return kSyntaxError;
            value = rest.substr(quote + 1, close - quote - 1);
            pos += close + 1;
            skipBlanks();
        } else if (blank != std::string_view::npos) {
            value = rest.substr(0, blank);
            pos += blank;
            skipBlanks();
        } else {
            value = rest;
            pos = s.size();
        }
        ++field;
        const int verdict = CheckField(field, value);
        if (verdict != kLineOk)
            return verdict;
    }
}

const char* VerdictText(int verdict) {
    switch (verdict) {
        case kSyntaxError:
            return "Syntax Error";
        case kBadUserName:
            return "illegal username";
        case kBadPassword:
            return "illegal password";
        case kBadQuota:
            return "illegal quota";
        case kBadGroup:
            return "illegal group";
        case kLineTooLong:
            return "line too long";
        default:
            return "";
    }
}

std::string FailureText(const std::string& line, int16_t status) {
    char code[32];
    std::snprintf(code, sizeof code, " (Err Code: %d)", static_cast<int>(status));
    return line + code;
}

Signature CheckSignature(const uint8_t* head, std::size_t length) {
    static const char kText[] = "Kivo Brellmark";
    if (length < 1 || head[0] != 0xFF)
        return Signature::kNotAccountFile;
    if (length < kSignatureBytes)
        return Signature::kOtherText;
    for (std::size_t i = 0; i < kSignatureBytes - 1; ++i) {
        unsigned char a = head[1 + i], b = static_cast<unsigned char>(kText[i]);
        if (a >= 'a' && a <= 'z')
            a = static_cast<unsigned char>(a - 'a' + 'A');
        if (b >= 'a' && b <= 'z')
            b = static_cast<unsigned char>(b - 'a' + 'A');
        if (a != b)
            return Signature::kOtherText;
    }
    return Signature::kOk;
}

void AccountReader::Emit(std::string_view raw, bool overLong, std::vector<Line>* out) {
    if (inSignature_) {
        inSignature_ = false;
        return;
    }
    std::size_t start = 0;
    while (start < raw.size() && Blank(raw[start]))
        ++start;
    raw.remove_prefix(start);
    out->push_back(Line{std::string(overLong ? raw.substr(0, kMaxLineBytes) : raw), overLong});
}

std::vector<AccountReader::Line> AccountReader::Feed(const uint8_t* data, std::size_t length,
                                                     bool atEnd) {
    std::vector<Line> out;
    std::string buffer = carry_;
    buffer.append(reinterpret_cast<const char*>(data), length);
    carry_.clear();
    std::size_t pos = 0;
    while (pos < buffer.size()) {
        if (Break(buffer[pos])) {
            // A line break ends any line, an over-long one too: it may have
            // ended exactly at the end of the last piece.
            skipping_ = false;
            ++pos;
            continue;
        }
        std::size_t end = pos;
        while (end < buffer.size() && !Break(buffer[end]))
            ++end;
        const std::string_view raw(buffer.data() + pos, end - pos);
        const bool complete = end < buffer.size() || atEnd;
        if (skipping_) {
            // The tail of an over-long line, already reported.
            if (complete)
                skipping_ = false;
        } else if (complete) {
            Emit(raw, false, &out);
        } else if (raw.size() >= kPieceBytes) {
            // No line break in a whole buffer: the line cannot be read whole.
            Emit(raw, true, &out);
            skipping_ = true;
        } else {
            carry_.assign(raw);
        }
        pos = end;
    }
    return out;
}

}  // namespace accounts
