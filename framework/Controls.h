// Combo box and list box wrappers: one-line forwards of their window messages.
#pragma once
#include "framework/Wnd.h"

class CComboBox : public CWnd {
  public:
    // Returns the position inserted at, CB_ERR or CB_ERRSPACE.
    int InsertString(int index, const char* text) {
        return Send(CB_INSERTSTRING, index, reinterpret_cast<LPARAM>(text));
    }
    // Returns the position of the new entry in the sorted list, CB_ERR or CB_ERRSPACE.
    int AddString(const char* text) {
        return Send(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    void ResetContent() { Send(CB_RESETCONTENT, 0, 0); }
    // WM_CLEAR deletes an edit field's selection; a drop-down list has none.
    void Clear() { Send(WM_CLEAR, 0, 0); }
    // Returns CB_ERR when the position does not exist (the box is then left without selection).
    int SetCurSel(int index) { return Send(CB_SETCURSEL, index, 0); }
    // Returns CB_ERR if nothing is selected.
    int GetCurSel() const { return Send(CB_GETCURSEL, 0, 0); }
    // Leaves text empty when the position does not exist.
    void GetLBText(int index, CString& text) const;
    // A value kept with the entry at `index`; CB_ERR when the position does not exist.
    int SetItemData(int index, DWORD_PTR data) { return Send(CB_SETITEMDATA, index, data); }
    DWORD_PTR GetItemData(int index) const {
        return static_cast<DWORD_PTR>(::SendMessageA(m_hWnd, CB_GETITEMDATA, index, 0));
    }

  private:
    int Send(UINT message, WPARAM wParam, LPARAM lParam) const {
        return static_cast<int>(::SendMessageA(m_hWnd, message, wParam, lParam));
    }
};

class CListBox : public CWnd {
  public:
    // An explicit position is kept even in a sorted list box. Returns the position or LB_ERR.
    int InsertString(int index, const char* text) {
        return static_cast<int>(
            ::SendMessageA(m_hWnd, LB_INSERTSTRING, index, reinterpret_cast<LPARAM>(text)));
    }
    // Returns the number of entries left, or LB_ERR when the position does not exist.
    int DeleteString(int index) {
        return static_cast<int>(::SendMessageA(m_hWnd, LB_DELETESTRING, index, 0));
    }
    void ResetContent() { ::SendMessageA(m_hWnd, LB_RESETCONTENT, 0, 0); }
};
