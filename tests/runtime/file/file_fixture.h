// A fresh file module for each test: the runtime wired, the module constructed with an error
// word and a print capture, inside a temporary folder that is the current directory for the
// test only.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/core/check_list.h"
#include "runtime/core/core_data.h"
#include "runtime/core/errors.h"
#include "runtime/core/module_table.h"
#include "runtime/runtime_wire.h"
#include "tessark/file.h"
#include "tests/support/temp_folder.h"

using namespace tessark;

class FileModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tessark::RuntimeWire();
    tessark::ErrorWordSet(&error_);
    printed().clear();
    tessark::CoreDataGet()->PrintDispatch = [](const char* text, std::int32_t) {
      printed().push_back(text);
    };
    Bind();
  }
  void TearDown() override {
    tessark::CallIf(tessark::Modules().file.Destructor);
    tessark::CheckListFree();
    tessark::ErrorWordSet(nullptr);
  }
  // Constructs the module and passes it the core data (after tests change the table).
  void Bind() {
    tessark::ModuleEntries& file = tessark::Modules().file;
    tessark::CallIf(file.Destructor);
    tessark::CallIf(file.Constructor, static_cast<void*>(nullptr));
    tessark::CallIf(file.SetErrorHandler, &error_);
    tessark::CallIf(file.PassCoreData, tessark::CoreDataGet());
  }
  // The error word's code, cleared for the next check.
  std::int32_t TakeError() {
    std::int32_t code = error_;
    error_ = 0;
    return code;
  }
  static std::vector<std::string>& printed() {
    static std::vector<std::string> lines;
    return lines;
  }

  TempFolder temp_{"file_module"};
  std::int32_t error_ = 0;
};
