// apiindex: writes the one-page index of the public API from the public headers, and checks
// that they are documented. Each header becomes a section (its @file summary), each function
// one line: its declaration and the first sentence of its /// comment. The headers are the only
// source, so the index is made at build time and cannot fall behind them.
//
//   apiindex [--check] <output.md> <header.h>...
//
// A header without a /// @file comment, or a function without a /// comment, is a gap: it is
// reported on standard error, and with --check the run fails (make docs uses --check).
// Written by hand: the headers follow one plain layout (comment lines, then a declaration
// ending in ';'), which is all this reads; a C++ parser would be far more than it needs.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Function {
  std::string declaration;
  std::string brief;
};

struct Header {
  std::string name;
  std::string summary;
  std::vector<Function> functions;
};

// The order a reader meets the modules in: the core first, then as the guide's table goes.
const std::vector<std::string> kOrder = {
    "core.h",   "errors.h", "display.h",  "basic2d.h", "text.h",   "image.h",
    "sprite.h", "input.h",  "keys.h",     "system.h",  "sound.h",  "music.h",
    "file.h",   "ftp.h",    "memblock.h", "bitmap.h",  "tessark.h"};

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.rfind(prefix, 0) == 0;
}

// Runs of white space become one space.
std::string Squeeze(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n' || c == '\t') c = ' ';
    if (c == ' ' && (out.empty() || out.back() == ' ' || out.back() == '(')) continue;
    if (c == ')' && !out.empty() && out.back() == ' ') out.pop_back();
    out += c;
  }
  return Trim(out);
}

// Where text has the two characters `mark` outside parentheses and `code`; npos when nowhere.
std::size_t FindOutside(const std::string& text, const char* mark) {
  int depth = 0;
  bool code = false;
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    const char c = text[i];
    if (c == '`') code = !code;
    if (code) continue;
    if (c == '(') ++depth;
    if (c == ')' && depth > 0) --depth;
    if (depth == 0 && c == mark[0] && text[i + 1] == mark[1]) return i;
  }
  return std::string::npos;
}

// The first sentence of a comment; cut at its first "; " when that sentence is long.
std::string Brief(const std::string& doc) {
  std::string text = Squeeze(doc);
  std::size_t end = FindOutside(text + " ", ". ");
  std::string sentence = end == std::string::npos ? text : text.substr(0, end + 1);
  constexpr std::size_t kLong = 110;
  std::size_t semicolon = FindOutside(sentence, "; ");
  if (sentence.size() > kLong && semicolon != std::string::npos) {
    sentence = sentence.substr(0, semicolon) + ".";
  }
  return sentence;
}

Header Read(const fs::path& path, std::vector<std::string>* gaps) {
  Header header{path.filename().string(), "", {}};
  std::ifstream in(path);
  std::string line, doc, statement;
  bool in_file_block = false, seen_file = false;
  int skip_depth = 0;  // inside a struct or enum body
  std::string file_doc;
  while (std::getline(in, line)) {
    const std::string text = Trim(line);
    if (StartsWith(text, "/// @file")) {
      in_file_block = seen_file = true;
      continue;
    }
    if (StartsWith(text, "///")) {
      std::string body = text.size() > 3 && text[3] == ' ' ? text.substr(4) : text.substr(3);
      if (StartsWith(text, "///<")) continue;
      if (in_file_block) {
        if (body.empty())
          in_file_block = false;  // the summary is the first paragraph
        else
          file_doc += body + " ";
      } else {
        doc += body + " ";
      }
      continue;
    }
    in_file_block = false;
    if (text.empty() || StartsWith(text, "//") || StartsWith(text, "#")) {
      if (statement.empty()) doc.clear();
      continue;
    }
    if (skip_depth > 0) {
      skip_depth += static_cast<int>(std::count(text.begin(), text.end(), '{'));
      skip_depth -= static_cast<int>(std::count(text.begin(), text.end(), '}'));
      doc.clear();
      continue;
    }
    if (StartsWith(text, "namespace") || StartsWith(text, "}")) {
      doc.clear();
      continue;
    }
    const std::string code = text.substr(0, text.find("//"));
    statement += code + " ";
    if ((StartsWith(statement, "struct") || StartsWith(statement, "enum")) &&
        code.find('{') != std::string::npos) {
      skip_depth = static_cast<int>(std::count(code.begin(), code.end(), '{')) -
                   static_cast<int>(std::count(code.begin(), code.end(), '}'));
      statement.clear();
      doc.clear();
      continue;
    }
    if (code.find(';') == std::string::npos) continue;
    std::string declaration = Squeeze(statement);
    statement.clear();
    const bool function =
        declaration.find('(') != std::string::npos && !StartsWith(declaration, "using") &&
        !StartsWith(declaration, "inline constexpr") && !StartsWith(declaration, "static_assert");
    if (function) {
      declaration.pop_back();  // the ';'
      if (Trim(doc).empty()) gaps->push_back(header.name + ": " + declaration + " has no comment");
      header.functions.push_back({declaration, Brief(doc)});
    }
    doc.clear();
  }
  if (!seen_file) gaps->push_back(header.name + ": no /// @file comment");
  header.summary = Brief(file_doc);
  return header;
}

std::size_t Rank(const std::string& name) {
  auto found = std::find(kOrder.begin(), kOrder.end(), name);
  return static_cast<std::size_t>(found - kOrder.begin());
}

}  // namespace

int main(int argc, char** argv) {
  bool check = false;
  std::vector<std::string> arguments(argv + 1, argv + argc);
  if (!arguments.empty() && arguments.front() == "--check") {
    check = true;
    arguments.erase(arguments.begin());
  }
  if (arguments.size() < 2) {
    std::cerr << "usage: apiindex [--check] <output.md> <header.h>...\n";
    return 2;
  }
  std::vector<std::string> gaps;
  std::vector<Header> headers;
  for (std::size_t i = 1; i < arguments.size(); ++i) headers.push_back(Read(arguments[i], &gaps));
  std::stable_sort(headers.begin(), headers.end(), [](const Header& a, const Header& b) {
    return Rank(a.name) != Rank(b.name) ? Rank(a.name) < Rank(b.name) : a.name < b.name;
  });

  std::ostringstream out;
  std::size_t count = 0;
  for (const Header& h : headers) count += h.functions.size();
  out << "# Tessark: every public function on one page\n\n"
      << "Made from the public headers when the runtime is built, so it lists exactly what they "
         "declare: "
      << count << " functions in " << headers.size() << " headers. Each line gives the "
      << "declaration and the first sentence of its comment; the header (or the reference) "
         "has the rest, including every error code a function raises. All of it is in "
         "`namespace tessark` except `GameMain`, which the game defines. Include "
         "`<tessark/tessark.h>` for all of it.\n";
  for (const Header& h : headers) {
    out << "\n## tessark/" << h.name << "\n\n";
    if (!h.summary.empty()) out << h.summary << "\n\n";
    if (h.functions.empty()) out << "(no functions: names and constants only)\n";
    for (const Function& f : h.functions) {
      out << "- `" << f.declaration << "`";
      if (!f.brief.empty()) out << " — " << f.brief;
      out << "\n";
    }
  }
  for (const std::string& gap : gaps) std::cerr << "apiindex: " << gap << "\n";
  if (check && !gaps.empty()) {
    std::cerr << "apiindex: every public header needs a /// @file comment and every function "
                 "a /// comment\n";
    return 1;
  }
  std::ofstream file(arguments[0]);
  file << out.str();
  return file ? 0 : 1;
}
