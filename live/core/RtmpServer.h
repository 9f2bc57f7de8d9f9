// The RTMP server behind a publish address, and the opening of the RTMP handshake that tells
// whether it is there: a server answers C0 and C1 with S0 and S1 before anything is published,
// while a proxy or tunnel in front of a dead server accepts the connection and drops it.
#pragma once

#include <cstddef>
#include <string>

inline constexpr unsigned short kRtmpDefaultPort = 1935;
// S0 (the version byte) and S1.
inline constexpr size_t kRtmpServerGreetingBytes = 1 + 1536;

struct RtmpServer {
    std::string host; // a name or an address; an IPv6 literal without its brackets
    unsigned short port = kRtmpDefaultPort;
};

// The host and port of an "rtmp://" address; false when it names no usable host or its port is
// not a number from 1 to 65535.
bool RtmpServerOf(const std::string& publishUrl, RtmpServer& server);

// C0 (version 3) and C1: four bytes of time, four zero bytes (the plain handshake), filler.
std::string RtmpHandshakeStart();

// True when `greeting` holds a whole S0 and S1 of a server that speaks version 3.
bool IsRtmpServerGreeting(const std::string& greeting);
