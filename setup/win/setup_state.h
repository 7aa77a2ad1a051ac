// The installer's state in one object: what the start found (system, setup
// file, switches), what the copying did and what the result page decided.
// The program's start makes it; the wizard's pages read and change it.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "setup/core/flow.h"
#include "setup/core/install.h"
#include "setup/win/install_host.h"
#include "setup/win/win_profile.h"

namespace setup_win {

// Exit codes: 4 when the run ended but some file of the copy list is not in
// place (a source missing from the medium, a refused entry): the /LOG file
// names each one.
constexpr int kExitOk = 0, kExitNoSetupFile = 1, kExitCancelled = 2, kExitFailed = 3,
              kExitIncomplete = 4;

struct SetupState {
    // ---- The start ----
    setup::WinProfile profile;
    setup::OsVersion os;
    setup::Directories dirs;
    std::string setupDir;
    std::string setupFile;
    std::string installDir;
    std::string programFolder;
    std::wstring caption;
    setup::Settings settings;
    setup::InstallerFlags flags;
    setup::Switches switches;

    // ---- The copying page and its worker thread ----
    volatile LONG cancel = 0;
    HANDLE pause = nullptr;
    HANDLE worker = nullptr;
    volatile LONG percent = 0;
    volatile LONG copyTextPending = 0;
    volatile LONG held = 0;  // the worker is held (see PageLink::held)
    bool busy = false;
    bool registryStage = false;
    // The Exit dialog is open; the worker's end waits for the answer.
    bool askingExit = false;
    bool workerDonePending = false;
    std::unique_ptr<WinHost> host;
    WinDriverHost driverHost;
    std::unique_ptr<setup::Installation> install;

    // ---- What the copying left ----
    int resultCode = 0;
    bool listRefused = false;
    bool driverRestart = false;
    bool reenumerate = false;
    std::vector<setup::Installation::TemporaryCopy> temporaryCopies;
    std::vector<std::string> notInstalled;

    // ---- The result ----
    bool pagesRemoved = false;
    setup::Handoff directX;
    setup::Handoff runAfter;
    setup::ResultKind resultKind = setup::kResultFinish;
    // Finish chose the restart: asked for when the program ends.
    bool restartAtEnd = false;
    int exitCode = kExitOk;

    // The program's text `id` with the product's name for "%s".
    std::wstring Product(UINT id) const;
};

}  // namespace setup_win
