// The asset walk: sounds from Data\Audio\, then images from the sub-folders of Data\Images\,
// each into its fixed slot. Missing files are recorded by the runtime and start-up goes on.
#include <tessark/tessark.h>

#include <cstring>

#include "game/game.h"

using namespace tessark;

namespace kettlebrim {

namespace {

// One image file: the sub-folder of Data\Images\ it lives in, its slot and its name.
struct ImageFile {
  const char* folder;
  int slot;
  const char* file;
};

// In slot order; the sub-folders come in the order Backgrounds, Buttons, Cursor, Effects,
// ImageFont, Multipliers, Pot, Shapes, Text.
constexpr ImageFile kImages[] = {
    {"Backgrounds\\", 2, "Background01.png"},
    {"Backgrounds\\", 3, "Background02.png"},
    {"Buttons\\", 4, "AddVeg.png"},
    {"Buttons\\", 5, "AddVegFaded.png"},
    {"Buttons\\", 6, "Shake.png"},
    {"Buttons\\", 7, "ShakeFaded.png"},
    {"Cursor\\", 8, "Cursor.png"},
    {"Effects\\", 9, "Pop01.png"},
    {"Effects\\", 10, "Pop02.png"},
    {"Effects\\", 11, "Pop03.png"},
    {"ImageFont\\", 12, "ImageNumber0.png"},
    {"ImageFont\\", 13, "ImageNumber1.png"},
    {"ImageFont\\", 14, "ImageNumber2.png"},
    {"ImageFont\\", 15, "ImageNumber3.png"},
    {"ImageFont\\", 16, "ImageNumber4.png"},
    {"ImageFont\\", 17, "ImageNumber5.png"},
    {"ImageFont\\", 18, "ImageNumber6.png"},
    {"ImageFont\\", 19, "ImageNumber7.png"},
    {"ImageFont\\", 20, "ImageNumber8.png"},
    {"ImageFont\\", 21, "ImageNumber9.png"},
    {"ImageFont\\", 22, "ImageNumberColon.png"},
    {"ImageFont\\", 23, "ImageNumberComma.png"},
    {"ImageFont\\", 24, "ImageNumberFullStop.png"},
    {"ImageFont\\", 25, "ImageNumberMultiply.png"},
    {"ImageFont\\", 26, "ImageNumberSlash.png"},
    {"Multipliers\\", 27, "multi3.png"},
    {"Multipliers\\", 28, "multi4.png"},
    {"Multipliers\\", 29, "multi5.png"},
    {"Multipliers\\", 30, "multi6.png"},
    {"Pot\\", 31, "Pot.png"},
    {"Shapes\\", 32, "Beetroot.png"},
    {"Shapes\\", 33, "BeetrootSelected.png"},
    {"Shapes\\", 34, "Carrot.png"},
    {"Shapes\\", 35, "CarrotSelected.png"},
    {"Shapes\\", 36, "EggPlant.png"},
    {"Shapes\\", 37, "EggPlantSelected.png"},
    {"Shapes\\", 38, "Onion.png"},
    {"Shapes\\", 39, "OnionSelected.png"},
    {"Shapes\\", 40, "Pea.png"},
    {"Shapes\\", 41, "PeaSelected.png"},
    {"Shapes\\", 42, "RedPepper.png"},
    {"Shapes\\", 43, "RedPepperSelected.png"},
    {"Shapes\\", 44, "Sweetcorn.png"},
    {"Shapes\\", 45, "SweetcornSelected.png"},
    {"Text\\", 46, "GameLevelUp.png"},
    {"Text\\", 47, "GameTextGo.png"},
    {"Text\\", 48, "GameTextPotOut.png"},
    {"Text\\", 49, "GameTextReady.png"},
    {"Text\\", 50, "GameTextShowOff.png"},
};

}  // namespace

void AssetsLoadSounds() {
  DirectorySet("Data\\Audio\\");
  SoundLoad("TokenRemoved.wav", kSoundTokenRemoved);
  SoundLoad("ShowOff.wav", kSoundShowOff);
  SoundLoad("music.wav", kSoundMusic);
  SoundSetVolume(kSoundMusic, 75);
  SoundLoad("LostChance.wav", kSoundLostChance);
  DirectorySet("..\\..\\");
}

// Enters each sub-folder once, loads its files in slot order and goes back up.
void AssetsLoadImages() {
  DirectorySet("Data\\Images\\");
  const char* entered = nullptr;
  for (const ImageFile& image : kImages) {
    if (!entered || std::strcmp(entered, image.folder) != 0) {
      if (entered) DirectorySet("..\\");
      DirectorySet(image.folder);
      entered = image.folder;
    }
    ImageLoad(image.file, image.slot, 1);
  }
  DirectorySet("..\\");
}

}  // namespace kettlebrim
