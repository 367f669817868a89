// Fuzz target: what an FTP server sends. The bytes are read as reply lines (through the reply
// parser, the way the control connection splits them), as SIZE, EPSV and PASV answers, and as a
// listing in both MLSD and LIST form. Nothing may crash, a reply may never keep more than its
// limits allow, and every entry must be a name that can stand for one entry of the folder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/wininet/ftp_parse.h"

using namespace wininet::ftp;

namespace {

void CheckEntry(const ListEntry& entry) {
  const std::string& name = entry.name;
  if (name.empty() || name.size() > kMaxNameLength || name == "." || name == "..") std::abort();
  if (name.find_first_of(std::string_view("/\r\n\0", 4)) != std::string::npos) std::abort();
  if (entry.folder && entry.size != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  ReplyParser parser;
  ForEachLine(bytes, [&](std::string_view line) {
    const ReplyParser::Step step = parser.Feed(line);
    if (parser.text().size() > kMaxReplyText) std::abort();
    if (step == ReplyParser::Step::kDone) {
      if (parser.code() < 100 || parser.code() > 599) std::abort();
      ParseSize(parser.text());
      ParseEpsv(parser.text());
      ParsePasv(parser.text());
    }
    if (step != ReplyParser::Step::kMore) parser.Reset();
  });

  // A size is digits only: never one that the text does not hold.
  if (auto size = ParseSize(bytes);
      size && bytes.find(std::to_string(*size)) == std::string_view::npos)
    std::abort();
  if (auto port = ParseEpsv(bytes); port && *port == 0) std::abort();
  if (auto target = ParsePasv(bytes); target && target->port == 0) std::abort();

  ForEachLine(bytes, [](std::string_view line) {
    if (auto entry = ParseMlsdLine(line)) CheckEntry(*entry);
    if (auto entry = ParseListLine(line)) CheckEntry(*entry);
  });
  return 0;
}
