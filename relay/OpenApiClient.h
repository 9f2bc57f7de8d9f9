#pragma once
#include "framework/String.h"

// Sends one PullStreamOp request of the given type ("add", "del" or "play"). True when the
// service accepted it; otherwise error holds the service's answer or the HTTP status. A
// transport failure throws CInternetException, and so does an exchange that has not ended
// within 30 s (ERROR_INTERNET_TIMEOUT).
bool CallPullStreamOp(CString accessId, CString accessKey, CString appId, CString stream,
                      CString type, CString from, CString& error);
