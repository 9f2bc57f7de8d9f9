// One run of Sonafeed.exe in a fresh temporary directory, with the ffmpeg double beside it as
// ffmpeg.exe. The destructor ends every process started from that directory and removes it.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "framework/Handle.h"
#include "tests/e2e/support/HostPath.h"
#include "tests/e2e/support/WaitUntil.h"

namespace e2e {

inline constexpr char kMainCaption[] = "Kelvo电台推流客户端";

// A whole file by path, e.g. one outside the run's directory. Reading: nullopt when the file is
// missing or cannot be opened yet.
bool WriteWholeFile(const std::string& path, const std::string& bytes);
std::optional<std::string> ReadWholeFile(const std::string& path);

class SonafeedRun {
  public:
    struct Options {
        // Copied in as Sonafeed.exe (Windows path); empty: the product.
        std::string exe;
        // Copy the double in as ffmpeg.exe.
        bool with_encoder = true;
        std::string caption = kMainCaption;
        // Added to the test's own environment, replacing a variable of the same name.
        std::vector<std::pair<std::string, std::string>> environment;
        // Until the main dialog or a start-up message box shows.
        DWORD start_timeout_ms = 60000;
        // The command line after the program's name, e.g. "/live".
        std::string arguments;
        // The folder that gets the run's directory, e.g. "S:\\"; empty: the temporary folder.
        std::string parent;
    };

    // A later start of Sonafeed.exe from the run's directory, e.g. a second instance. Ended
    // when it goes out of scope while it still runs.
    class LaterStart {
      public:
        LaterStart(HANDLE process, DWORD pid) : process_(process), pid_(pid) {}
        ~LaterStart();
        LaterStart(const LaterStart&) = delete;
        LaterStart& operator=(const LaterStart&) = delete;

        // False when it could not be started.
        explicit operator bool() const { return process_.IsValid(); }
        DWORD Pid() const { return pid_; }
        bool WaitForExit(DWORD timeout_ms = kPatience) const;
        // STILL_ACTIVE while running.
        DWORD ExitCode() const;

      private:
        CHandle process_;
        DWORD pid_;
    };

    SonafeedRun() : SonafeedRun(Options()) {}
    explicit SonafeedRun(Options options);
    ~SonafeedRun();
    SonafeedRun(const SonafeedRun&) = delete;
    SonafeedRun& operator=(const SonafeedRun&) = delete;

    const std::string& Dir() const { return dir_; }
    std::string PathOf(const std::string& name) const { return dir_ + "\\" + name; }
    // Files in Dir(), e.g. config.db, ffmpeg-double.txt or a listing, written before Start().
    bool WriteFileBytes(const std::string& name, const std::string& bytes) const;
    // nullopt when the file is missing or cannot be opened yet.
    std::optional<std::string> ReadFileBytes(const std::string& name) const;

    // Starts Sonafeed.exe in Dir() and waits until its main dialog shows or a message box
    // shows first. Again after the program has ended, to restart it on the same files.
    ::testing::AssertionResult Start();
    // Starts it as Start() does without waiting for any window, e.g. for a start-up that hangs.
    ::testing::AssertionResult StartNoWait();
    HANDLE Process() const { return process_.Get(); }
    DWORD Pid() const { return pid_; }
    // Starts Sonafeed.exe once more from Dir() with `arguments`, without waiting for anything;
    // `dir` spells Dir() otherwise (e.g. DirOnDriveZ()), for the program and its working folder.
    LaterStart StartAgain(const std::string& arguments, const std::string& dir = "") const;
    // Dir() reached through drive Z:, where Wine maps the Linux root: the same folder under
    // another drive letter, as subst or a mapped drive gives it. Empty when it cannot be told.
    std::string DirOnDriveZ() const;

    // The main dialog, shown or hidden; nullptr while it does not exist.
    HWND Dialog() const;
    // Waits until the main dialog is shown, e.g. after a start-up message box.
    ::testing::AssertionResult WaitForDialog(DWORD timeout_ms = kPatience) const;
    // A shown dialog other than the main one: a message box, the About box; nullptr if none.
    HWND Popup() const;
    HWND WaitForPopup(DWORD timeout_ms = kPatience) const;
    // The main dialog's log list box.
    std::vector<std::string> Log() const;
    // The log's messages without their time stamps ("YYYY-MM-DD HH:MM:SS "), oldest first.
    std::vector<std::string> Messages() const;

    // Posts WM_CLOSE to the main dialog and waits until the process has ended.
    ::testing::AssertionResult Close(DWORD timeout_ms = kPatience);
    bool WaitForExit(DWORD timeout_ms = kPatience) const;
    bool IsRunning() const;
    // STILL_ACTIVE while running.
    DWORD ExitCode() const;

    // The command lines of the double's publishing runs (runs\<n>.cmdline) in run order, and
    // of its listing runs (runs\list-<n>.cmdline). A run still being recorded is not listed.
    std::vector<std::string> PublishRuns() const;
    std::vector<std::string> ListingRuns() const;
    // Running processes started from Dir() whose file name is `exe_name`, e.g. "ffmpeg.exe".
    int CountRunning(const std::string& exe_name) const;
    // The daily log files beside the program, oldest day first, as one text.
    std::string DailyLog() const;

  private:
    std::vector<std::string> Runs(const std::string& prefix) const;
    // Starts Sonafeed.exe from Dir() in the test job; false (and a message) on failure.
    ::testing::AssertionResult Launch(const std::string& arguments, PROCESS_INFORMATION& info,
                                      const std::string& dir = "") const;

    Options options_;
    std::string dir_;
    CHandle process_;
    DWORD pid_ = 0;
};

} // namespace e2e
