// The parsers for server replies and listings. See ftp_parse.h.
#include "platform/wininet/ftp_parse.h"

#include <array>
#include <cctype>
#include <vector>

namespace wininet::ftp {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

char Lower(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

// Digits only, as an unsigned number; nothing when empty, not all digits or past 64 bits.
std::optional<std::uint64_t> Number(std::string_view text) {
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    if (!IsDigit(c)) return std::nullopt;
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

// A size token: digits, where one too large for 64 bits reads as 0 (unknown) rather than
// as a wrapped value.
std::optional<std::uint64_t> SizeToken(std::string_view text) {
  if (text.empty()) return std::nullopt;
  for (char c : text)
    if (!IsDigit(c)) return std::nullopt;
  return Number(text).value_or(0);
}

bool NameUsable(std::string_view name) {
  if (name.empty() || name.size() > kMaxNameLength || name == "." || name == "..") return false;
  for (char c : name)
    if (c == '/' || c == '\0' || c == '\r' || c == '\n') return false;
  return true;
}

std::string_view TrimLeft(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  return text;
}

// Splits off the next blank-separated token of text.
std::string_view NextToken(std::string_view& text) {
  text = TrimLeft(text);
  std::size_t end = 0;
  while (end < text.size() && text[end] != ' ' && text[end] != '\t') ++end;
  std::string_view token = text.substr(0, end);
  text.remove_prefix(end);
  return token;
}

bool IsMonth(std::string_view token) {
  static constexpr std::array<std::string_view, 12> kMonths = {
      "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
  for (std::string_view month : kMonths)
    if (EqualNoCase(token, month)) return true;
  return false;
}

// "12:00" or "2024": the token after the day in a Unix line.
bool IsTimeOrYear(std::string_view token) {
  if (token.size() == 4) return IsDigit(token[0]) && Number(token).has_value();
  const std::size_t colon = token.find(':');
  return colon != std::string_view::npos && colon > 0 && Number(token.substr(0, colon)) &&
         Number(token.substr(colon + 1));
}

// "-rw-r--r-- 1 owner group 1234 Jan 01 12:00 name" (group may be missing, the name may hold
// blanks, a link's name is followed by " -> target").
std::optional<ListEntry> ParseUnix(std::string_view line) {
  if (line.size() < 10) return std::nullopt;
  const char kind = line[0];
  if (std::string_view("-dlbcps").find(kind) == std::string_view::npos) return std::nullopt;
  std::string_view rest = line;
  std::vector<std::string_view> tokens;
  // Walk the tokens until the month, day and time-or-year triple; the size comes before it.
  for (int i = 0; i < 12 && !rest.empty(); ++i) {
    std::string_view token = NextToken(rest);
    if (token.empty()) break;
    if (tokens.size() >= 2 && IsMonth(token)) {
      std::string_view after = rest;
      std::string_view day = NextToken(after);
      std::string_view when = NextToken(after);
      auto day_number = Number(day);
      if (day_number && *day_number >= 1 && *day_number <= 31 && IsTimeOrYear(when)) {
        auto size = SizeToken(tokens.back());
        if (!size) return std::nullopt;
        // The name is everything after the one blank that follows the time or year.
        if (after.empty() || (after.front() != ' ' && after.front() != '\t')) return std::nullopt;
        std::string_view name = after.substr(1);
        if (kind == 'l') {
          const std::size_t arrow = name.find(" -> ");
          if (arrow != std::string_view::npos) name = name.substr(0, arrow);
        }
        if (!NameUsable(name)) return std::nullopt;
        ListEntry entry;
        entry.name = std::string(name);
        entry.folder = kind == 'd';
        entry.size = entry.folder ? 0 : *size;
        return entry;
      }
    }
    tokens.push_back(token);
  }
  return std::nullopt;
}

// "01-31-24  09:15PM       <DIR>          name" or "01-31-24  09:15PM   1234 name".
std::optional<ListEntry> ParseDos(std::string_view line) {
  std::string_view rest = line;
  std::string_view date = NextToken(rest);
  std::string_view time = NextToken(rest);
  if (date.size() < 8 || !IsDigit(date[0]) || (date[2] != '-' && date[2] != '/'))
    return std::nullopt;
  if (time.size() < 4 || !IsDigit(time[0]) || time.find(':') == std::string_view::npos)
    return std::nullopt;
  std::string_view what = NextToken(rest);
  if (what.empty() || rest.empty()) return std::nullopt;
  std::string_view name = TrimLeft(rest);
  if (!NameUsable(name)) return std::nullopt;
  ListEntry entry;
  entry.name = std::string(name);
  if (EqualNoCase(what, "<DIR>")) {
    entry.folder = true;
    return entry;
  }
  auto size = SizeToken(what);
  if (!size) return std::nullopt;
  entry.size = *size;
  return entry;
}

}  // namespace

std::optional<int> LineCode(std::string_view line) {
  if (line.size() < 3 || !IsDigit(line[0]) || !IsDigit(line[1]) || !IsDigit(line[2]))
    return std::nullopt;
  const int code = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
  if (code < 100 || code > 599) return std::nullopt;
  return code;
}

ReplyParser::Step ReplyParser::Feed(std::string_view line) {
  if (line.size() > kMaxLineLength) line = line.substr(0, kMaxLineLength);
  if (++lines_ > kMaxReplyLines || text_.size() + line.size() + 2 > kMaxReplyText)
    return Step::kBad;
  const auto line_code = LineCode(line);
  const char mark = line.size() > 3 ? line[3] : ' ';
  if (lines_ == 1) {
    if (!line_code || (mark != ' ' && mark != '-')) return Step::kBad;
    code_ = *line_code;
    multi_ = mark == '-';
  }
  text_.append(line);
  text_.append("\r\n");
  if (!multi_) return Step::kDone;
  // Inside a multi-line reply any line may appear; the reply ends with "ddd " (or a bare
  // "ddd") carrying the opening code.
  if (lines_ > 1 && line_code && *line_code == code_ && mark == ' ') return Step::kDone;
  return Step::kMore;
}

std::optional<std::uint64_t> ParseSize(std::string_view reply) {
  if (LineCode(reply) != 213 || reply.size() < 5 || reply[3] != ' ') return std::nullopt;
  std::string_view rest = reply.substr(4);
  const std::size_t end = rest.find_first_of("\r\n");
  rest = rest.substr(0, end);
  while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t')) rest.remove_suffix(1);
  return Number(TrimLeft(rest));
}

std::optional<std::uint16_t> ParseEpsv(std::string_view reply) {
  const std::size_t open = reply.find('(');
  if (open == std::string_view::npos || open + 4 >= reply.size()) return std::nullopt;
  const char delimiter = reply[open + 1];
  if (delimiter < 33 || delimiter > 126 || reply[open + 2] != delimiter ||
      reply[open + 3] != delimiter)
    return std::nullopt;
  std::string_view rest = reply.substr(open + 4);
  const std::size_t end = rest.find(delimiter);
  if (end == std::string_view::npos || end + 1 >= rest.size() || rest[end + 1] != ')')
    return std::nullopt;
  auto port = Number(rest.substr(0, end));
  if (!port || *port == 0 || *port > 65535) return std::nullopt;
  return static_cast<std::uint16_t>(*port);
}

std::optional<PasvTarget> ParsePasv(std::string_view reply) {
  // The six numbers start at the first digit after the code.
  std::size_t at = reply.size() > 3 ? 3 : reply.size();
  while (at < reply.size() && !IsDigit(reply[at])) ++at;
  std::array<std::uint64_t, 6> values{};
  for (std::size_t i = 0; i < values.size(); ++i) {
    std::size_t end = at;
    while (end < reply.size() && IsDigit(reply[end]) && end - at < 4) ++end;
    auto value = Number(reply.substr(at, end - at));
    if (!value || *value > 255) return std::nullopt;
    values[i] = *value;
    if (i + 1 < values.size()) {
      if (end >= reply.size() || reply[end] != ',') return std::nullopt;
      at = end + 1;
    }
  }
  PasvTarget target{};
  for (int i = 0; i < 4; ++i) target.address[i] = static_cast<std::uint8_t>(values[i]);
  target.port = static_cast<std::uint16_t>(values[4] * 256 + values[5]);
  if (target.port == 0) return std::nullopt;
  return target;
}

std::optional<ListEntry> ParseMlsdLine(std::string_view line) {
  // "fact=value;fact=value; name": the facts end at the first blank.
  const std::size_t blank = line.find(' ');
  if (blank == std::string_view::npos) return std::nullopt;
  std::string_view facts = line.substr(0, blank);
  std::string_view name = line.substr(blank + 1);
  if (!NameUsable(name)) return std::nullopt;
  ListEntry entry;
  bool typed = false;
  while (!facts.empty()) {
    const std::size_t semicolon = facts.find(';');
    std::string_view fact = facts.substr(0, semicolon);
    facts = semicolon == std::string_view::npos ? std::string_view() : facts.substr(semicolon + 1);
    const std::size_t equals = fact.find('=');
    if (equals == std::string_view::npos) continue;
    std::string_view key = fact.substr(0, equals);
    std::string_view value = fact.substr(equals + 1);
    if (EqualNoCase(key, "type")) {
      if (EqualNoCase(value, "cdir") || EqualNoCase(value, "pdir")) return std::nullopt;
      entry.folder = EqualNoCase(value, "dir");
      typed = true;
    } else if (EqualNoCase(key, "size")) {
      entry.size = SizeToken(value).value_or(0);
    }
  }
  if (!typed) return std::nullopt;
  if (entry.folder) entry.size = 0;
  entry.name = std::string(name);
  return entry;
}

std::optional<ListEntry> ParseListLine(std::string_view line) {
  if (line.empty()) return std::nullopt;
  if (IsDigit(line[0])) return ParseDos(line);
  return ParseUnix(line);
}

}  // namespace wininet::ftp
