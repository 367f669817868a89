// Images: numbered pictures loaded from files into textures, made blank, grabbed from the
// screen, saved, locked for pixel access and pasted onto the screen. Ids run from 1 to
// 22000000 (ImageLoadFree hands out negative ids).
#pragma once

#include <cstdint>

#include "tessark/core.h"

namespace tessark {

// Loads a picture file into id. mode 1: the picture as it is (the texture may be larger; only
// the picture is shown); 0: a mip-mapped texture; 2: a cube texture.
void ImageLoad(const char* file, std::int32_t id, std::int32_t mode = 1);
// Draws the image with its top-left at x, y; transparent 1 blends its alpha, any other value
// draws it opaque.
void ImagePaste(std::int32_t id, std::int32_t x, std::int32_t y, std::int32_t transparent = 1);
void ImageDelete(std::int32_t id);
bool ImageExists(std::int32_t id);
// Size of the picture in pixels; -1 for an id not in use.
std::int32_t ImageWidth(std::int32_t id);
std::int32_t ImageHeight(std::int32_t id);
// The file the image was loaded from ("" for images made otherwise or not in use).
char* ImageFileName(std::int32_t id);

// A blank image; a render-target image; a render-target image in a Direct3D format.
void ImageCreate(std::int32_t id, std::int32_t width, std::int32_t height);
void ImageCreate(std::int32_t id, std::int32_t width, std::int32_t height, bool render_target);
void ImageCreateFormat(std::int32_t id, std::int32_t width, std::int32_t height,
                       std::uint32_t format);
// Copies a rectangle of the current render target into the image.
void ImageGrab(std::int32_t id, std::int32_t left, std::int32_t top, std::int32_t right,
               std::int32_t bottom, std::int32_t texture_kind = 0);
// Saves the picture; the file kind follows the extension (.bmp .dds .dib .jpg .png). For .dds,
// compression 1 to 5 stores DXT1 to DXT5.
void ImageSave(std::int32_t id, const char* file, std::int32_t compression = 0);
// Pixels equal to this colour become transparent in keyed files (BMP, JPEG, ...).
void ImageSetColourKey(std::int32_t red, std::int32_t green, std::int32_t blue);

// Pixel access between ImageLock and ImageUnlock.
void ImageLock(std::int32_t id);
void ImageUnlock(std::int32_t id);
void ImagePixelWrite(std::int32_t id, std::int32_t row, std::int32_t column, std::int32_t alpha,
                     std::int32_t red, std::int32_t green, std::int32_t blue);
void ImagePixelRead(std::int32_t id, std::int32_t row, std::int32_t column, std::int32_t* red,
                    std::int32_t* green, std::int32_t* blue);
// Gives every pixel that is not transparent black the alpha.
void ImageSetAlphaAll(std::int32_t id, std::int32_t alpha);

// The id of an image loaded from file (loading it under a free negative id when there is
// none); 0 if it cannot be loaded. divisor 1 or more shrinks the picture by it.
std::int32_t ImageLoadFree(const char* file, std::int32_t divisor = 0);

// The picture's pixels as packed rows in a new block (free it with ImageDataFree); no block and
// size 0 for a missing image, size 1 for one whose pixels cannot be read. An image made from
// packed rows of 16 or 32 bits.
void ImageGetData(std::int32_t id, std::int32_t* width, std::int32_t* height, std::int32_t* depth,
                  std::uint8_t** block, std::int32_t* size);
void ImageDataFree(std::uint8_t* block);
void ImageSetData(std::int32_t id, std::int32_t width, std::int32_t height, std::int32_t depth,
                  const std::uint8_t* pixels);
// Moves the picture into a texture of width by height that it fills exactly.
void ImageResizeTexture(std::int32_t id, std::int32_t width, std::int32_t height);

// An object and a value another part of the program attaches to the image.
void ImageLinkSet(std::int32_t id, void* object, std::int32_t value);
void ImageLinkGet(std::int32_t id, void** object, std::int32_t* value);

// Texture sampling of the device: flag set = linear filtering, clear = none; mode 0 none,
// 1 point, 2 linear; the largest mip level used.
void ImageSetFilter(std::int32_t flag);
void ImageSetFilterMode(std::int32_t mode);
void ImageSetMipLevel(std::int32_t level);

}  // namespace tessark
