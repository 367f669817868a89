// The parsers for what an FTP server sends: reply lines (single and multi-line replies), the
// passive-mode answers of EPSV and PASV, and listing lines (MLSD facts, and the Unix and DOS
// shapes of LIST). Everything here is outside input: the parsers take any bytes, bound what
// they keep, and answer "not understood" rather than guess. Pure functions, no sockets, so that
// they can be fuzzed on their own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/wininet/ftp_limits.h"

namespace wininet::ftp {

// Collects the lines of one reply (a line is cut at kMaxLineLength; more than kMaxReplyLines
// lines or kMaxReplyText of text is a protocol failure). Feed lines without their CR LF; a reply is
// complete when a single-line reply ("ddd text" or "ddd") or the closing line of a multi-line reply
// ("ddd-"
// ... "ddd ") has been fed.
class ReplyParser {
 public:
  enum class Step { kMore, kDone, kBad };

  Step Feed(std::string_view line);
  // The reply's code (100..599) once done.
  int code() const { return code_; }
  // Every line of the reply, each followed by CR LF (the text the server sent).
  const std::string& text() const { return text_; }
  void Reset() { *this = ReplyParser(); }

 private:
  int code_ = 0;
  bool multi_ = false;
  std::size_t lines_ = 0;
  std::string text_;
};

// The three-digit code at the start of a line (100..599), or nothing.
std::optional<int> LineCode(std::string_view line);

// The size in a SIZE reply ("213 1234"), or nothing when it is not understood or past 64 bits.
std::optional<std::uint64_t> ParseSize(std::string_view reply);

// The port of an EPSV reply ("229 ... (|||6446|)"), or nothing when it is not understood.
std::optional<std::uint16_t> ParseEpsv(std::string_view reply);
// The address and port of a PASV reply ("227 ... (h1,h2,h3,h4,p1,p2)").
struct PasvTarget {
  std::uint8_t address[4];
  std::uint16_t port;
};
std::optional<PasvTarget> ParsePasv(std::string_view reply);

// One listing entry.
struct ListEntry {
  std::string name;
  bool folder = false;
  std::uint64_t size = 0;  // 0 when the line gives none, or one too large to hold
};

// What a listing line says: an entry, or nothing (a "." or ".." entry, a "total" line, a line
// not understood, or a name that cannot be one entry of the folder: empty, with a slash, a NUL,
// a CR or LF, or longer than kMaxNameLength).
inline constexpr std::size_t kMaxNameLength = 259;
std::optional<ListEntry> ParseMlsdLine(std::string_view line);
std::optional<ListEntry> ParseListLine(std::string_view line);

// Calls on_line for every line of a listing body (LF or CR LF ends a line; a last line without
// one counts too).
template <typename Fn>
void ForEachLine(std::string_view body, Fn&& on_line) {
  while (!body.empty()) {
    std::size_t end = body.find('\n');
    std::string_view line = body.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    on_line(line);
    if (end == std::string_view::npos) break;
    body.remove_prefix(end + 1);
  }
}

}  // namespace wininet::ftp
