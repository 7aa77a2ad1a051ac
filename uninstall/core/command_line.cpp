#include "uninstall/core/command_line.h"

#include "uninstall/core/paths.h"

namespace uninst {

namespace {
bool Blank(char c) {
    return c == ' ' || c == '\t';
}
std::string Trim(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && Blank(s[a]))
        ++a;
    while (b > a && (Blank(s[b - 1]) || s[b - 1] == '\r' || s[b - 1] == '\n'))
        --b;
    return s.substr(a, b - a);
}
std::string Unquote(const std::string& s) {
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"')
        return s.substr(1, s.size() - 2);
    return s;
}
}  // namespace

std::vector<std::string> SplitArguments(const std::string& text) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && Blank(text[i]))
            ++i;
        if (i >= text.size())
            break;
        std::string arg;
        bool quoted = false;
        for (; i < text.size() && (quoted || !Blank(text[i])); ++i) {
            if (text[i] == '"')
                quoted = !quoted;
            else
                arg += text[i];
        }
        out.push_back(arg);
    }
    return out;
}

std::string SkipProgramName(const std::string& commandLine, const std::string& modulePath) {
    const std::string line = Trim(commandLine);
    size_t i = 0;
    if (!line.empty() && line[0] == '"') {
        const size_t close = line.find('"', 1);
        i = close == std::string::npos ? line.size() : close + 1;
    } else if (!modulePath.empty() && line.size() >= modulePath.size() &&
               EqualNoCase(line.substr(0, modulePath.size()), modulePath) &&
               (line.size() == modulePath.size() || Blank(line[modulePath.size()]))) {
        i = modulePath.size();
    } else {
        while (i < line.size() && !Blank(line[i]))
            ++i;
    }
    return Trim(line.substr(i));
}

Arguments ParseArguments(const std::string& args) {
    Arguments a;
    const std::vector<std::string> parts = SplitArguments(args);
    size_t deleteSelf = parts.size();
    for (size_t i = 0; i < parts.size(); ++i)
        if (EqualNoCase(parts[i], "/DeleteSelf")) {
            deleteSelf = i;
            break;
        }
    if (parts.empty()) {
        a.form = Form::kFromIni;
    } else if (deleteSelf == 0) {
        // "/DeleteSelf" first: no key given.
        a.form = Form::kFromIniDirect;
        if (parts.size() > 1)
            a.home = parts[1];
    } else if (deleteSelf < parts.size()) {
        a.form = Form::kCopy;
        for (size_t i = 0; i < deleteSelf; ++i)
            a.key += (i > 0 ? " " : "") + parts[i];
        if (deleteSelf + 1 < parts.size())
            a.home = parts[deleteSelf + 1];
    } else {
        // The key as written after the program: blanks inside it belong to it.
        a.form = Form::kLaunch;
        a.key = Unquote(Trim(args));
    }
    return a;
}

std::string CopyCommandLine(const std::string& copyPath, const std::string& key,
                            const std::string& home) {
    return "\"" + copyPath + "\" \"" + key + "\" /DeleteSelf \"" + home + "\"";
}

UninstallCommand SplitUninstallString(const std::string& text) {
    const std::string line = Trim(text);
    UninstallCommand c;
    size_t end = 0;
    if (!line.empty() && line[0] == '"') {
        const size_t close = line.find('"', 1);
        c.program = line.substr(1, close == std::string::npos ? std::string::npos : close - 1);
        end = close == std::string::npos ? line.size() : close + 1;
    } else {
        std::string lower = ToLower(line);
        size_t exe = lower.find(".exe");
        while (exe != std::string::npos && exe + 4 < line.size() && !Blank(line[exe + 4]))
            exe = lower.find(".exe", exe + 1);
        if (exe != std::string::npos) {
            end = exe + 4;
        } else {
            while (end < line.size() && !Blank(line[end]))
                ++end;
        }
        c.program = line.substr(0, end);
    }
    c.key = Unquote(Trim(line.substr(end)));
    return c;
}

}  // namespace uninst
