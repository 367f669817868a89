// Runtime errors: the error word and its two writers.
#include "runtime/core/errors.h"

#include "runtime/core/core_data.h"

namespace tessark {

namespace {
std::int32_t* g_error_word = nullptr;
}  // namespace

CoreData* CoreDataGet();

// Keeps the word's address in the core and in CoreData's link field.
void ErrorWordSet(std::int32_t* word) {
  g_error_word = word;
  CoreDataGet()->error_word = word;
}

std::int32_t* ErrorWordAddress() {
  return g_error_word;
}

void RuntimeError(std::int32_t code) {
  if (g_error_word) *g_error_word = code;
}

void RuntimeNotice(const char* /*text*/) {
  if (g_error_word && *g_error_word == 0) RuntimeError(0);
}

}  // namespace tessark
