// CException: a failure of the framework's own layers. The dialog procedure catches it, ends the
// handler in progress and shows it with ReportError; it never unwinds into Windows code.
#pragma once
#include "framework/String.h"

class CException {
  public:
    virtual ~CException() = default;
    // The system's description of the failure, as one line.
    virtual CString Description() const = 0;
    // Shows the standard error box with that description.
    void ReportError() const;
};
