// What the operator finds when Sonafeed starts and how the window answers its own controls.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/support/Expected.h"
#include "tests/e2e/support/OpenApiStandIn.h"
#include "tests/e2e/support/OperatorSteps.h"
#include "tests/e2e/support/SonafeedControls.h"
#include "tests/e2e/support/SonafeedRun.h"
#include "tests/e2e/support/UiDriver.h"

namespace {

using namespace e2e;
using namespace e2e::expected;

const std::vector<std::string> kBitrates = {"32", "48", "64", "96", "128", "192"};

// True for "YYYY-MM-DD HH:MM:SS " within five minutes of the local time now.
bool IsRecentLocalStamp(const std::string& line) {
    SYSTEMTIME stamp = {};
    char blank = 0;
    if (line.size() < 20 ||
        sscanf(line.c_str(), "%4hu-%2hu-%2hu %2hu:%2hu:%2hu%c", &stamp.wYear, &stamp.wMonth,
               &stamp.wDay, &stamp.wHour, &stamp.wMinute, &stamp.wSecond, &blank) != 7 ||
        blank != ' ' || line[4] != '-' || line[7] != '-' || line[13] != ':' || line[16] != ':')
        return false;
    SYSTEMTIME now;
    GetLocalTime(&now);
    FILETIME a, b;
    if (!SystemTimeToFileTime(&stamp, &a) || !SystemTimeToFileTime(&now, &b)) return false;
    auto ticks = [](FILETIME t) { return (ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    ULONGLONG x = ticks(a), y = ticks(b);
    return (x > y ? x - y : y - x) < 5ULL * 60 * 10000000;
}

TEST(Startup, MissingEncoderShowsOneBoxThenAnEmptyDialog) {
    SonafeedRun::Options options;
    options.with_encoder = false;
    SonafeedRun run(options);
    ASSERT_TRUE(run.Start());

    HWND box = run.Popup();
    ASSERT_TRUE(box) << "main dialog shown first";
    EXPECT_EQ(ui::Caption(box), kBoxCaption);
    EXPECT_EQ(ui::MessageBoxText(box), kNoEncoder);
    ui::PressOk(box);
    ASSERT_TRUE(run.WaitForDialog());
    EXPECT_FALSE(run.WaitForPopup(500)) << "a second box";

    HWND dialog = run.Dialog();
    EXPECT_EQ(run.Log(), std::vector<std::string>{});
    for (int edit : {ids::kPublishUrl, ids::kAccessId, ids::kAccessKey, ids::kPullUrl})
        EXPECT_EQ(ui::ControlText(dialog, edit), "") << "edit " << edit;
    EXPECT_EQ(ui::CheckState(dialog, ids::kMinimizeToTray), BST_UNCHECKED);
    EXPECT_EQ(ui::CheckState(dialog, ids::kAutoPull), BST_UNCHECKED);
    EXPECT_EQ(ui::ComboItems(dialog, ids::kDevice), std::vector<std::string>{});
    EXPECT_EQ(ui::ComboItems(dialog, ids::kBitrate), kBitrates);
    EXPECT_EQ(ui::ComboSelection(dialog, ids::kBitrate), CB_ERR);
}

TEST(Startup, WithoutSettingsOffersBitratesAt48AndAsksForAnAddress) {
    OpenApiStandIn service;
    SonafeedRun run(WithOpenApi(service.Address()));
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(run.WaitForDialog());
    EXPECT_FALSE(run.Popup());

    HWND dialog = run.Dialog();
    EXPECT_EQ(ui::ComboItems(dialog, ids::kBitrate), kBitrates);
    EXPECT_EQ(ui::ComboSelection(dialog, ids::kBitrate), 1);
    ASSERT_TRUE(WaitUntil([&] { return !run.Log().empty(); }));
    std::vector<std::string> log = run.Log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_TRUE(IsRecentLocalStamp(log[0])) << log[0];
    EXPECT_EQ(log[0].substr(20), kNoAddress);
    // Without an address there is nothing to ask the service.
    EXPECT_TRUE(service.Requests().empty());
}

TEST(Startup, SystemMenuEndsWithAboutAndTheSettingsWhichOpenTheirDialogs) {
    SonafeedRun run;
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(run.WaitForDialog());
    HWND dialog = run.Dialog();

    auto items = ui::SystemMenuItems(dialog);
    ASSERT_TRUE(items);
    ASSERT_GE(items->size(), 3u);
    EXPECT_EQ(std::vector<std::string>(items->end() - 3, items->end()),
              (std::vector<std::string>{"", kAboutItem, kSettingsItem}));

    // The settings: each value brought into its range, a field without a number keeps its
    // value, and the file written on OK only.
    for (bool ok : {false, true}) {
        ui::PostSysCommand(dialog, ids::kSettingsCommand);
        HWND settings = run.WaitForPopup();
        ASSERT_TRUE(settings);
        EXPECT_EQ(ui::Caption(settings), kSettingsCaption);
        EXPECT_EQ(ui::ControlText(settings, ids::kSilenceThreshold), "-50");
        ASSERT_TRUE(ui::SetControlText(settings, ids::kSilenceThreshold, "-5"));
        ASSERT_TRUE(ui::SetControlText(settings, ids::kSilenceSeconds, "12"));
        ASSERT_TRUE(ui::SetControlText(settings, ids::kReturnSeconds, "soon"));
        ASSERT_TRUE(ui::Click(settings, ids::kBackupRelay));
        if (ok)
            ui::PressOk(settings);
        else
            ui::PressKey(settings, VK_ESCAPE);
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(settings); }));
        ASSERT_TRUE(ui::Settled(dialog));
        EXPECT_EQ(
            run.ReadFileBytes(kAudioSettings),
            ok ? std::optional<std::string>("silence_threshold_db=-20\r\nsilence_seconds=12\r\n"
                                            "return_seconds=3\r\nbackup_relay=1\r\n"
                                            "measure_levels=1\r\nrecord=0\r\nrecord_folder=\r\n"
                                            "record_days=42\r\nrecord_min_free_mb=1024\r\n"
                                            "record_period_seconds=3600\r\n")
               : std::nullopt);
    }

    // Closed once by Escape, once by its OK button.
    for (bool escape : {true, false}) {
        ui::PostSysCommand(dialog, ids::kAboutCommand);
        HWND about = run.WaitForPopup();
        ASSERT_TRUE(about);
        EXPECT_EQ(ui::Caption(about), kAboutCaption);
        if (escape)
            ui::PressKey(about, VK_ESCAPE);
        else
            ui::PressOk(about);
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about); })) << "escape " << escape;
    }
    EXPECT_TRUE(ui::IsVisible(dialog));
}

TEST(Startup, EscapeAndEnterLeaveTheDialogOpen) {
    SonafeedRun run;
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(run.WaitForDialog());
    HWND dialog = run.Dialog();
    ASSERT_TRUE(WaitUntil([&] { return !run.Log().empty(); }));

    ui::PressKey(dialog, VK_ESCAPE);
    ui::PressKey(dialog, VK_RETURN);
    // Handled after both keys: had either ended the dialog, the log would never clear.
    ASSERT_TRUE(ClearLog(run));
    EXPECT_TRUE(run.IsRunning());
    EXPECT_TRUE(ui::IsVisible(dialog));
    EXPECT_FALSE(run.Popup());
}

TEST(Startup, ClosingTheWindowEndsTheProgram) {
    SonafeedRun run;
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(run.WaitForDialog());

    ASSERT_TRUE(run.Close());
    EXPECT_EQ(run.CountRunning("ffmpeg.exe"), 0);
}

} // namespace
