#include "tests/e2e/support/OperatorSteps.h"

#include "tests/e2e/support/Expected.h"
#include "tests/e2e/support/SonafeedControls.h"
#include "tests/e2e/support/UiDriver.h"

namespace e2e {

SonafeedRun::Options WithOpenApi(const std::string& address) {
    SonafeedRun::Options options;
    options.environment = {{"SONAFEED_OPENAPI", address}};
    return options;
}

::testing::AssertionResult StartShown(SonafeedRun& run) {
    ::testing::AssertionResult started = run.Start();
    return started ? run.WaitForDialog() : started;
}

std::string ButtonText(const SonafeedRun& run, int id) {
    return ui::ControlText(run.Dialog(), id);
}

bool WaitForMessages(const SonafeedRun& run, size_t count, DWORD timeout_ms) {
    return WaitUntil([&] { return run.Log().size() >= count; }, timeout_ms);
}

::testing::AssertionResult ClearLog(const SonafeedRun& run) {
    if (run.Popup()) return ::testing::AssertionFailure() << "a box is open";
    if (!ui::Click(run.Dialog(), ids::kClearLog))
        return ::testing::AssertionFailure() << "cannot click 清理日志";
    if (!WaitUntil([&] { return run.Log().empty(); }))
        return ::testing::AssertionFailure() << "log not cleared";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult Toggle(HWND dialog, int id) {
    int before = ui::CheckState(dialog, id);
    if (!ui::Click(dialog, id)) return ::testing::AssertionFailure() << "box " << id;
    if (!WaitUntil([&] { return ui::CheckState(dialog, id) != before; }))
        return ::testing::AssertionFailure() << "box " << id << " did not change";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult HideToTray(HWND dialog) {
    if (WaitUntil([&] {
            if (IsWindowVisible(dialog)) {
                ui::PostSysCommand(dialog, SC_MINIMIZE);
                return false;
            }
            return ui::Settled(dialog) && ui::Settled(dialog) && !IsWindowVisible(dialog);
        }))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the window does not stay hidden";
}

::testing::AssertionResult GoLive(const SonafeedRun& run, std::optional<size_t> runs) {
    const size_t expected_runs = runs ? *runs : run.PublishRuns().size() + 1;
    if (!ui::Click(run.Dialog(), ids::kStartLive))
        return ::testing::AssertionFailure() << "cannot click 开始直播";
    if (!WaitUntil([&] {
            return ButtonText(run, ids::kStartLive) == expected::kStopLive &&
                   run.PublishRuns().size() == expected_runs;
        }))
        return ::testing::AssertionFailure()
               << "not live: caption \"" << ButtonText(run, ids::kStartLive) << "\", "
               << run.PublishRuns().size() << " encoder runs, expected " << expected_runs;
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult EndLive(const SonafeedRun& run) {
    if (!ui::Click(run.Dialog(), ids::kStartLive))
        return ::testing::AssertionFailure() << "cannot click 停止直播";
    if (!WaitUntil([&] {
            return ButtonText(run, ids::kStartLive) == expected::kStartLive &&
                   run.CountRunning(expected::kEncoder) == 0;
        }))
        return ::testing::AssertionFailure()
               << "caption \"" << ButtonText(run, ids::kStartLive) << "\", "
               << run.CountRunning(expected::kEncoder) << " encoders running";
    return ::testing::AssertionSuccess();
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string OwnStatusFileLine(const SonafeedRun& run) {
    return expected::kOwnStatusFile + run.PathOf("log\\NetStatus.txt");
}

OtherWindowInFront::OtherWindowInFront()
    : window_(CreateWindowExA(WS_EX_TOPMOST, "STATIC", "other program", WS_POPUP | WS_VISIBLE, 0, 0,
                              200, 100, nullptr, nullptr, nullptr, nullptr)) {
    SetForegroundWindow(window_);
    SetActiveWindow(window_);
}

std::string WinInetDescription(DWORD error) {
    char* text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE |
                       FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   GetModuleHandleA("wininet.dll"), error, 0, reinterpret_cast<char*>(&text), 0,
                   nullptr);
    std::string description = text ? text : "";
    LocalFree(text);
    description.erase(description.find_last_not_of(" \r\n") + 1);
    return description;
}

} // namespace e2e
