// Checks on a helper thread whether an RTMP server answers, so that neither name resolution nor
// a server that never answers can hold up the dialog.
#pragma once

#include <windows.h>

#include "live/core/RtmpServer.h"

// Sends C0 and C1 to `server` and waits for S0 and S1 (nothing is published), then posts
// `message` to `window` with `token` as wParam and 1 (the server answered) or 0 as lParam. The
// whole check, name resolution apart, ends within kRtmpProbeTimeoutMs. False when no helper
// thread could be started; then nothing is posted.
inline constexpr DWORD kRtmpProbeTimeoutMs = 3000;
bool StartRtmpProbe(HWND window, UINT message, WPARAM token, const RtmpServer& server);
