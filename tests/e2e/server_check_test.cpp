// The check of the publish address's server on its own, in this process: it tells at once a
// server that answers, one that takes the connection and drops it, and a port that refuses it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "live/RtmpProbe.h"
#include "tests/e2e/support/OpenApiStandIn.h"
#include "tests/e2e/support/RtmpStandIn.h"

namespace {

using namespace e2e;

constexpr UINT kChecked = WM_APP + 7;

// Runs one check against 127.0.0.1:`port` and waits for its answer; false on time-out.
bool Check(unsigned short port, bool& answers, DWORD& elapsed) {
    HWND window =
        CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    const DWORD start = GetTickCount();
    bool done = StartRtmpProbe(window, kChecked, 0, RtmpServer{"127.0.0.1", port});
    MSG message;
    while (done && GetTickCount() - start < 2 * kRtmpProbeTimeoutMs) {
        if (!PeekMessageA(&message, window, kChecked, kChecked, PM_REMOVE)) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_POSTMESSAGE);
            continue;
        }
        answers = message.lParam != 0;
        elapsed = GetTickCount() - start;
        DestroyWindow(window);
        return true;
    }
    DestroyWindow(window);
    return false;
}

TEST(ServerCheck, TellsAtOnceWhetherTheServerIsThere) {
    RtmpStandIn answering(RtmpStandIn::Mode::kAnswer);
    RtmpStandIn dropping(RtmpStandIn::Mode::kDrop);
    const struct {
        const char* name;
        unsigned short port;
        bool answers;
    } cases[] = {
        {"answers", answering.Port(), true},
        {"drops the connection", dropping.Port(), false},
        // Windows tells a refused connection in the exception set only.
        {"refuses the connection", OpenApiStandIn::ClosedPort(), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        bool answers = !c.answers;
        DWORD elapsed = 0;
        ASSERT_TRUE(Check(c.port, answers, elapsed));
        EXPECT_EQ(answers, c.answers);
        EXPECT_LT(elapsed, kRtmpProbeTimeoutMs / 3);
    }
}

} // namespace
