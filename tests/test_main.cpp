// The main function of every test program: tests run headless unless the caller asked for a
// particular driver, so SDL's dummy video and audio drivers are the defaults here (not in the
// test runner's settings, so that running a test program by hand behaves the same).
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
