// CDialog: runs a dialog template modally and dispatches its messages to the message map of
// the derived class (see MessageMap.h). Data exchange binds controls and texts.
#pragma once
#include "framework/Controls.h"

class CDialog;

// The direction of one data exchange: true takes the controls into the members.
struct CDataExchange {
    CDialog* m_pDlgWnd;
    bool m_bSaveAndValidate;
};

class CDialog : public CWnd {
  public:
    explicit CDialog(UINT templateId) : m_nIDTemplate(templateId) {}
    virtual ~CDialog() = default;

    INT_PTR DoModal();
    // TRUE takes the controls into the members, FALSE puts the members into the controls.
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

  protected:
    virtual void DoDataExchange(CDataExchange*) {}
    // Binds the controls and fills them from the members; TRUE gives the focus to the first
    // tab stop.
    virtual BOOL OnInitDialog();
    // The IDOK command: takes the controls into the members and ends the dialog with IDOK.
    virtual void OnOK();
    // The IDCANCEL command (also Escape): ends the dialog with IDCANCEL.
    virtual void OnCancel() { ::EndDialog(m_hWnd, IDCANCEL); }
    // The message map; true when the message was handled.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // Hands the message being handled on to the system's default dialog processing.
    void Default() { m_bDefault = true; }

  private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    UINT m_nIDTemplate;
    bool m_bDefault = false;
};

// Binds a control member to the dialog's control once.
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);
// Moves a control's text in the exchange's direction, without limit or validation.
void DDX_Text(CDataExchange* pDX, int id, CString& value);
