// The daily log file: every line of the activity log, oldest first, beside the program.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "tests/e2e/support/Expected.h"
#include "tests/e2e/support/OperatorSteps.h"
#include "tests/e2e/support/SonafeedControls.h"
#include "tests/e2e/support/SonafeedRun.h"
#include "tests/e2e/support/UiDriver.h"

namespace {

using namespace e2e;
using namespace e2e::expected;

// The date a log line begins with ("2015-03-07 09:05:02 ..." gives "2015-03-07").
std::string DateOf(const std::string& line) {
    return line.substr(0, line.find(' '));
}

std::vector<std::string> FilesIn(const std::string& dir) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

// The log's lines, oldest first.
std::vector<std::string> OldestFirst(const SonafeedRun& run) {
    std::vector<std::string> lines = run.Log();
    return {lines.rbegin(), lines.rend()};
}

// Clicks 开始直播 without an address: one complaint line, nothing else.
::testing::AssertionResult Complain(const SonafeedRun& run) {
    const size_t before = run.Log().size();
    if (!ui::Click(run.Dialog(), ids::kStartLive))
        return ::testing::AssertionFailure() << "cannot click 开始直播";
    if (!WaitForMessages(run, before + 1)) return ::testing::AssertionFailure() << "no line";
    return ::testing::AssertionSuccess();
}

TEST(LogFile, EveryLineGoesToItsDaysFileAndClearingTheScreenLeavesIt) {
    SonafeedRun run;
    // Start-up complains about the missing address: the folder is made for the first line.
    ASSERT_TRUE(StartShown(run));
    ASSERT_TRUE(Complain(run));
    ASSERT_TRUE(Complain(run));
    std::vector<std::string> lines = OldestFirst(run);
    ASSERT_EQ(lines.size(), 3u);
    ASSERT_TRUE(ClearLog(run));
    ASSERT_TRUE(Complain(run));
    for (const std::string& line : OldestFirst(run))
        lines.push_back(line);

    // The lines as the list showed them (code page 936), each ended by CR LF, by their date.
    std::map<std::string, std::string> expected;
    for (const std::string& line : lines)
        expected[DateOf(line) + ".txt"] += line + "\r\n";
    std::map<std::string, std::string> files;
    for (const std::string& name : FilesIn(run.PathOf("log")))
        files[name] = run.ReadFileBytes("log\\" + name).value_or("<unreadable>");
    EXPECT_EQ(files, expected);
    EXPECT_EQ(run.Messages(), std::vector<std::string>{kNoAddress});

    // Beyond the window's cap the oldest lines leave the list; the file keeps every one.
    constexpr size_t kBeyondTheCap = kLogLinesShown + 300;
    // Posted all at once: well within the 10 000 messages a queue takes.
    for (size_t clicked = 0; clicked < kBeyondTheCap; ++clicked)
        ASSERT_TRUE(ui::Click(run.Dialog(), ids::kStartLive));
    auto count_lines = [](const std::string& text) {
        return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
    };
    const size_t all = lines.size() + kBeyondTheCap;
    ASSERT_TRUE(WaitUntil([&] { return count_lines(run.DailyLog()) >= all; }, 120000));
    const std::string text = run.DailyLog();
    EXPECT_EQ(count_lines(text), all);
    const std::vector<std::string> shown = run.Log();
    ASSERT_EQ(shown.size(), kLogLinesShown);
    // The newest on top: the file's last line.
    const size_t last = text.rfind('\n', text.size() - 3) + 1;
    EXPECT_EQ(shown.front() + "\r\n", text.substr(last));
}

TEST(LogFile, AFileThatCannotBeWrittenIsReportedOnceAndTheProgramGoesOn) {
    SonafeedRun run;
    // A file where the folder should be.
    ASSERT_TRUE(run.WriteFileBytes("log", "not a folder"));
    ASSERT_TRUE(StartShown(run));
    ASSERT_TRUE(Complain(run));
    ASSERT_TRUE(Complain(run));
    std::vector<std::string> messages = run.Messages();
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[0], kNoAddress);
    const std::string path = "\\log\\" + DateOf(OldestFirst(run)[0]) + ".txt";
    EXPECT_EQ(messages[1].substr(0, sizeof kLogFileFailed - 1), kLogFileFailed);
    EXPECT_EQ(messages[1].substr(messages[1].size() - path.size()), path) << messages[1];
    EXPECT_EQ(messages[2], kNoAddress);
    EXPECT_EQ(messages[3], kNoAddress);
    EXPECT_EQ(run.ReadFileBytes("log"), "not a folder");
    EXPECT_TRUE(run.Close());
}

} // namespace
