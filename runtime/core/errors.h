// Runtime errors: every failure ends in the one error word. RuntimeError records a code (a
// later code overwrites an earlier one); RuntimeNotice takes a message text that is not stored,
// and records 0 only while the word is still 0. Before ErrorWordSet has given the core the
// word's address, codes are dropped. Nothing here changes control flow.
//
// Beside the word the core keeps the last error's detail (the call, its ids and file, and the
// system's or decoder's reason), and hands every error and notice to the log when the game
// turned one on (TESSARK_LOG, or ErrorLogSet). With the log off nothing is printed.
#pragma once

#include <cstdint>
#include <string>

namespace tessark {

void ErrorWordSet(std::int32_t* word);
std::int32_t* ErrorWordAddress();
void RuntimeError(std::int32_t code);
// RuntimeError with a detail, printf-style: "ImageLoad(\"%s\", %d): %s". The text is cut at
// kErrorDetailSize - 1 bytes; formatting it allocates nothing.
void RuntimeErrorDetail(std::int32_t code, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
void RuntimeNotice(const char* text);
// A notice whose text is formatted, printf-style, as RuntimeErrorDetail's detail.
void RuntimeNoticeFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

inline constexpr int kErrorDetailSize = 512;

// The detail of the most recent error; "" when it was raised without one.
const char* ErrorDetailText();

// Why the file a game named (a runtime path, `\` or `/`) cannot be read: "no such file" (with
// the working folder for a relative name), "it is a folder, not a file", "the file is empty" or
// the system's own reason; otherwise, when the file opens and holds bytes, the caller's own
// reason (the decoder's). Only for failures: it looks at the file system each time.
std::string FileProblem(const char* name, const char* otherwise);
// The reason for a picture file that reads but does not load.
inline constexpr const char* kNotAPicture =
    "not a picture the runtime reads (PNG, JPEG, BMP, TGA, GIF, DDS, WebP ...), or damaged";

// True while the runtime is open (RuntimeOpen made its window, and RuntimeClose has not yet
// destroyed it), or opening or closing. When it is not, prints once per process on standard
// error that `call` was called without an open runtime and how a game opens it; an error or
// notice raised without an open runtime prints the same, naming what it reported. Cheap: the
// central places call it (the frame loop, the waits, the error raisers), not every operation.
bool RuntimeOpenCheck(const char* call);
// RuntimeOpen marks the time it takes as open, so that its own reports do not count as calls
// made without a runtime.
void RuntimeOpeningSet(bool opening);

}  // namespace tessark

namespace tessark::testing {
// Lets the next call made without an open runtime print its warning again.
void OpenWarningReset();
}  // namespace tessark::testing
