// The logger recording: the encoder double sends ADTS frames numbered by run and frame to the
// program's recording port, which writes them into a file a clock period.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "live/core/Recording.h"
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
using Lines = std::vector<std::string>;

constexpr int kPeriodSeconds = 10;

LocalTime Today() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return LocalTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

// The names in a folder, sorted; files or folders.
Lines Names(const std::string& folder) {
    Lines names;
    WIN32_FIND_DATAA found;
    const HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if (found.cFileName[0] != '.') names.push_back(found.cFileName);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

// The double's frames in a file, by the payload each carries ("run 1 frame 7").
Lines Frames(const std::string& path) {
    const std::string bytes = ReadWholeFile(path).value_or("");
    AdtsFrames cut;
    cut.Feed(bytes.data(), bytes.size());
    Lines frames;
    // After the 7-byte header, without the payload's line end.
    for (std::string frame; cut.Next(frame);)
        frames.push_back(frame.substr(7, frame.size() - 8));
    return frames;
}

std::string Formatted(const char* format, int a, int b = 0) {
    char text[256];
    wsprintfA(text, format, a, b);
    return text;
}

size_t Count(const SonafeedRun& run, const std::string& message) {
    const Lines messages = run.Messages();
    return std::count(messages.begin(), messages.end(), message);
}

// Files per period, named by their start; a restarted encoder's in files of its own, none
// overwritten; retention at start-up deletes only the program's own old files; the relay's turn
// pauses the recording and the next broadcast resumes it.
TEST(Recording, FilesFollowTheClockAndARestartNeverOverwrites) {
    OpenApiStandIn service;
    SonafeedRun run(WithOpenApi(service.Address()));
    ASSERT_TRUE(run.WriteFileBytes(kConfig, ConfigDb().Bytes()));
    ASSERT_TRUE(run.WriteFileBytes(kAudioSettings, "record=1\r\nrecord_period_seconds=" +
                                                       std::to_string(kPeriodSeconds) + "\r\n"));
    const std::string folder = run.PathOf(kRecordingFolder);
    const LocalTime today = Today();
    const std::string day = RecordingDayFolder(today);
    const Lines kept = {"2020-01-01_09-00-00.mp3", "notes.txt"};
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((folder + "\\2020-01-01").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((folder + "\\" + day).c_str(), nullptr));
    for (const char* name :
         {"2020-01-01_09-00-00.aac", "2020-01-01_09-00-00_2.aac", kept[0].c_str(), kept[1].c_str()})
        ASSERT_TRUE(WriteWholeFile(folder + "\\2020-01-01\\" + name, "old"));
    const std::string recent = RecordingFileName(RecordingPeriodStart(today, 86400), 1);
    ASSERT_TRUE(WriteWholeFile(folder + "\\" + day + "\\" + recent, "recent"));
    // The first encoder ends after a period and a bit, and the next one runs on.
    ASSERT_TRUE(run.WriteFileBytes("ffmpeg-double.txt", "exit_after_ms=13000\r\n"));
    ASSERT_TRUE(StartShown(run));
    ASSERT_TRUE(WaitUntil([&] { return Count(run, Formatted(kRecordingExpiredFormat, 42, 2)); }));
    EXPECT_EQ(Names(folder + "\\2020-01-01"), kept);

    ASSERT_TRUE(GoLive(run));
    ASSERT_TRUE(run.WriteFileBytes("ffmpeg-double.txt", ""));
    const std::string today_folder = folder + "\\" + day;
    auto frames_of_run = [&](const std::string& tag) {
        Lines frames;
        for (const std::string& name : Names(today_folder))
            for (const std::string& frame : Frames(today_folder + "\\" + name))
                if (frame.compare(0, tag.size(), tag) == 0) frames.push_back(frame);
        return frames;
    };
    ASSERT_TRUE(WaitUntil([&] { return !frames_of_run("run 2 ").empty(); }, 2 * kPatience));

    // Run 1 spans a period's change with every frame once, in order, in two files or more.
    const Lines first = frames_of_run("run 1 ");
    ASSERT_GE(first.size(), 100u);
    for (size_t i = 0; i < first.size(); ++i)
        EXPECT_EQ(first[i], "run 1 frame " + std::to_string(i + 1));
    Lines files = Names(today_folder);
    files.erase(std::find(files.begin(), files.end(), recent));
    ASSERT_GE(files.size(), 3u);
    for (const std::string& name : files) {
        LocalTime start;
        EXPECT_TRUE(ParseRecordingFileName(name, today, start)) << name;
        const Lines frames = Frames(today_folder + "\\" + name);
        ASSERT_FALSE(frames.empty()) << name;
        // A file holds one run's frames only.
        EXPECT_EQ(frames.front().substr(0, 6), frames.back().substr(0, 6)) << name;
    }
    // A file that a period's change opened starts at that change.
    LocalTime second;
    ASSERT_TRUE(ParseRecordingFileName(files[1], today, second));
    EXPECT_EQ(second.second % kPeriodSeconds, 0) << files[1];
    EXPECT_EQ(ReadWholeFile(today_folder + "\\" + recent), "recent");

    // The relay takes the stream: the recording says that it pauses, and the broadcast resumes it.
    ASSERT_TRUE(ClearLog(run));
    service.SetDefaultAnswer({200, kAccepted});
    ASSERT_TRUE(ui::Click(run.Dialog(), ids::kStartPull));
    ASSERT_TRUE(WaitUntil([&] { return Count(run, kRecordingPausedForRelay) == 1; }));
    ASSERT_TRUE(GoLive(run));
    ASSERT_TRUE(WaitUntil([&] { return Count(run, kRecordingResumed) == 1; }));
    ASSERT_TRUE(EndLive(run));
    EXPECT_TRUE(run.Close());
}

// A recording folder that cannot be had, or one on a drive without room, costs the broadcast
// nothing: one line, and the encoder publishes on.
TEST(Recording, AFolderWithoutRoomOrThatCannotBeMadeLeavesTheBroadcastOnAir) {
    const bool small_drive = GetFileAttributesA("S:\\") != INVALID_FILE_ATTRIBUTES;
    const struct {
        const char* name;
        std::string folder;
        std::string line;
    } cases[] = {
        {"a drive that does not exist", "Q:\\录音",
         std::string(kRecordingCannotWrite) + "Q:\\录音"},
        {"the 4 MiB drive, below the floor", "S:\\录音", Formatted(kRecordingNoRoomFormat, 64)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.folder[0] == 'S' && !small_drive) continue;
        OpenApiStandIn service;
        SonafeedRun run(WithOpenApi(service.Address()));
        ASSERT_TRUE(run.WriteFileBytes(kConfig, ConfigDb().Bytes()));
        ASSERT_TRUE(run.WriteFileBytes(kAudioSettings, "record=1\r\nrecord_min_free_mb=64\r\n"
                                                       "record_folder=" +
                                                           c.folder + "\r\n"));
        ASSERT_TRUE(StartShown(run));
        ASSERT_TRUE(GoLive(run));
        ASSERT_TRUE(WaitUntil([&] { return Count(run, c.line) == 1; }));
        // Past the next try at the folder: still one line, and the first encoder on air.
        const DWORD start = GetTickCount();
        WaitUntil([&] { return GetTickCount() - start >= 11000; }, 12000);
        EXPECT_EQ(Count(run, c.line), 1u);
        EXPECT_EQ(run.PublishRuns().size(), 1u);
        EXPECT_EQ(run.CountRunning(kEncoder), 1);
        EXPECT_EQ(Count(run, kRestart), 0u);
        ASSERT_TRUE(EndLive(run));
        RemoveDirectoryA(c.folder.c_str());
    }
}

} // namespace
