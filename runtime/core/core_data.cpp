// The CoreData block, its defaults, TextAlloc and the check list.
#include <cstdlib>
#include <cstring>

#include "runtime/core/check_list.h"
#include "runtime/core/core_data.h"
#include "runtime/core/module_table.h"
#include "runtime/core/text_alloc.h"

namespace tessark {

namespace {
CoreData g_core;
ModuleTable g_modules;
constexpr std::uint32_t kCheckListInitial = 256;
constexpr std::int32_t kEmptyTextSize = 2;
}  // namespace

CoreData* CoreDataGet() {
  return &g_core;
}
ModuleTable& Modules() {
  return g_modules;
}

void CoreDataDefaults() {
  std::memset(static_cast<void*>(&g_core), 0, sizeof g_core);
  g_core.ink = 0xFFFFFFFFu;
  g_core.background_ink = 0;
  g_core.cursor_visible = 1;
  g_core.escape_quits = 1;
  g_core.render_pass_count = 1;
  g_core.render_pass_index = 0;
}

void TextAlloc(char** text, std::int32_t size) {
  if (!text) return;
  if (size > 0) {
    *text = static_cast<char*>(std::calloc(static_cast<std::size_t>(size), 1));
  } else if (size == 0) {
    std::free(*text);
  }
}

// Every text the runtime hands a game comes from the CoreData allocation service, so that is
// where it goes back.
void TextFree(char* text) {
  if (!text) return;
  CoreData* core = CoreDataGet();
  (core->TextAlloc ? core->TextAlloc : TextAlloc)(&text, 0);
}

char* TextCopy(const char* source) {
  if (!source) source = "";
  std::size_t length = std::strlen(source);
  char* text = nullptr;
  TextAlloc(&text, static_cast<std::int32_t>(length + 1));
  if (text) std::memcpy(text, source, length + 1);
  return text;
}

namespace {

// Gives an entry an empty text. An entry's buffer always holds text_size characters and the
// terminator, so a name as long as the recorded size still fits.
void EntryEmpty(CheckListEntry& entry) {
  entry.text_size = kEmptyTextSize;
  entry.text = nullptr;
  TextAlloc(&entry.text, kEmptyTextSize + 1);
}

// Allocates a zeroed entry array of count entries.
CheckListEntry* EntriesAlloc(std::uint32_t count) {
  char* block = nullptr;
  TextAlloc(&block, static_cast<std::int32_t>(count * sizeof(CheckListEntry)));
  return reinterpret_cast<CheckListEntry*>(block);
}

}  // namespace

void CheckListGrow(std::int32_t index, std::int32_t length) {
  if (index < 0) return;
  CoreData& core = g_core;
  if (!core.check_list) {
    core.check_list = EntriesAlloc(kCheckListInitial);
    if (!core.check_list) return;
    core.check_list_capacity = kCheckListInitial;
    for (std::uint32_t i = 0; i < kCheckListInitial; ++i) EntryEmpty(core.check_list[i]);
  }
  while (static_cast<std::int64_t>(index) >
         static_cast<std::int64_t>(core.check_list_capacity) - 2) {
    std::uint32_t capacity = core.check_list_capacity * 2;
    CheckListEntry* grown = EntriesAlloc(capacity);
    if (!grown) return;
    for (std::uint32_t i = 0; i < core.check_list_capacity; ++i) {
      grown[i].text_size = core.check_list[i].text_size;
      grown[i].text = core.check_list[i].text;
    }
    for (std::uint32_t i = core.check_list_capacity; i < capacity; ++i) EntryEmpty(grown[i]);
    char* old = reinterpret_cast<char*>(core.check_list);
    TextAlloc(&old, 0);
    core.check_list = grown;
    core.check_list_capacity = capacity;
  }
  CheckListEntry& entry = core.check_list[index];
  if (length > entry.text_size) {
    char* text = nullptr;
    TextAlloc(&text, length + 1);
    if (!text) return;
    if (entry.text) std::strncpy(text, entry.text, static_cast<std::size_t>(length));
    TextAlloc(&entry.text, 0);
    entry.text = text;
    entry.text_size = length;
  }
}

void CheckListFree() {
  CoreData& core = g_core;
  if (!core.check_list) return;
  for (std::uint32_t i = 0; i < core.check_list_capacity; ++i)
    TextAlloc(&core.check_list[i].text, 0);
  char* list = reinterpret_cast<char*>(core.check_list);
  TextAlloc(&list, 0);
  core.check_list = nullptr;
  core.check_list_capacity = 0;
  core.check_list_count = 0;
}

}  // namespace tessark
