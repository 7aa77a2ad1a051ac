// The import's view for tests: the servers it was started for and the rows
// the dispatcher added.
#pragma once

#include <string>
#include <vector>

#include "import/import_flow.h"

namespace testing_flows {

class FakeImportView : public accounts::ImportView {
public:
    std::vector<accounts::ImportServer> imports;
    std::vector<std::string> rows;
    bool StartImport(accounts::ImportServer server) override {
        imports.push_back(server);
        return true;
    }
    void AddImportRow(const std::string& type, const std::string& text) override {
        rows.push_back(type + "|" + text);
    }
};

}  // namespace testing_flows
