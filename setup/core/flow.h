// The installer's flow decisions that need no window: which wizard pages
// stay, the summary text, [PreRun Programs] command lines, the DirectX
// hand-off and the program after installation, and what the result page
// shows and does at Finish.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "setup/core/config.h"

namespace setup {

enum Page {
    kPageWelcome,
    kPageLicence,
    kPageInterface,
    kPageDestination,
    kPageFolder,
    kPageStart,
    kPageCopy,
    kPageResult,
    kPageCount
};
const char* PageName(int page);

// The pages that stay, in order, and the ones that the Welcome page removes
// (highest index first).
std::vector<int> PagesShown(const Settings& s, const InstallerFlags& f);
std::vector<int> PagesRemoved(const Settings& s, const InstallerFlags& f);

struct SummaryLabels {
    std::string product, version, directory, folder;  // strings 102, 103, 108, 112
};
std::string SummaryText(const Settings& s, const SummaryLabels& labels,
                        const std::string& installDir, const std::string& programFolder);

struct PreRun {
    std::string commandLine;
    std::string directory;
    bool wait = false;
};
std::vector<PreRun> PreRunPrograms(Profile& p, const std::string& file, const ValueParser& parser);

struct Handoff {
    std::string folder;   // DirectX: the folder it runs from
    std::string program;  // full path
    std::string arguments;
    bool empty() const { return program.empty(); }
};
// [PostCheck Programs]: the first DirectX entry whose required version is
// above `installedVersion` and whose program exists.
Handoff DirectXHandoff(Profile& p, const std::string& file, const ValueParser& parser,
                       unsigned long installedVersion, const std::string& locale, const LogFn& log);
// [Run Program After Installation]: its first key only.
Handoff ProgramAfterInstallation(Profile& p, const std::string& file, const ValueParser& parser);

struct ResultInput {
    int resultCode = 0;
    size_t temporaryCopies = 0;
    bool restart = false;
    bool driverRestart = false;
    bool noRestart = false;
    bool directX = false;
    bool programAfter = false;
};
enum ResultKind { kResultFailed, kResultAskRestart, kResultFinish, kResultDirectX };
// Temporary copies set the restart flag first (*restart is updated).
ResultKind DecideResult(const ResultInput& in, bool* restart);

enum FinishAction {
    kFinishNothing,
    kFinishRestart,
    kFinishDirectX,
    kFinishProgram,
    kFinishReenumerate
};
FinishAction DecideFinish(ResultKind kind, bool restartNowChosen, bool directX, bool programAfter,
                          bool reenumerate);

// The product name in a text and the wininit.ini rename line.
using shared::AddRenameLine;
using shared::FormatProduct;

}  // namespace setup
