// The harness's own tests: each catches a fault that would make scenario tests pass or fail
// for the wrong reason. The UI and run checks drive the harness's test dialog.
#include <winsock2.h>
#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/support/Loopback.h"
#include "tests/e2e/support/OpenApiStandIn.h"
#include "tests/e2e/support/ProcessProbe.h"
#include "tests/e2e/support/SonafeedRun.h"
#include "tests/e2e/support/TestDialogIds.h"
#include "tests/e2e/support/UiDriver.h"

namespace {

using namespace e2e;

constexpr char kTarget[] = "/v2/VXR.PullStreamOp";
// A code page 936 form body, as the product sends.
constexpr char kBody[] = "action=pull&name=测试频道&src=rtmp://源/直播";

// A blocking TCP client that sends raw bytes and reads until the server closes.
class RawClient {
  public:
    explicit RawClient(unsigned short port) {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        DWORD timeout = kPatience;
        setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
                   sizeof timeout);
        sockaddr_in address = LoopbackAddress(port);
        connected_ = connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        if (!connected_) error_ = WSAGetLastError();
    }
    ~RawClient() {
        closesocket(socket_);
        WSACleanup();
    }
    bool Connected() const { return connected_; }
    int Error() const { return error_; }
    void Send(const std::string& bytes) {
        send(socket_, bytes.data(), static_cast<int>(bytes.size()), 0);
    }
    bool Readable() {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(socket_, &set);
        timeval now = {0, 0};
        return select(0, &set, nullptr, nullptr, &now) > 0;
    }
    // What one receive brings; "" at the end or on error.
    std::string ReadSome() {
        char chunk[4096];
        int got = recv(socket_, chunk, sizeof chunk, 0);
        return got > 0 ? std::string(chunk, got) : std::string();
    }
    std::string ReadToEnd() {
        std::string received;
        char chunk[4096];
        int got;
        while ((got = recv(socket_, chunk, sizeof chunk, 0)) > 0)
            received.append(chunk, got);
        return received;
    }

  private:
    SOCKET socket_ = INVALID_SOCKET;
    bool connected_ = false;
    int error_ = 0;
};

std::string PostHead(size_t body_length) {
    return std::string("POST ") + kTarget +
           " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type:  application/x-www-form-urlencoded;"
           "\r\nContent-Length: " +
           std::to_string(body_length) + "\r\n\r\n";
}

// Sends one whole request and returns the whole answer.
std::string Exchange(unsigned short port, const std::string& request) {
    RawClient client(port);
    client.Send(request);
    return client.ReadToEnd();
}

std::string StatusLine(const std::string& answer) {
    return answer.substr(0, answer.find("\r\n"));
}

struct WinInetResult {
    DWORD error = 0;
    DWORD status = 0;
    std::string body;
};

// Posts the way the product does: WinINet, form header, code page 936 body.
WinInetResult PostWithWinInet(unsigned short port, const std::string& body) {
    WinInetResult result;
    HINTERNET session = InternetOpenA("e2e", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    HINTERNET connection =
        InternetConnectA(session, "127.0.0.1", port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET request = HttpOpenRequestA(connection, "POST", kTarget, "HTTP/1.1", nullptr, nullptr,
                                         INTERNET_FLAG_RELOAD, 0);
    constexpr char kHeader[] = "Content-Type: application/x-www-form-urlencoded;";
    if (!HttpSendRequestA(request, kHeader, sizeof kHeader - 1, const_cast<char*>(body.data()),
                          static_cast<DWORD>(body.size()))) {
        result.error = GetLastError();
    } else {
        DWORD size = sizeof result.status;
        HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &result.status,
                       &size, nullptr);
        char chunk[4096];
        DWORD got = 0;
        while (InternetReadFile(request, chunk, sizeof chunk, &got) && got > 0)
            result.body.append(chunk, got);
    }
    for (HINTERNET handle : {request, connection, session})
        if (handle) InternetCloseHandle(handle);
    return result;
}

TEST(OpenApiStandIn, RecordsARequestThatArrivesInPiecesByteForByte) {
    OpenApiStandIn server;
    ASSERT_NE(server.Port(), 0);
    server.SetDefaultAnswer({200, "{\"code\":0}"});
    const std::string body = kBody;
    const std::string head = PostHead(body.size());
    RawClient client(server.Port());
    ASSERT_TRUE(client.Connected());

    // Neither a head without its blank line nor a short body is a request yet.
    client.Send(head.substr(0, head.size() - 2));
    EXPECT_FALSE(server.WaitForRequests(1, 300));
    // Cut inside a double-byte character.
    size_t cut = body.find("测") + 1;
    client.Send(head.substr(head.size() - 2) + body.substr(0, cut));
    EXPECT_FALSE(server.WaitForRequests(1, 300));
    client.Send(body.substr(cut));

    ASSERT_TRUE(server.WaitForRequests(1));
    HttpRequest request = server.Requests().at(0);
    EXPECT_EQ(request.head, head);
    EXPECT_EQ(request.body, body);
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, kTarget);
    EXPECT_EQ(request.version, "HTTP/1.1");
    using Headers = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(request.headers, (Headers{{"Host", "127.0.0.1"},
                                        {"Content-Type", "application/x-www-form-urlencoded;"},
                                        {"Content-Length", std::to_string(body.size())}}));
    EXPECT_EQ(request.Header("content-type"), "application/x-www-form-urlencoded;");
    EXPECT_EQ(request.Header("Accept"), "");

    std::string answer = client.ReadToEnd();
    EXPECT_EQ(StatusLine(answer), "HTTP/1.1 200 OK");
    EXPECT_NE(answer.find("\r\nContent-Length: 10\r\n"), std::string::npos) << answer;
    EXPECT_EQ(answer.substr(answer.find("\r\n\r\n") + 4), "{\"code\":0}");
}

TEST(OpenApiStandIn, WinInetPostArrivesAsSentAndGetsTheAnswer) {
    OpenApiStandIn server;
    server.SetDefaultAnswer({500, "{\"code\":1,\"msg\":\"失败\"}"});

    WinInetResult result = PostWithWinInet(server.Port(), kBody);

    ASSERT_EQ(result.error, 0u);
    EXPECT_EQ(result.status, 500u);
    EXPECT_EQ(result.body, "{\"code\":1,\"msg\":\"失败\"}");
    ASSERT_EQ(server.Requests().size(), 1u);
    HttpRequest request = server.Requests()[0];
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, kTarget);
    EXPECT_EQ(request.body, kBody);
    EXPECT_EQ(request.Header("Content-Type"), "application/x-www-form-urlencoded;");
    EXPECT_EQ(request.Header("Host"), "127.0.0.1:" + std::to_string(server.Port()));
}

TEST(OpenApiStandIn, AnswersQueuedInOrderThenTheDefault) {
    OpenApiStandIn server;
    server.QueueAnswer({404, "first"});
    server.QueueAnswer({200, "second"});
    server.SetDefaultAnswer({503, "default"});
    std::vector<std::string> answers;
    for (int i = 0; i < 4; ++i)
        answers.push_back(Exchange(server.Port(), PostHead(0)));

    std::vector<std::string> status_lines;
    for (const auto& answer : answers)
        status_lines.push_back(StatusLine(answer));
    EXPECT_EQ(status_lines, (std::vector<std::string>{"HTTP/1.1 404 Not Found", "HTTP/1.1 200 OK",
                                                      "HTTP/1.1 503 Service Unavailable",
                                                      "HTTP/1.1 503 Service Unavailable"}));
    EXPECT_EQ(answers[1].substr(answers[1].size() - 6), "second");
    EXPECT_EQ(server.Requests().size(), 4u);
}

TEST(OpenApiStandIn, RecordsTheRequestAtOnceAndAnswersAfterTheDelay) {
    OpenApiStandIn server;
    HttpAnswer slow;
    slow.delay_ms = 1500;
    server.SetDefaultAnswer(slow);
    RawClient client(server.Port());
    const DWORD sent = GetTickCount();
    client.Send(PostHead(0));

    // A scenario inspects the program while its request waits for the answer.
    ASSERT_TRUE(server.WaitForRequests(1));
    const bool answered = client.Readable();
    if (GetTickCount() - sent < 1500) {
        EXPECT_FALSE(answered);
    }
    std::string answer = client.ReadToEnd();
    EXPECT_GE(GetTickCount() - sent, 1500u);
    EXPECT_EQ(StatusLine(answer), "HTTP/1.1 200 OK");
}

TEST(OpenApiStandIn, ClosesWithoutAnswerOrInTheMiddleOfTheBody) {
    OpenApiStandIn server;
    HttpAnswer silent;
    silent.kind = HttpAnswer::Kind::kCloseWithoutAnswer;
    HttpAnswer cut{200, "0123456789"};
    cut.kind = HttpAnswer::Kind::kCloseMidBody;
    server.QueueAnswer(silent);
    server.QueueAnswer(cut);

    EXPECT_EQ(Exchange(server.Port(), PostHead(0)), "");
    std::string answer = Exchange(server.Port(), PostHead(0));
    EXPECT_NE(answer.find("\r\nContent-Length: 10\r\n"), std::string::npos) << answer;
    EXPECT_EQ(answer.substr(answer.find("\r\n\r\n") + 4), "01234");
    // What a client sees of both, under Wine 8: no error for either.
    server.QueueAnswer(silent);
    WinInetResult unanswered = PostWithWinInet(server.Port(), kBody);
    EXPECT_EQ(unanswered.error, 0u);
    EXPECT_EQ(unanswered.status, 0u);
    EXPECT_EQ(unanswered.body, "");
    server.QueueAnswer(cut);
    WinInetResult short_body = PostWithWinInet(server.Port(), kBody);
    EXPECT_EQ(short_body.error, 0u);
    EXPECT_EQ(short_body.status, 200u);
    EXPECT_EQ(short_body.body, "01234");
}

TEST(OpenApiStandIn, StopsPromptlyWithAnAnswerPendingAndFreesThePort) {
    unsigned short port = 0;
    const DWORD start = GetTickCount();
    {
        OpenApiStandIn server;
        port = server.Port();
        HttpAnswer never;
        never.delay_ms = 120000;
        server.SetDefaultAnswer(never);
        RawClient waiting(port);
        waiting.Send(PostHead(0));
        RawClient idle(port);
        ASSERT_TRUE(server.WaitForRequests(1));
    }
    EXPECT_LT(GetTickCount() - start, 10000u);
    RawClient after(port);
    EXPECT_FALSE(after.Connected());
    RawClient nothing(OpenApiStandIn::ClosedPort());
    EXPECT_FALSE(nothing.Connected());
    EXPECT_EQ(nothing.Error(), WSAECONNREFUSED);
}

TEST(OpenApiStandIn, PacesChunkedAnswersStopsAfterTheHeadAndListensAgain) {
    OpenApiStandIn server;
    const unsigned short port = server.Port();
    HttpAnswer paced{200, "0123456789"};
    paced.chunks = 2;
    paced.part_bytes = 40;
    paced.gap_ms = 200;
    server.QueueAnswer(paced);
    HttpAnswer head_only{200, "never sent"};
    head_only.kind = HttpAnswer::Kind::kHeadThenSilence;
    server.QueueAnswer(head_only);

    const DWORD start = GetTickCount();
    const std::string answer = Exchange(port, PostHead(0));
    const size_t parts = (answer.size() + paced.part_bytes - 1) / paced.part_bytes;
    EXPECT_GE(GetTickCount() - start, (parts - 1) * paced.gap_ms);
    EXPECT_NE(answer.find("\r\nTransfer-Encoding: chunked\r\n"), std::string::npos) << answer;
    EXPECT_EQ(answer.substr(answer.find("\r\n\r\n") + 4), "5\r\n01234\r\n5\r\n56789\r\n0\r\n\r\n");

    // The head announces a body that never comes, and the connection stays open.
    RawClient waiting(port);
    waiting.Send(PostHead(0));
    std::string head;
    while (head.find("\r\n\r\n") == std::string::npos) {
        std::string more = waiting.ReadSome();
        ASSERT_NE(more, "") << head;
        head += more;
    }
    EXPECT_NE(head.find("\r\nContent-Length: 10\r\n"), std::string::npos) << head;
    EXPECT_EQ(head.substr(head.find("\r\n\r\n") + 4), "");
    EXPECT_FALSE(WaitUntil([&] { return waiting.Readable(); }, 500));

    server.StopListening();
    EXPECT_FALSE(RawClient(port).Connected());
    ASSERT_TRUE(server.ListenAgain());
    EXPECT_EQ(StatusLine(Exchange(port, PostHead(0))), "HTTP/1.1 200 OK");
    EXPECT_EQ(server.Requests().size(), 3u);
}

SonafeedRun::Options TestDialog() {
    SonafeedRun::Options options;
    options.exe = WindowsPathOf(E2E_TEST_DIALOG_EXE);
    options.caption = test_dialog::kCaption;
    return options;
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST(UiDriver, ReadsChineseListAndComboItemsFromAnotherProcess) {
    SonafeedRun run(TestDialog());
    ASSERT_TRUE(run.Start());
    HWND dialog = run.Dialog();
    ASSERT_TRUE(dialog);

    EXPECT_EQ(ui::Caption(dialog), test_dialog::kCaption);
    EXPECT_EQ(run.Log(), std::vector<std::string>{test_dialog::kChineseLine});
    EXPECT_EQ(ui::ComboItems(dialog, test_dialog::kCombo),
              (std::vector<std::string>{"32", "48", "中文设备"}));
    EXPECT_EQ(ui::ComboSelection(dialog, test_dialog::kCombo), 1);
    EXPECT_EQ(ui::ControlText(dialog, test_dialog::kBoxButton), "提示");
    EXPECT_EQ(ui::Dialogs(run.Pid()), std::vector<HWND>{dialog});
}

TEST(UiDriver, SelectsAComboItemAsTheOperatorWould) {
    SonafeedRun run(TestDialog());
    ASSERT_TRUE(run.Start());
    HWND dialog = run.Dialog();

    ASSERT_TRUE(ui::SelectComboItem(dialog, test_dialog::kCombo, 2));
    EXPECT_EQ(ui::ComboSelection(dialog, test_dialog::kCombo), 2);
    // The dialog heard of it, and had by the time the call returned.
    EXPECT_TRUE(Contains(run.Log(), std::string(test_dialog::kSelectedPrefix) + "中文设备"));
    EXPECT_FALSE(ui::SelectComboItem(dialog, test_dialog::kCombo, 3));
    EXPECT_EQ(ui::ComboSelection(dialog, test_dialog::kCombo), 2);
}

TEST(UiDriver, SetsEditTextAndClicksOnlyWhatAnOperatorCould) {
    SonafeedRun run(TestDialog());
    ASSERT_TRUE(run.Start());
    HWND dialog = run.Dialog();

    const std::string address = "rtmp://推流.example/直播/乗\\";
    ASSERT_TRUE(ui::SetControlText(dialog, test_dialog::kEdit, address));
    EXPECT_EQ(ui::ControlText(dialog, test_dialog::kEdit), address);

    EXPECT_FALSE(ui::Click(dialog, test_dialog::kDisabledButton));
    EXPECT_FALSE(ui::Click(dialog, IDOK)); // hidden
    EXPECT_FALSE(ui::Click(dialog, 4242)); // missing
    EXPECT_EQ(ui::CheckState(dialog, test_dialog::kCheck), BST_UNCHECKED);
    ASSERT_TRUE(ui::Click(dialog, test_dialog::kCheck));
    EXPECT_TRUE(
        WaitUntil([&] { return ui::CheckState(dialog, test_dialog::kCheck) == BST_CHECKED; }));
    // Posted clicks are handled in order: a refused click would have shown by now.
    EXPECT_EQ(run.Log().size(), 1u);
}

TEST(UiDriver, ClickThatOpensAMessageBoxDoesNotBlock) {
    SonafeedRun run(TestDialog());
    ASSERT_TRUE(run.Start());
    HWND dialog = run.Dialog();

    ASSERT_TRUE(ui::Click(dialog, test_dialog::kBoxButton));
    HWND box = run.WaitForPopup();
    ASSERT_TRUE(box);
    // Named after the program file, which the run copies in as Sonafeed.exe.
    EXPECT_EQ(ui::Caption(box), "Sonafeed");
    EXPECT_EQ(ui::MessageBoxText(box), test_dialog::kBoxText);
    EXPECT_FALSE(Contains(run.Log(), test_dialog::kBoxClosedLine));

    ui::PressOk(box);
    EXPECT_TRUE(WaitUntil([&] { return Contains(run.Log(), test_dialog::kBoxClosedLine); }));
    EXPECT_FALSE(run.Popup());
    EXPECT_TRUE(ui::IsVisible(dialog));
}

TEST(UiDriver, EscapeAndEnterReachTheDialogAsCancelAndOk) {
    SonafeedRun run(TestDialog());
    ASSERT_TRUE(run.Start());
    HWND dialog = run.Dialog();

    ui::PressKey(dialog, VK_ESCAPE);
    ASSERT_TRUE(WaitUntil([&] { return Contains(run.Log(), "IDCANCEL"); }));
    ui::PressKey(dialog, VK_RETURN);
    ASSERT_TRUE(WaitUntil([&] { return Contains(run.Log(), "IDOK"); }));
    EXPECT_EQ(run.Log().size(), 3u);
    EXPECT_TRUE(run.IsRunning());
}

TEST(UiDriver, SystemMenuCommandOpensABoxThatEscapeCloses) {
    SonafeedRun run(TestDialog());
    ASSERT_TRUE(run.Start());
    HWND dialog = run.Dialog();

    // Readable across processes under Wine 8.
    auto items = ui::SystemMenuItems(dialog);
    ASSERT_TRUE(items);
    ASSERT_GE(items->size(), 2u);
    EXPECT_EQ(items->at(items->size() - 2), "");
    EXPECT_EQ(items->back(), test_dialog::kAboutItem);

    ui::PostSysCommand(dialog, test_dialog::kAboutCommand);
    HWND about = run.WaitForPopup();
    ASSERT_TRUE(about);
    EXPECT_EQ(ui::Caption(about), test_dialog::kAboutCaption);
    EXPECT_EQ(ui::FindDialog(run.Pid(), test_dialog::kAboutCaption), about);
    ui::PressKey(about, VK_ESCAPE);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about); }));
    EXPECT_TRUE(ui::IsVisible(dialog));
}

TEST(UiDriver, FindsWindowsWhileTheProgramIsBusy) {
    SonafeedRun run(TestDialog());
    ASSERT_TRUE(run.Start());
    HWND dialog = run.Dialog();
    const std::string suffix = std::to_string(run.Pid());
    HANDLE release =
        CreateEventA(nullptr, TRUE, FALSE, (test_dialog::kReleaseEvent + suffix).c_str());

    ASSERT_TRUE(ui::Click(dialog, test_dialog::kBusyButton));
    ASSERT_TRUE(WaitUntil([&] {
        HANDLE busy = OpenEventA(SYNCHRONIZE, FALSE, (test_dialog::kBusyEvent + suffix).c_str());
        if (busy) CloseHandle(busy);
        return busy != nullptr;
    }));
    // As while Sonafeed waits for the service's answer.
    const DWORD start = GetTickCount();
    EXPECT_EQ(run.Dialog(), dialog);
    EXPECT_FALSE(run.Popup());
    EXPECT_LT(GetTickCount() - start, 5000u);

    SetEvent(release);
    EXPECT_TRUE(WaitUntil([&] { return Contains(run.Log(), test_dialog::kNotBusyLine); }));
    CloseHandle(release);
}

TEST(SonafeedRun, StartReturnsOnAStartUpBoxAndPassesTheEnvironment) {
    SonafeedRun::Options options = TestDialog();
    options.environment = {{"E2E_STARTUP_BOX", "1"}, {"E2E_ECHO", "中文值 a=b"}};
    SonafeedRun run(options);
    ASSERT_TRUE(run.Start());

    HWND box = run.Popup();
    ASSERT_TRUE(box);
    EXPECT_EQ(ui::MessageBoxText(box), test_dialog::kStartupBoxText);
    EXPECT_FALSE(run.Dialog());
    ui::PressOk(box);
    ASSERT_TRUE(run.WaitForDialog());
    EXPECT_EQ(run.Log(),
              (std::vector<std::string>{test_dialog::kChineseLine, "E2E_ECHO=中文值 a=b"}));
}

TEST(SonafeedRun, CloseEndsTheProgramAndStartRunsItAgain) {
    SonafeedRun run(TestDialog());
    ASSERT_TRUE(run.Start());
    EXPECT_FALSE(run.Start());
    const DWORD first = run.Pid();
    ASSERT_TRUE(run.Close());
    EXPECT_EQ(run.ExitCode(), 0u);
    EXPECT_FALSE(run.Dialog());

    ASSERT_TRUE(run.Start());
    EXPECT_NE(run.Pid(), first);
    EXPECT_TRUE(ui::IsVisible(run.Dialog()));
}

// Starts the directory's ffmpeg.exe in publishing mode, as Sonafeed would.
HANDLE StartEncoder(const SonafeedRun& run, std::string command_line) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(run.PathOf("ffmpeg.exe").c_str(), command_line.data(), nullptr, nullptr,
                        FALSE, CREATE_NO_WINDOW, nullptr, run.Dir().c_str(), &startup, &info))
        return nullptr;
    CloseHandle(info.hThread);
    return info.hProcess;
}

TEST(SonafeedRun, ListsEncoderRunsAndLeavesNothingBehind) {
    HANDLE program = nullptr;
    HANDLE encoder = nullptr;
    std::string dir;
    {
        SonafeedRun run(TestDialog());
        dir = run.Dir();
        ASSERT_TRUE(run.WriteFileBytes("ffmpeg-double.txt", "exit_after_ms=0\n"));
        EXPECT_EQ(run.ReadFileBytes("ffmpeg-double.txt"), "exit_after_ms=0\n");
        EXPECT_EQ(run.ReadFileBytes("missing.txt"), std::nullopt);
        ASSERT_TRUE(run.Start());
        DuplicateHandle(GetCurrentProcess(), run.Process(), GetCurrentProcess(), &program,
                        SYNCHRONIZE, FALSE, 0);

        const std::string first = " -i 音频 -f flv rtmp://a/b/c";
        HANDLE quick = StartEncoder(run, first);
        ASSERT_TRUE(quick);
        EXPECT_EQ(WaitForSingleObject(quick, kPatience), WAIT_OBJECT_0);
        CloseHandle(quick);
        ASSERT_TRUE(run.WriteFileBytes("ffmpeg-double.txt", ""));
        const std::string second = "ffmpeg.exe  -i x ";
        encoder = StartEncoder(run, second);
        ASSERT_TRUE(encoder);

        ASSERT_TRUE(WaitUntil([&] { return run.PublishRuns().size() == 2; }));
        EXPECT_EQ(run.PublishRuns(), (std::vector<std::string>{first, second}));
        EXPECT_EQ(run.ListingRuns(), std::vector<std::string>{});
        EXPECT_EQ(run.CountRunning("ffmpeg.exe"), 1);
        EXPECT_EQ(run.CountRunning("Sonafeed.exe"), 1);
    }
    EXPECT_EQ(WaitForSingleObject(program, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(encoder, 0), WAIT_OBJECT_0);
    EXPECT_EQ(GetFileAttributesA(dir.c_str()), INVALID_FILE_ATTRIBUTES);
    CloseHandle(program);
    CloseHandle(encoder);
}

TEST(ProcessProbe, CountsAnotherProcesssHandlesThreadsAndMemory) {
    SonafeedRun run(TestDialog());
    ASSERT_TRUE(run.Start());
    const int before = probe::HandleCount(run.Pid());
    ASSERT_GT(before, 0);

    ASSERT_TRUE(ui::Click(run.Dialog(), test_dialog::kLeakButton));
    ASSERT_TRUE(WaitUntil([&] { return Contains(run.Log(), "leaked"); }));
    const int after = probe::HandleCount(run.Pid());
    EXPECT_GE(after - before, test_dialog::kLeakCount);
    EXPECT_LT(after - before, test_dialog::kLeakCount + 10);

    // One more thread while one waits; the other process has its own.
    const int threads = probe::ThreadCount(GetCurrentProcessId());
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread waiter([&] { WaitForSingleObject(release, INFINITE); });
    EXPECT_EQ(probe::ThreadCount(GetCurrentProcessId()), threads + 1);
    SetEvent(release);
    waiter.join();
    CloseHandle(release);
    EXPECT_GT(probe::ThreadCount(run.Pid()), 0);

    const size_t used = probe::PagefileUsage(GetCurrentProcess());
    ASSERT_GT(used, 0u);
    std::vector<char> block(32 << 20, 1);
    EXPECT_GE(probe::PagefileUsage(GetCurrentProcess()), used + (30 << 20));
    EXPECT_EQ(block[block.size() / 2], 1);
    EXPECT_GT(probe::PagefileUsage(run.Process()), 0u);
}

} // namespace
