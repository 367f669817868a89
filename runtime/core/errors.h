// Runtime errors: every failure ends in the one error word. RuntimeError records a code (a
// later code overwrites an earlier one); RuntimeNotice takes a message text that is neither
// shown nor stored, and records 0 only while the word is still 0. Before ErrorWordSet has given
// the core the word's address, reports are dropped. Nothing here changes control flow.
#pragma once

#include <cstdint>

namespace tessark {

void ErrorWordSet(std::int32_t* word);
std::int32_t* ErrorWordAddress();
void RuntimeError(std::int32_t code);
void RuntimeNotice(const char* text);

}  // namespace tessark
