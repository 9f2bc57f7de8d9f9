#include "framework/WinApp.h"

#include "framework/ProgramPath.h"

#include <string>

namespace {
CWinApp* theApp = nullptr;
std::string appName;
} // namespace

CWinApp::CWinApp() {
    theApp = this;
}

CWinApp* AfxGetApp() {
    return theApp;
}
const char* AfxGetAppName() {
    return appName.c_str();
}
HINSTANCE AfxGetInstanceHandle() {
    return GetModuleHandleA(nullptr);
}

static std::string ProgramNameWithoutExtension() {
    std::string name = ProgramPath();
    name.erase(0, name.find_last_of("\\/") + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    return name;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    appName = ProgramNameWithoutExtension();
    if (commandLine) theApp->m_lpCmdLine = commandLine;
    // The program's InitInstance runs the whole program modally; no message loop follows.
    theApp->InitInstance();
    return 0;
}
