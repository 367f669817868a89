// Draws the game's application icons into a hicolor theme folder:
//   kettlebrim_icons <folder>   writes <folder>/<size>x<size>/apps/kettlebrim.png
#include <cstdio>
#include <string>

#include "tools/assetgen/icons.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <icon theme folder>\n", argv[0]);
    return 2;
  }
  std::string error;
  if (!assetgen::WriteAppIcons(argv[1], "kettlebrim", &error)) {
    std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
    return 1;
  }
  return 0;
}
