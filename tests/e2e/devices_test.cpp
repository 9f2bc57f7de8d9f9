// Capture device discovery as the operator sees it: the encoder double prints the listing the
// test gives, and the device box, "device.txt" and the log show what the program made of it.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/e2e/support/ConfigDb.h"
#include "tests/e2e/support/Cp936.h"
#include "tests/e2e/support/Expected.h"
#include "tests/e2e/support/Listings.h"
#include "tests/e2e/support/OperatorSteps.h"
#include "tests/e2e/support/ProcessProbe.h"
#include "tests/e2e/support/SonafeedControls.h"
#include "tests/e2e/support/SonafeedRun.h"
#include "tests/e2e/support/TextMode.h"
#include "tests/e2e/support/UiDriver.h"

namespace {

using namespace e2e;
using namespace e2e::expected;

using Names = std::vector<std::string>;

// Longer than the tool is given before it is ended.
constexpr DWORD kBeyondToolTimeOut = 60000;

// Keeps the double running after it has printed the listing.
constexpr char kHang[] = "listing_hang=1\r\n";

// Presses "刷新音频设备" and returns once the refresh has run: its tool run is recorded, and the
// dialog answers again only after the handler has returned.
::testing::AssertionResult Refresh(const SonafeedRun& run, DWORD timeout_ms = kPatience) {
    HWND dialog = run.Dialog();
    size_t before = run.ListingRuns().size();
    if (!ui::Click(dialog, ids::kRefreshDevices))
        return ::testing::AssertionFailure() << "refresh button not clickable";
    if (!WaitUntil([&] { return run.ListingRuns().size() > before; })) {
        // A tool that could not start leaves a message box: name it.
        HWND box = run.Popup();
        return ::testing::AssertionFailure() << "no listing run after the click"
                                             << (box ? "; box: " + ui::MessageBoxText(box) : "");
    }
    if (!ui::Settled(dialog, timeout_ms))
        return ::testing::AssertionFailure() << "refresh still running after " << timeout_ms;
    return ::testing::AssertionSuccess();
}

Names Sorted(Names names) {
    std::sort(names.begin(), names.end());
    return names;
}

TEST(Devices, TheBoxIsSortedAndTheStoredIndexIsABoxPosition) {
    // Listing order differs from the box's (case-blind) order.
    const std::string listing =
        ClassicListing({"Mid Array (Tessaly HD Audio)", "Zeta Mic", "alpha Line (Orvane USB)"});
    const Names sorted = {"alpha Line (Orvane USB)", "Mid Array (Tessaly HD Audio)", "Zeta Mic"};

    // Stored index -> selected box position: past the end falls back to 0, negative selects none.
    const std::pair<const char*, int> cases[] = {{"2", 2}, {"3", 0}, {"-1", CB_ERR}};
    for (const auto& [stored, selected] : cases) {
        SCOPED_TRACE(std::string("config.db line 1: ") + stored);
        SonafeedRun run;
        ASSERT_TRUE(UseListing(run, listing));
        ASSERT_TRUE(run.WriteFileBytes(kConfig, ConfigBytes({stored})));
        ASSERT_TRUE(run.Start());
        ASSERT_TRUE(run.WaitForDialog());
        HWND dialog = run.Dialog();
        EXPECT_EQ(ui::ComboItems(dialog, ids::kDevice), sorted);
        EXPECT_EQ(ui::ComboSelection(dialog, ids::kDevice), selected);
        EXPECT_EQ(run.ListingRuns(), Names{" -list_devices true -f dshow -i dummy "});
        EXPECT_EQ(run.ReadFileBytes(kDeviceFile), TextModeWrite(listing));
    }
}

TEST(Devices, ALargeListingArrivesWholeAndChineseNamesStayReadable) {
    // Far more than a pipe holds, with multi-byte characters across every read boundary, LF
    // and CR LF line ends, and the audio section only at the very end.
    std::string listing = "ffmpeg version n4.4 Copyright (c) 2000-2021\n[dshow @ 02d3e720] "
                          "DirectShow video devices (some may be both video and audio)\r\n";
    for (int i = 0; listing.size() < 70 * 1024; ++i)
        listing += "[dshow @ 02d3e720]  \"" + std::string(u8"虚拟摄像头 ") + std::to_string(i) +
                   u8" (视频采集卡)\"" + (i % 3 ? "\r\n" : "\n");
    listing += ClassicListing({u8"麦克风 (Tessaly HD Audio)", "Line In (Orvane USB)"}) +
               u8"尾行：解析器不再读取\r\n";

    SonafeedRun run;
    ASSERT_TRUE(UseListing(run, listing));
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(run.WaitForDialog());
    HWND dialog = run.Dialog();

    std::string expected = TextModeWrite(Cp936FromUtf8(listing));
    auto written = run.ReadFileBytes(kDeviceFile);
    ASSERT_TRUE(written);
    EXPECT_EQ(written->size(), expected.size());
    EXPECT_TRUE(*written == expected) << "device.txt differs from the converted listing";
    EXPECT_EQ(Sorted(ui::ComboItems(dialog, ids::kDevice)),
              Sorted({"麦克风 (Tessaly HD Audio)", "Line In (Orvane USB)"}));
    EXPECT_EQ(ui::ComboSelection(dialog, ids::kDevice), 0);
}

TEST(Devices, AListingInTheAnsiCodePageIsUsedAsItIs) {
    // An encoder build that prints its names in code page 936 (narrow literals here are code
    // page 936): the listing is not UTF-8.
    const std::string name = "麦克风 (Tessaly)";
    const std::string listing = ClassicListing({name, "Line In"});
    SonafeedRun run;
    ASSERT_TRUE(UseListing(run, listing));
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(run.WaitForDialog());
    HWND dialog = run.Dialog();
    EXPECT_EQ(run.ReadFileBytes(kDeviceFile), TextModeWrite(listing));
    const Names items = ui::ComboItems(dialog, ids::kDevice);
    ASSERT_EQ(Sorted(items), Sorted({name, "Line In"}));

    const int position = items[0] == name ? 0 : 1;
    ASSERT_TRUE(ui::SelectComboItem(dialog, ids::kDevice, position));
    ASSERT_TRUE(ui::SetControlText(dialog, ids::kPublishUrl, ConfigDb().publish));
    ASSERT_TRUE(GoLive(run));
    EXPECT_NE(run.PublishRuns().back().find("audio=\"" + name + "\""), std::string::npos)
        << run.PublishRuns().back();
    ASSERT_TRUE(EndLive(run));
}

// A folder whose name code page 936 cannot spell, in the temporary folder, for the object's
// lifetime; the test reaches it by its short name.
class FolderOutsideCp936 {
  public:
    FolderOutsideCp936() {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        // Hangul: "broadcast".
        path_ = std::wstring(temp) + L"\xBC29\xC1A1";
        CreateDirectoryW(path_.c_str(), nullptr);
        wchar_t short_name[MAX_PATH] = {};
        if (GetShortPathNameW(path_.c_str(), short_name, MAX_PATH))
            short_name_ = Cp936FromWide(short_name);
    }
    ~FolderOutsideCp936() { RemoveDirectoryW(path_.c_str()); }
    FolderOutsideCp936(const FolderOutsideCp936&) = delete;
    FolderOutsideCp936& operator=(const FolderOutsideCp936&) = delete;
    // Empty when the folder has no short name.
    const std::string& ShortName() const { return short_name_; }

  private:
    std::wstring path_;
    std::string short_name_;
};

// A device whose name code page 936 cannot spell is shown as the listing's conversion leaves it
// and goes to the encoder by its alternative name; a program folder whose name it cannot spell is
// used by its short name, so that the program finds its encoder and broadcasts from there.
TEST(Devices, NamesThatCodePage936CannotSpellStillGoOnAir) {
    FolderOutsideCp936 folder;
    if (folder.ShortName().empty()) GTEST_SKIP() << "no short names on this volume";
    SonafeedRun::Options options;
    options.parent = folder.ShortName();
    SonafeedRun run(options);
    // ® and Hangul, in the order of their alternative names wave_{1} and wave_{2}.
    ASSERT_TRUE(UseListing(run, ClassicListing({u8"Microphone Array (Intel\u00ae Smart Sound)",
                                                u8"\ub9c8\uc774\ud06c (Realtek)", "Line In"})));
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(run.WaitForDialog()) << "a box instead: " << ui::MessageBoxText(run.Popup());
    HWND dialog = run.Dialog();
    const Names items = ui::ComboItems(dialog, ids::kDevice);
    const struct {
        std::string shown, opened;
    } devices[] = {
        {"Microphone Array (Intel? Smart Sound)", "@device_cm_{33D9A762}\\wave_{1}"},
        {"??? (Realtek)", "@device_cm_{33D9A762}\\wave_{2}"},
        {"Line In", "Line In"},
    };
    ASSERT_TRUE(ui::SetControlText(dialog, ids::kPublishUrl, ConfigDb().publish));
    for (const auto& device : devices) {
        SCOPED_TRACE(device.shown);
        const auto position = std::find(items.begin(), items.end(), device.shown);
        ASSERT_NE(position, items.end());
        ASSERT_TRUE(ui::SelectComboItem(dialog, ids::kDevice, int(position - items.begin())));
        ASSERT_TRUE(GoLive(run));
        EXPECT_NE(run.PublishRuns().back().find("audio=\"" + device.opened + "\""),
                  std::string::npos)
            << run.PublishRuns().back();
        ASSERT_TRUE(EndLive(run));
    }
    EXPECT_TRUE(run.Close());
}

TEST(Devices, TheNewerListingFormatGivesTheAudioDevicesOnly) {
    SonafeedRun run;
    ASSERT_TRUE(UseListing(run, NewerListing({{"Cam Vexo 2", "video"},
                                              {"Mic (Tessaly)", "audio"},
                                              {u8"立体声混音 (Orvane)", "audio, video"},
                                              {"Virtual Sink", "none"}})));
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(run.WaitForDialog());
    HWND dialog = run.Dialog();
    size_t log_lines = run.Log().size();
    EXPECT_EQ(Sorted(ui::ComboItems(dialog, ids::kDevice)),
              Sorted({"Mic (Tessaly)", "立体声混音 (Orvane)"}));
    EXPECT_EQ(ui::ComboSelection(dialog, ids::kDevice), 0);

    // Newer builds may print no closing line: a tool that exited by itself ends the list too.
    ASSERT_TRUE(UseListing(run, NewerListing({{"Line In (Orvane USB)", "audio"},
                                              {"Cam Vexo 2", "video"},
                                              {"HDMI (Vexo)", "audio, video"}},
                                             false)));
    ASSERT_TRUE(Refresh(run));
    EXPECT_EQ(ui::ComboItems(dialog, ids::kDevice), (Names{"HDMI (Vexo)", "Line In (Orvane USB)"}));
    EXPECT_EQ(run.Log().size(), log_lines);
}

TEST(Devices, RefreshRefillsTheBoxAndKeepsItWhenDeviceTxtCannotBeWritten) {
    SonafeedRun run;
    ASSERT_TRUE(UseListing(run, ClassicListing({"Line In (Orvane USB)", "Mic Array"})));
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(run.WaitForDialog());
    HWND dialog = run.Dialog();
    const std::vector<std::string> start_log = run.Log();
    ASSERT_EQ(ui::ComboItems(dialog, ids::kDevice), (Names{"Line In (Orvane USB)", "Mic Array"}));
    ASSERT_TRUE(ui::SelectComboItem(dialog, ids::kDevice, 1));

    // The chosen box position is applied to the new list.
    const std::string three = ClassicListing({"Mic B", "Mic C", "Mic A"});
    ASSERT_TRUE(UseListing(run, three));
    ASSERT_TRUE(Refresh(run));
    EXPECT_EQ(ui::ComboItems(dialog, ids::kDevice), (Names{"Mic A", "Mic B", "Mic C"}));
    EXPECT_EQ(ui::ComboSelection(dialog, ids::kDevice), 1);
    EXPECT_EQ(run.ReadFileBytes(kDeviceFile), TextModeWrite(three));

    // Past the end of a shorter list: back to the first entry.
    ASSERT_TRUE(UseListing(run, ClassicListing({"Solo"})));
    ASSERT_TRUE(Refresh(run));
    EXPECT_EQ(ui::ComboItems(dialog, ids::kDevice), Names{"Solo"});
    EXPECT_EQ(ui::ComboSelection(dialog, ids::kDevice), 0);
    EXPECT_EQ(run.Log(), start_log);

    // A directory in its place: not even root can create the file.
    ASSERT_TRUE(DeleteFileA(run.PathOf(kDeviceFile).c_str()));
    ASSERT_TRUE(CreateDirectoryA(run.PathOf(kDeviceFile).c_str(), nullptr));
    ASSERT_TRUE(UseListing(run, ClassicListing({"Other X", "Other Y"})));
    ASSERT_TRUE(Refresh(run));
    EXPECT_EQ(ui::ComboItems(dialog, ids::kDevice), Names{"Solo"});
    EXPECT_EQ(ui::ComboSelection(dialog, ids::kDevice), 0);
    std::vector<std::string> log = run.Log();
    ASSERT_EQ(log.size(), start_log.size() + 1);
    EXPECT_EQ(log[0].substr(20), kDeviceFileFailed);
    EXPECT_FALSE(run.Popup());
}

TEST(Devices, AHangingToolIsEndedAndWhatItPrintedIsUsed) {
    // The older format's end mark came before the hang: the list is complete.
    const std::string ended = ClassicListing({"Mic B", "Mic A"});
    SonafeedRun::Options options;
    options.start_timeout_ms = kBeyondToolTimeOut;
    SonafeedRun run(options);
    ASSERT_TRUE(UseListing(run, ended, kHang));
    const DWORD start = GetTickCount();
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(run.WaitForDialog());
    EXPECT_GE(GetTickCount() - start, 25000u) << "the tool was not waited for";
    HWND dialog = run.Dialog();
    EXPECT_TRUE(WaitUntil([&] { return run.CountRunning("ffmpeg.exe") == 0; }));
    EXPECT_EQ(ui::ComboItems(dialog, ids::kDevice), (Names{"Mic A", "Mic B"}));
    EXPECT_EQ(ui::ComboSelection(dialog, ids::kDevice), 0);
    EXPECT_EQ(run.ReadFileBytes(kDeviceFile), TextModeWrite(ended));
    const std::vector<std::string> start_log = run.Log();
    // Only the complaint about the missing publish address.
    EXPECT_EQ(start_log.size(), 1u);

    // Cut short without the newer format's closing line: the list never ended, so the box
    // keeps its entries, though the file is written as usual.
    const std::string cut_short = NewerListing({{"Mic (Tessaly)", "audio"}}, false);
    ASSERT_TRUE(UseListing(run, cut_short, kHang));
    ASSERT_TRUE(Refresh(run, kBeyondToolTimeOut));
    EXPECT_TRUE(WaitUntil([&] { return run.CountRunning("ffmpeg.exe") == 0; }));
    EXPECT_EQ(ui::ComboItems(dialog, ids::kDevice), (Names{"Mic A", "Mic B"}));
    EXPECT_EQ(run.ReadFileBytes(kDeviceFile), TextModeWrite(cut_short));
    EXPECT_EQ(run.Log(), start_log);
}

TEST(Devices, RepeatedRefreshesLeaveTheHandleCountFlat) {
    constexpr int kRefreshes = 20;
    SonafeedRun run;
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(run.WaitForDialog());
    // The first refresh may leave handles that the system keeps for later runs.
    ASSERT_TRUE(Refresh(run));
    const int before = probe::HandleCount(run.Pid());
    ASSERT_GT(before, 0);
    for (int i = 0; i < kRefreshes; ++i)
        ASSERT_TRUE(Refresh(run)) << "refresh " << i;
    const int after = probe::HandleCount(run.Pid());
    EXPECT_LE(after, before) << "after " << kRefreshes << " refreshes";
    EXPECT_EQ(ui::ComboItems(run.Dialog(), ids::kDevice).size(), 2u);
}

} // namespace
