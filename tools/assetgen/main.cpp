// assetgen: writes the game's Data folder into the folder named on the command line.
// Depends on the assetgen library and fontconfig (only to release its caches at exit).
#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <cstdio>
#include <string>

#include "tools/assetgen/assetgen.h"

// Usage: assetgen <Data folder>
int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <Data folder>\n", argc > 0 ? argv[0] : "assetgen");
    return 2;
  }
  std::string error;
  bool ok = assetgen::GenerateData(argv[1], &error);
  // Drop cairo's and fontconfig's caches so that leak checkers see only real leaks.
  cairo_debug_reset_static_data();
  FcFini();
  if (!ok) {
    std::fprintf(stderr, "assetgen: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
