// The account import on Windows: the open-file dialog and the signature
// check, the modeless status and result windows, and the worker thread that
// runs accounts::RunImport through this session.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

#include "import/import_run.h"
#include "ui/dialog.h"

// To the status window: wParam bytes processed, lParam file length.
constexpr UINT WM_IMPORT_PROGRESS = WM_USER + 16;
// From the result window to the main window once it is destroyed.
constexpr UINT WM_IMPORT_DONE = WM_USER + 256;

class CImportStatus : public ui::Dialog {
public:
    CImportStatus(HWND parent, const std::wstring& path);

protected:
    BOOL OnInitDialog() override;
    void OnCancel() override;
    INT_PTR OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool* handled) override;

private:
    std::wstring path_;
};

class CImportResult : public ui::Dialog {
public:
    CImportResult(HWND parent, HWND notify);
    // Appends a row (on the window's own thread).
    void AddRow(const std::wstring& type, const std::wstring& text);

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    INT_PTR OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool* handled) override;
    void OnDestroyed() override;

private:
    HWND notify_;
};

class ImportSession : public accounts::ImportHost {
public:
    ImportSession(HWND mainWindow, accounts::LineSender& sender);
    ~ImportSession() override;

    bool Running() const { return thread_ != nullptr; }
    // An import runs, or its result window is still open.
    bool Busy() const;
    // Brings the open import's window (the result, or the status) forward.
    void Raise();
    // Main thread: file choice, checks, windows, worker. While an import
    // runs or shows its result, brings that one forward instead. Returns
    // whether it made the windows (their end comes as WM_IMPORT_DONE).
    bool Start(accounts::ImportServer server);
    // Main thread: a row from the dispatcher (a line the server refused).
    void AddRowFromDispatcher(const std::string& type, const std::string& text);
    // Main thread: the result window reported its end.
    void ResultClosed();
    // Main thread: the worker has ended (posted by it).
    void WorkerEnded();
    // Main thread, when the main window goes: ends the worker and waits for it.
    void Stop();

    // ImportHost, on the worker thread.
    bool StatusOpen() override;
    bool Open(uint64_t* length) override;
    bool Read(uint8_t* buffer, std::size_t want, std::size_t* got) override;
    void CloseFile() override;
    bool SendLine(const std::string& line, accounts::ReplyMailbox& mailbox) override;
    void AddRow(const std::string& type, const std::string& text) override;
    void Progress(uint64_t done, uint64_t total) override;
    void Pause(std::chrono::milliseconds ms) override;
    void FileError() override;

    // Posted to the main window by the worker when it ends.
    static constexpr UINT WM_IMPORT_WORKER_ENDED = WM_APP + 0x103;

private:
    static DWORD WINAPI ThreadMain(LPVOID self);
    void Finish();

    HWND main_;
    accounts::LineSender& sender_;
    accounts::ImportServer server_ = 0;
    std::wstring path_;
    HANDLE file_ = INVALID_HANDLE_VALUE;
    HANDLE thread_ = nullptr;
    std::unique_ptr<CImportStatus> status_;
    std::unique_ptr<CImportResult> result_;
    HWND statusHwnd_ = nullptr;
    HWND resultHwnd_ = nullptr;
    std::atomic<bool> quitting_{false};
};
