// CSonafeedApp: runs the main dialog modally; the process ends when it ends.
#pragma once
#include "framework/WinApp.h"

class CSonafeedApp : public CWinApp {
  public:
    BOOL InitInstance() override;
};
