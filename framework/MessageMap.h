// Message maps: each entry expands into one test in the class's OnMessage, no registration at
// run time. Entries are tried in order; the first that matches handles the message.
#pragma once
#include <windows.h>

#define DECLARE_MESSAGE_MAP()                                                                      \
  protected:                                                                                       \
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                     \
    bool theClass::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {        \
        using ThisBase = baseClass;

#define END_MESSAGE_MAP()                                                                          \
    return ThisBase::OnMessage(message, wParam, lParam, result);                                   \
    }

#define ON_COMMAND_CODE(id, code, handler)                                                         \
    if (message == WM_COMMAND && LOWORD(wParam) == (id) && HIWORD(wParam) == (code)) {             \
        handler();                                                                                 \
        return true;                                                                               \
    }
#define ON_BN_CLICKED(id, handler) ON_COMMAND_CODE(id, BN_CLICKED, handler)
#define ON_CBN_SELCHANGE(id, handler) ON_COMMAND_CODE(id, CBN_SELCHANGE, handler)

#define ON_WM_SYSCOMMAND()                                                                         \
    if (message == WM_SYSCOMMAND) {                                                                \
        OnSysCommand(static_cast<UINT>(wParam), lParam);                                           \
        return true;                                                                               \
    }
#define ON_WM_PAINT()                                                                              \
    if (message == WM_PAINT) {                                                                     \
        OnPaint();                                                                                 \
        return true;                                                                               \
    }
#define ON_WM_QUERYDRAGICON()                                                                      \
    if (message == WM_QUERYDRAGICON) {                                                             \
        result = reinterpret_cast<LRESULT>(OnQueryDragIcon());                                     \
        return true;                                                                               \
    }
#define ON_WM_CLOSE()                                                                              \
    if (message == WM_CLOSE) {                                                                     \
        OnClose();                                                                                 \
        return true;                                                                               \
    }
#define ON_WM_TIMER()                                                                              \
    if (message == WM_TIMER) {                                                                     \
        OnTimer(static_cast<UINT_PTR>(wParam));                                                    \
        return true;                                                                               \
    }
#define ON_MESSAGE(id, handler)                                                                    \
    if (message == (id)) {                                                                         \
        result = handler(wParam, lParam);                                                          \
        return true;                                                                               \
    }
