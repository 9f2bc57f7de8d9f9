// The RTMP publish address: check before going live, and the application/stream split the relay
// request needs.
#pragma once

#include <string>

// Removes every blank (0x20) anywhere; tabs stay.
void RemoveBlanks(std::string& url);

// nullptr when accepted without remark; otherwise one of the texts:: constants. `accepted` tells
// whether the address may be used (true also with the warning texts::kUrlNotPublishDomain).
const char* CheckPublishUrlText(const std::string& cleanedUrl, bool& accepted);

// Application = text between the last two "/", stream = text after the last "/" up to its first
// "?". Returns nullptr on success, else texts::kUrlNoSlash / texts::kUrlNoSecondSlash. Total on
// any input; on failure appId and stream are left untouched.
const char* SplitPublishUrlText(const std::string& url, std::string& appId, std::string& stream);
