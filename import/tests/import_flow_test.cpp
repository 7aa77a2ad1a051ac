// The account import as the dispatcher drives it: the login's configuration
// reply starts it, and the answers reach the worker by their own acceptance.
#include <gtest/gtest.h>

#include <cstring>

#include "app/main_model.h"
#include "app/tests/fake_view.h"
#include "resources/brellmark/resource.h"

using namespace proto;

namespace {

class ImportFlowTest : public DispatchTest {};

}  // namespace

// The import: login with app::FLOW_IMPORT, the configuration reply starts it; each
// line goes to the import's server, and only the answer to the awaited line
// is taken (a late one, or one from another server, is not), whichever
// server is selected now.
TEST_F(ImportFlowTest, ImportFlowSendsLinesAndTakesOnlyTheirAnswers) {
    model.Initialize();
    Discover(kAlpha);
    Discover(kBravo);
    Select(0);
    model.OnImportUsers();
    model.OnServerReply(Block(kAlpha.ip, From(kAlpha, CMD_LOGIN, 5), {}));
    model.OnServerReply(Block(kAlpha.ip, From(kAlpha, CMD_GET_CONFIG, 7), {}));
    ASSERT_EQ(imports.imports.size(), 1u);
    const app::ServerHandle server = imports.imports[0];

    auto& mailbox = model.importFlow().importReplies();
    ASSERT_TRUE(model.importFlow().SendImportLine(server, "bob pw", mailbox));
    const PacketHeader h = LastSent();
    EXPECT_EQ(h.command, CMD_IMPORT_USER);
    EXPECT_EQ(h.seq, 8);
    EXPECT_EQ(model.FindSelected()->flow, app::FLOW_IMPORT);
    const auto& d = view.sent.back();
    EXPECT_EQ(std::vector<uint8_t>(d.begin() + 16, d.end()),
              std::vector<uint8_t>({TAG_IMPORT_LINE, 6, 'b', 'o', 'b', ' ', 'p', 'w'}));
    // The user selects another server meanwhile: the answers still belong to
    // the import's server, and one from the server now selected, numbered as
    // its own next answer, is not taken for them.
    Select(1);
    model.OnServerReply(Block(kBravo.ip, From(kBravo, CMD_IMPORT_USER, 4, -2), {}));
    model.OnServerReply(Block(kAlpha.ip, From(kAlpha, CMD_IMPORT_USER, 7, -3), {}));  // stale
    EXPECT_TRUE(imports.rows.empty());
    model.OnServerReply(Block(kAlpha.ip, From(kAlpha, CMD_IMPORT_USER, 9, -7), {}));
    model.OnServerReply(Block(kAlpha.ip, From(kAlpha, CMD_IMPORT_USER, 10, -7), {}));  // repeated
    EXPECT_EQ(imports.rows, std::vector<std::string>({"import failed|bob pw (Err Code: -7)"}));
    EXPECT_EQ(mailbox.Wait(std::chrono::milliseconds(0)), std::optional<int16_t>(-7));

    // The list is rebuilt: the import's server is gone and nothing is sent.
    model.StartDiscovery();
    Discover(kAlpha);
    const size_t before = view.sent.size();
    EXPECT_FALSE(model.importFlow().SendImportLine(server, "carl pw", mailbox));
    EXPECT_EQ(view.sent.size(), before);
}
