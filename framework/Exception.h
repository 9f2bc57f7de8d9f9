// CException: a failure of the framework's own layers. The dialog procedure catches it, ends the
// handler in progress and shows it with ReportError; it never unwinds into Windows code.
#pragma once

class CException {
  public:
    virtual ~CException() = default;
    // Shows the standard error box with the system's description of the failure.
    virtual void ReportError() const = 0;
};
