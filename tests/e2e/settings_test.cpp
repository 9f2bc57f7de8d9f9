// The settings file "config.db" as the operator's next start finds it: what each save trigger
// writes byte for byte, what loading makes of other line ends, and silence on every failure.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/support/ConfigDb.h"
#include "tests/e2e/support/Expected.h"
#include "tests/e2e/support/OpenApiStandIn.h"
#include "tests/e2e/support/OperatorSteps.h"
#include "tests/e2e/support/SonafeedControls.h"
#include "tests/e2e/support/SonafeedRun.h"
#include "tests/e2e/support/UiDriver.h"

namespace {

using namespace e2e;
using namespace e2e::expected;

constexpr char kOldUrl[] = "rtmp://live.push.kelvo.net/app/old";
constexpr char kNewUrl[] = "rtmp://live.push.kelvo.net/app/new";
constexpr char kPullUrl[] = "rtmp://src.example.com/live/in";
constexpr char kAccessKey[] = "KEY123";
constexpr char kAccessId[] = "ID456";

TEST(Settings, SaveTriggersWriteEightLinesWithTheAddressLastTakenIn) {
    OpenApiStandIn service;
    // A start-up with a publish address asks the service for the relay state.
    SonafeedRun run(WithOpenApi(service.Address()));
    // The program's own line ends, and a ninth line that no save keeps.
    const std::string stored =
        ConfigBytes({"1", kOldUrl, "0", "3", kPullUrl, kAccessKey, kAccessId, "0", "a ninth line"});
    ASSERT_TRUE(run.WriteFileBytes(kConfig, stored));
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(run.WaitForDialog());
    HWND dialog = run.Dialog();
    const std::vector<std::string> start_log = run.Log();

    EXPECT_EQ(ui::ComboSelection(dialog, ids::kDevice), 1);
    EXPECT_EQ(ui::ComboSelection(dialog, ids::kBitrate), 3);
    EXPECT_EQ(ui::ControlText(dialog, ids::kPublishUrl), kOldUrl);
    EXPECT_EQ(ui::ControlText(dialog, ids::kPullUrl), kPullUrl);
    EXPECT_EQ(ui::ControlText(dialog, ids::kAccessKey), kAccessKey);
    EXPECT_EQ(ui::ControlText(dialog, ids::kAccessId), kAccessId);
    EXPECT_EQ(ui::CheckState(dialog, ids::kMinimizeToTray), BST_UNCHECKED);
    EXPECT_EQ(ui::CheckState(dialog, ids::kAutoPull), BST_UNCHECKED);

    // Choices in the boxes only change the members; the new address is not taken in at all.
    ASSERT_TRUE(ui::SetControlText(dialog, ids::kPublishUrl, kNewUrl));
    ASSERT_TRUE(ui::SelectComboItem(dialog, ids::kDevice, 0));
    ASSERT_TRUE(ui::SelectComboItem(dialog, ids::kBitrate, 5));
    EXPECT_EQ(run.ReadFileBytes(kConfig), stored);

    ASSERT_TRUE(Toggle(dialog, ids::kMinimizeToTray));
    EXPECT_EQ(run.ReadFileBytes(kConfig),
              ConfigBytes({"0", kOldUrl, "1", "5", kPullUrl, kAccessKey, kAccessId, "0"}));
    EXPECT_FALSE(Exists(run.PathOf(kConfigTemp)));

    ASSERT_TRUE(Toggle(dialog, ids::kAutoPull));
    const std::string last_saved =
        ConfigBytes({"0", kOldUrl, "1", "5", kPullUrl, kAccessKey, kAccessId, "1"});
    EXPECT_EQ(run.ReadFileBytes(kConfig), last_saved);
    EXPECT_FALSE(Exists(run.PathOf(kConfigTemp)));

    // The new content cannot be written: the old file stays as it was.
    ASSERT_TRUE(CreateDirectoryA(run.PathOf(kConfigTemp).c_str(), nullptr));
    ASSERT_TRUE(Toggle(dialog, ids::kMinimizeToTray));
    EXPECT_EQ(run.ReadFileBytes(kConfig), last_saved);
    ASSERT_TRUE(RemoveDirectoryA(run.PathOf(kConfigTemp).c_str()));

    // config.db cannot be replaced: nothing is reported and no temporary file is left.
    ASSERT_TRUE(DeleteFileA(run.PathOf(kConfig).c_str()));
    ASSERT_TRUE(CreateDirectoryA(run.PathOf(kConfig).c_str(), nullptr));
    ASSERT_TRUE(Toggle(dialog, ids::kAutoPull));
    EXPECT_FALSE(Exists(run.PathOf(kConfigTemp)));
    EXPECT_EQ(GetFileAttributesA(run.PathOf(kConfig).c_str()) & FILE_ATTRIBUTE_DIRECTORY,
              DWORD(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(run.Log(), start_log);
    EXPECT_FALSE(run.Popup());
    EXPECT_TRUE(run.IsRunning());
    EXPECT_EQ(ui::ControlText(dialog, ids::kPublishUrl), kNewUrl);
    ASSERT_TRUE(RemoveDirectoryA(run.PathOf(kConfig).c_str()));
    EXPECT_TRUE(run.Close());
}

TEST(Settings, LineEndsAndAByteOrderMarkLoadTheSameValuesAndSaveBackWithout) {
    OpenApiStandIn service;
    const std::vector<std::string> lines = {"1",      kOldUrl,    "1",       "9",
                                            kPullUrl, kAccessKey, kAccessId, "1"};
    struct Case {
        const char* name;
        std::string bytes;
    };
    std::string lf = ConfigBytes(lines, "\n");
    // A last line without its line end is a line all the same.
    lf.pop_back();
    const Case cases[] = {{"LF", lf},
                          {"CR LF", ConfigBytes(lines, "\r\n")},
                          // As an editor saves the file in UTF-8.
                          {"byte order mark", "\xEF\xBB\xBF" + ConfigBytes(lines, "\r\n")}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SonafeedRun run(WithOpenApi(service.Address()));
        ASSERT_TRUE(run.WriteFileBytes(kConfig, c.bytes));
        ASSERT_TRUE(run.Start());
        ASSERT_TRUE(run.WaitForDialog());
        HWND dialog = run.Dialog();
        EXPECT_EQ(ui::ComboSelection(dialog, ids::kDevice), 1);
        EXPECT_EQ(ui::ControlText(dialog, ids::kPublishUrl), kOldUrl);
        EXPECT_EQ(ui::CheckState(dialog, ids::kMinimizeToTray), BST_CHECKED);
        // Position 9 is no entry of the bitrate box.
        EXPECT_EQ(ui::ComboSelection(dialog, ids::kBitrate), CB_ERR);
        EXPECT_EQ(ui::ControlText(dialog, ids::kPullUrl), kPullUrl);
        EXPECT_EQ(ui::ControlText(dialog, ids::kAccessKey), kAccessKey);
        EXPECT_EQ(ui::ControlText(dialog, ids::kAccessId), kAccessId);
        EXPECT_EQ(ui::CheckState(dialog, ids::kAutoPull), BST_CHECKED);

        ASSERT_TRUE(Toggle(dialog, ids::kMinimizeToTray));
        EXPECT_EQ(run.ReadFileBytes(kConfig),
                  ConfigBytes({"1", kOldUrl, "0", "9", kPullUrl, kAccessKey, kAccessId, "1"}));
    }
}

TEST(Settings, ALineBreakInsideAFieldNeverAddsLines) {
    OpenApiStandIn service;
    SonafeedRun run(WithOpenApi(service.Address()));
    ConfigDb settings;
    ASSERT_TRUE(run.WriteFileBytes(kConfig, settings.Bytes()));
    ASSERT_TRUE(StartShown(run));
    HWND dialog = run.Dialog();
    const std::string key = settings.key + "\r\nk2";
    ASSERT_TRUE(ui::SetControlText(dialog, ids::kAccessKey, key));
    ASSERT_EQ(ui::ControlText(dialog, ids::kAccessKey), key);

    ASSERT_TRUE(GoLive(run));
    // Only what stands before the line break is kept; the dialog still shows it all.
    EXPECT_EQ(run.ReadFileBytes(kConfig), settings.Bytes());
    EXPECT_EQ(ui::ControlText(dialog, ids::kAccessKey), key);
    ASSERT_TRUE(EndLive(run));
}

} // namespace
