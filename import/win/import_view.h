// The import's Win32 view: hands the flow's calls to the import session the
// main window makes once its own window exists.
#pragma once

#include "import/import_flow.h"
#include "import/win/import_session.h"

class CImportView : public accounts::ImportView {
public:
    void Attach(ImportSession* session) { session_ = session; }
    bool StartImport(accounts::ImportServer server) override {
        return session_ != nullptr && session_->Start(server);
    }
    void AddImportRow(const std::string& type, const std::string& text) override {
        if (session_ != nullptr)
            session_->AddRowFromDispatcher(type, text);
    }

private:
    ImportSession* session_ = nullptr;
};
