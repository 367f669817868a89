// The system module: it owns the Escape-quits and system-keys switches of CoreData. Its state
// is the CoreData address from PassCoreData; Destructor then Constructor leaves it as new.
#include "runtime/core/core_data.h"
#include "runtime/core/module_table.h"
#include "tessark/system.h"

namespace tessark::system {

namespace {

struct SystemState {
  CoreData* core = nullptr;
  std::int32_t* error_word = nullptr;
};

SystemState g_state;

// The block the switches live in: the one this module was given, else the core's own (so the
// switches work even when the runtime could not construct the modules).
CoreData& Core() {
  return g_state.core ? *g_state.core : *CoreDataGet();
}

void Constructor(void* /*handle*/) {
  g_state = SystemState{};
}

void SetErrorHandler(std::int32_t* error_word) {
  g_state.error_word = error_word;
}

void PassCoreData(CoreData* core) {
  g_state.core = core;
}

void Destructor() {
  g_state = SystemState{};
}

void QuitOff() {
  Core().escape_quits = 0;
}

void QuitOn() {
  Core().escape_quits = 1;
}

}  // namespace

void Wire(ModuleTable& table) {
  table.system.Constructor = Constructor;
  table.system.SetErrorHandler = SetErrorHandler;
  table.system.PassCoreData = PassCoreData;
  table.system.Destructor = Destructor;
  table.system_services.EscapeQuitOff = QuitOff;
  table.system_services.EscapeQuitOn = QuitOn;
}

}  // namespace tessark::system

namespace tessark {

void EscapeQuitOff() {
  tessark::system::QuitOff();
}

void EscapeQuitOn() {
  tessark::system::QuitOn();
}

}  // namespace tessark
