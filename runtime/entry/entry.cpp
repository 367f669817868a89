// The program entry. A program built on Tessark links this library and defines GameMain();
// main() starts the runtime as RuntimeStart does (the launch options, the folder that holds
// Data, a window that can be opened, the runtime open for a centred 640 x 480 window) and calls
// GameMain(). When GameMain returns, the program ends at once with 0: the runtime is not closed,
// and static destructors do not run either, since the modules' state still refers across modules
// (a device held by one module, its presenter by another) and would be torn down in no
// particular order.
#include <cstdio>
#include <cstdlib>

#include "runtime/runtime_start.h"
#include "tessark/core.h"

int main(int argc, char** argv) {
  int status = tessark::RuntimeStartStatus(argc, argv);
  if (status >= 0) return status;
  GameMain();
  std::fflush(nullptr);
  std::_Exit(0);
}
