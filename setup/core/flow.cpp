#include "setup/core/flow.h"

#include <cstdlib>

namespace setup {

const char* PageName(int page) {
    static const char* const names[kPageCount] = {"Welcome",
                                                  "Software License Agreement",
                                                  "Hardware Interface Selection",
                                                  "Choose Destination Location",
                                                  "Select Program Folder",
                                                  "Start Installation",
                                                  "Installation Procedures",
                                                  "Setup Result"};
    return page >= 0 && page < kPageCount ? names[page] : "?";
}

std::vector<int> PagesRemoved(const Settings& s, const InstallerFlags& f) {
    std::vector<int> removed;
    if (!s.askProgramFolder || f.silent)
        removed.push_back(kPageFolder);
    if (!s.askPath || f.silent)
        removed.push_back(kPageDestination);
    if (!f.interfacePage || f.silent)
        removed.push_back(kPageInterface);
    if (!s.askLicense || f.silent)
        removed.push_back(kPageLicence);
    return removed;
}

std::vector<int> PagesShown(const Settings& s, const InstallerFlags& f) {
    const auto removed = PagesRemoved(s, f);
    std::vector<int> shown;
    for (int p = 0; p < kPageCount; ++p) {
        bool gone = false;
        for (int r : removed)
            gone = gone || r == p;
        if (!gone)
            shown.push_back(p);
    }
    return shown;
}

std::string SummaryText(const Settings& s, const SummaryLabels& labels,
                        const std::string& installDir, const std::string& programFolder) {
    const std::string indent(10, ' ');
    auto block = [&](const std::string& label, const std::string& value) {
        return label + ":\r\n" + indent + value;
    };
    std::string text = block(labels.product, s.productName);
    text += "\r\n\r\n" + block(labels.version, s.version);
    if (s.askPath)
        text += "\r\n\r\n" + block(labels.directory, installDir);
    if (s.askProgramFolder)
        text += "\r\n\r\n" + block(labels.folder, programFolder);
    return text;
}

std::vector<PreRun> PreRunPrograms(Profile& p, const std::string& file, const ValueParser& parser) {
    std::vector<PreRun> out;
    for (const auto& e : ReadList(p, file, "PreRun Programs", parser)) {
        auto field = [&](size_t i) { return i < e.fields.size() ? e.fields[i] : std::string(); };
        PreRun r;
        r.directory = field(0);
        const std::string program = JoinPath(r.directory, e.key);
        const std::string arguments = field(1);
        std::string line;
        line.reserve(program.size() + arguments.size() + 3);
        line.push_back('"');
        line.append(program);
        line.append("\" ");
        line.append(arguments);
        r.commandLine = std::move(line);
        r.wait = field(2) == "1";
        out.push_back(std::move(r));
    }
    return out;
}

Handoff DirectXHandoff(Profile& p, const std::string& file, const ValueParser& parser,
                       unsigned long installedVersion, const std::string& locale,
                       const LogFn& log) {
    const int number = DirectXLanguageNumber(locale);
    for (const auto& e : ReadList(p, file, "PostCheck Programs", parser)) {
        if (!StartsNoCase(e.key, "DirectX"))
            continue;
        auto field = [&](size_t i) { return i < e.fields.size() ? e.fields[i] : std::string(); };
        const unsigned long required = std::strtoul(field(0).c_str(), nullptr, 0);
        if (installedVersion >= required) {
            if (log)
                log(e.key + ": installed DirectX " + std::to_string(installedVersion) +
                    " is not below " + std::to_string(required));
            continue;
        }
        Handoff h;
        h.folder = JoinPath(parser.dirs().setup, field(1));
        std::string program = number >= 0 ? field(3 + static_cast<size_t>(number)) : std::string();
        if (program.empty())
            program = field(2);
        h.program = JoinPath(h.folder, program);
        h.arguments = "/Q";
        if (program.empty() || !p.Exists(h.program)) {
            if (log)
                log(e.key + ": DirectX program " + h.program + " does not exist; no hand-off");
            continue;
        }
        if (log)
            log(e.key + ": DirectX hand-off to " + h.program);
        return h;
    }
    return {};
}

Handoff ProgramAfterInstallation(Profile& p, const std::string& file, const ValueParser& parser) {
    const auto keys = p.Keys(file, "Run Program After Installation", kTextChars);
    if (keys.empty())
        return {};
    const std::string value =
        p.String(file, "Run Program After Installation", keys[0], "", kTextChars);
    const auto fields = parser.Fields(value, 3);
    Handoff h;
    h.folder = fields.empty() || fields[0].empty() ? parser.dirs().setup : fields[0];
    h.program = JoinPath(h.folder, keys[0]);
    h.arguments = fields.size() > 2 ? fields[2] : std::string();
    return h;
}

ResultKind DecideResult(const ResultInput& in, bool* restart) {
    if (in.resultCode != 0)
        return kResultFailed;
    if (in.temporaryCopies > 0)
        *restart = true;
    if ((*restart || in.driverRestart) && !in.noRestart && !in.directX && !in.programAfter)
        return kResultAskRestart;
    return in.directX ? kResultDirectX : kResultFinish;
}

FinishAction DecideFinish(ResultKind kind, bool restartNowChosen, bool directX, bool programAfter,
                          bool reenumerate) {
    if (kind == kResultFailed)
        return kFinishNothing;
    if (kind == kResultAskRestart)
        return restartNowChosen ? kFinishRestart : kFinishNothing;
    if (directX)
        return kFinishDirectX;
    if (programAfter)
        return kFinishProgram;
    return reenumerate ? kFinishReenumerate : kFinishNothing;
}

}  // namespace setup
