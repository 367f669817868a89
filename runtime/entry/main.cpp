// main() for programs built on Tessark: the whole of the entry library (libtessark_main.a). The
// program defines GameMain(); everything else happens in the runtime's EntryRun.
#include "runtime/entry/entry.h"
#include "tessark/core.h"

int main(int argc, char** argv) {
  return tessark::EntryRun(argc, argv, &GameMain);
}
