// Fixed limits and texts of the HTTP clients.
#pragma once

#include <cstddef>

namespace lumvex::http {

// A response body stops growing here: the transfer ends and the bytes read so far are the body.
inline constexpr std::size_t kMaxBodyBytes = 32u * 1024u * 1024u;
// The most header bytes collected for one response; a longer block ends the transfer.
inline constexpr std::size_t kMaxHeaderBytes = 64u * 1024u;
// curl's receive buffer per transfer unless a smaller body limit shrinks it.
inline constexpr std::size_t kDefaultReceiveBufferBytes = 16u * 1024u;

// What a caller of FetchPage and RawRequest may see of the header block: a block that does not fit
// (with room for a terminating zero) is handed over as this many spaces.
inline constexpr std::size_t kFetchHeaderBufferBytes = 2048;
inline constexpr std::size_t kRawHeaderBufferBytes = 1024;

// The cookie jar's bounds, the figures RFC 6265 asks a browser to hold at least: a server can set
// only so much before its oldest cookies (or another host's) make room. A cookie's bytes are its
// name and value.
inline constexpr std::size_t kMaxCookieBytes = 4096;
inline constexpr std::size_t kMaxCookiesPerHost = 50;
inline constexpr std::size_t kMaxCookieBytesPerHost = 64u * 1024u;
inline constexpr std::size_t kMaxCookies = 3000;
inline constexpr std::size_t kMaxCookieBytesInAll = 2u * 1024u * 1024u;

// Redirects followed at most per request.
inline constexpr int kMaxRedirects = 10;
// Redirects a proxy check follows through its proxy before it gives up on a loop.
inline constexpr int kMaxCheckRedirects = 5;

// FetchPage's deadline when the caller gives none.
inline constexpr double kDefaultFetchTimeoutS = 60.0;
// The longest a blocking client (raw request, simple GET, scripted request) takes in all,
// redirects included, unless its caller gives another limit: a server that trickles a byte every
// few seconds never trips a stall limit and would otherwise hold a harvest for ever.
inline constexpr long kSyncTotalMs = 60000;
// The limits of one blocking exchange with its redirects: a total limit on top of the limits on
// connecting and on a stalled transfer, since a server that sends a byte every few seconds never
// trips the stall limit, so only a total limit bounds how long it can hold the caller.
struct SyncLimits {
  long connect_ms;
  long idle_ms;  // longest time without a byte moving either way
  // The whole call, every redirect included; 0 or less means kSyncTotalMs.
  long total_ms = kSyncTotalMs;
};

// RawRequest's connect limit and the longest it waits without any byte moving.
inline constexpr long kRawRequestLimitMs = 18000;
// SimpleGet has no limits of its own; these keep a dead server from blocking it forever.
inline constexpr long kSimpleGetConnectMs = 60000;
inline constexpr long kSimpleGetIdleMs = 60000;

// The request object's own timeouts, kept when ScriptedRequest is told to leave them alone.
inline constexpr long kScriptedOwnConnectMs = 60000;
inline constexpr long kScriptedOwnIdleMs = 30000;
inline constexpr long kScriptedDefaultMs = 15000;

}  // namespace lumvex::http
