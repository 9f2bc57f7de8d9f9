// The switches a start of the program may carry. A start while another instance runs hands its
// command over to that instance and ends.
#pragma once

#include <string>

// The values travel between instances as a window message's WPARAM: keep them stable.
enum class AppCommand { kShow = 0, kLive = 1, kStop = 2, kQuit = 3, kUnknown = 4 };

// `arguments` is the command line after the program's name. None: kShow (bring the running
// window to the front); exactly one of /live, /stop, /quit in any letter case: its command;
// anything else: kUnknown.
AppCommand ParseCommandLine(const std::string& arguments);
