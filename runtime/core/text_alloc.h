// The core's text blocks: the one allocator behind every text the core and the modules hand
// each other through CoreData (typed text, check-list texts, returned strings).
#pragma once

#include <cstdint>

namespace tessark {

// size > 0: allocates size zeroed bytes into *text (an old block is not freed);
// size 0: frees the block *text holds (the pointer is left as it was).
void TextAlloc(char** text, std::int32_t size);

// Makes a new text holding a copy of source (through TextAlloc); null source gives "".
char* TextCopy(const char* source);

}  // namespace tessark
