// Every FTP limit in one place: how long the stand-in waits on a server and how much it takes
// from one, and the FTP module's step and stall limits, which only make sense read against
// them (a step must end long before a reply would time out; the stall limit must end a dead
// download long before the game would give up on it).
#pragma once

#include <cstddef>
#include <cstdint>

namespace wininet::ftp {

// One wait on the server: a whole connect (name lookup, connection, greeting and login), a
// reply (counted from the command that asked for it), data that stops coming. Tests shorten
// it (testing::SetTimeoutMs).
inline constexpr int kTimeoutMs = 30000;

// A reply line longer than this is cut (the rest of the line is dropped, but still counted).
inline constexpr std::size_t kMaxLineLength = 4096;
// A reply may take this many bytes from the connection, however its lines are cut, and hold
// this many lines; past either it is a protocol failure.
inline constexpr std::size_t kMaxReplyText = 64 * 1024;
inline constexpr std::size_t kMaxReplyLines = 1000;
// A listing larger than this is refused.
inline constexpr std::size_t kMaxListingBytes = 16u << 20;

// A transfer that blocks the caller for its whole length (a download at once, a listing, an
// upload) gets kTimeoutMs plus one second for every kPaceBytesPerSecond bytes moved: an average
// below that ends it, so a server dripping a byte at a time cannot hold the program for longer
// than the timeout, while a large file on a slow line still arrives.
inline constexpr std::uint64_t kPaceBytesPerSecond = 16 * 1024;

// How long an abort's second reply is waited for.
inline constexpr int kAbortAnswerMs = 2000;

// The FTP module's own figures. One step of a piecewise download waits at most kStepWaitMs for
// each of its three pieces, so a step never holds a frame for more than three times that (48 ms,
// under the 50 ms a frame can lose without a visible hitch at 20 frames a second). A piece that
// needs longer than a 60 Hz frame to arrive comes from a line slower than 1 KB a frame, where
// waiting longer only holds the game. A download that moves no byte for kStallMs is ended.
inline constexpr std::uint32_t kStepWaitMs = 16;
inline constexpr std::uint32_t kStallMs = 10000;

}  // namespace wininet::ftp
