/// @file
/// Images: numbered pictures loaded from files into textures, made blank, grabbed from the
/// screen, saved, locked for pixel access and pasted onto the screen. Ids run from 1 to 22000000
/// (ImageLoadFree hands out negative ids). An id outside that range records
/// error::kImageIdOutOfRange and one not in use error::kImageMissing where a code is given below;
/// the operation then does nothing.
#pragma once

#include <cstdint>

#include "tessark/core.h"

namespace tessark {

/// Loads a picture file into id, replacing what was there. mode 1: the picture as it is; 0: a
/// mip-mapped texture; 2: a cube texture. Records error::kImageLoadFailed (after
/// kImageIdOutOfRange for a bad id) when the file cannot be loaded; the id is then empty.
void ImageLoad(const char* file, std::int32_t id, std::int32_t mode = 1);
/// Draws the image with its top-left at x, y; transparent 1 blends its alpha, any other value
/// draws it opaque. Records kImageIdOutOfRange or kImageMissing and draws nothing.
void ImagePaste(std::int32_t id, std::int32_t x, std::int32_t y, std::int32_t transparent = 1);
/// Deletes the image; records kImageIdOutOfRange or kImageMissing.
void ImageDelete(std::int32_t id);
/// Whether an image with this id exists; false for any id not in use.
bool ImageExists(std::int32_t id);
/// Width of the picture in pixels; -1 for an id not in use.
std::int32_t ImageWidth(std::int32_t id);
/// Height of the picture in pixels; -1 for an id not in use.
std::int32_t ImageHeight(std::int32_t id);
/// The file the image was loaded from, as a new text (give it back with TextFree); "" for images
/// made otherwise or ids not in use.
char* ImageFileName(std::int32_t id);

/// Makes a blank width by height image; records kImageIdOutOfRange for a bad id.
void ImageCreate(std::int32_t id, std::int32_t width, std::int32_t height);
/// As ImageCreate; render_target makes an image that can be drawn into.
void ImageCreate(std::int32_t id, std::int32_t width, std::int32_t height, bool render_target);
/// As ImageCreate, as a render target in the given Direct3D format.
void ImageCreateFormat(std::int32_t id, std::int32_t width, std::int32_t height,
                       std::uint32_t format);
/// Copies a rectangle of the current render target into the image; nothing for an empty
/// rectangle; error::kImageGrabTooLarge when it reaches past the render target.
void ImageGrab(std::int32_t id, std::int32_t left, std::int32_t top, std::int32_t right,
               std::int32_t bottom, std::int32_t texture_kind = 0);
/// Saves the picture; the file kind follows the extension (.bmp .dds .dib .jpg .png); for .dds,
/// compression 1 to 5 stores DXT1 to DXT5. Records error::kImageSaveFailed when it cannot save.
void ImageSave(std::int32_t id, const char* file, std::int32_t compression = 0);
/// Pixels of this colour become transparent in files without alpha (BMP, JPEG, ...) loaded later.
void ImageSetColourKey(std::int32_t red, std::int32_t green, std::int32_t blue);

// Pixel access between ImageLock and ImageUnlock.
/// Locks the image's pixels for ImagePixelWrite and ImagePixelRead; nothing for an id not in
/// use or an image locked already.
void ImageLock(std::int32_t id);
/// Unlocks the image; nothing when it is not locked.
void ImageUnlock(std::int32_t id);
/// Writes one pixel of a locked image; nothing outside the picture or when not locked.
void ImagePixelWrite(std::int32_t id, std::int32_t row, std::int32_t column, std::int32_t alpha,
                     std::int32_t red, std::int32_t green, std::int32_t blue);
/// Reads one pixel of a locked image into the three numbers; leaves them alone outside the
/// picture or when not locked.
void ImagePixelRead(std::int32_t id, std::int32_t row, std::int32_t column, std::int32_t* red,
                    std::int32_t* green, std::int32_t* blue);
/// Gives every pixel that is not transparent black the alpha; nothing for an id not in use.
void ImageSetAlphaAll(std::int32_t id, std::int32_t alpha);

/// The id of an image loaded from file (loading it under a free negative id when there is
/// none); 0 if it cannot be loaded. divisor 1 or more shrinks the picture by it.
std::int32_t ImageLoadFree(const char* file, std::int32_t divisor = 0);

/// The picture's pixels as packed rows in a new block (give it back with ImageDataFree); block
/// null and size 0 for an id not in use, size 1 for an image whose pixels cannot be read.
void ImageGetData(std::int32_t id, std::int32_t* width, std::int32_t* height, std::int32_t* depth,
                  std::uint8_t** block, std::int32_t* size);
/// Gives back a block from ImageGetData; null is ignored.
void ImageDataFree(std::uint8_t* block);
/// Makes the image from packed rows of 16 or 32 bits per pixel, or of 8 (grey levels) or 24
/// (blue, green, red) widened to opaque 32-bit pixels; nothing for other depths.
void ImageSetData(std::int32_t id, std::int32_t width, std::int32_t height, std::int32_t depth,
                  const std::uint8_t* pixels);
/// Moves the picture into a texture of width by height that it fills exactly; nothing for an id
/// not in use.
void ImageResizeTexture(std::int32_t id, std::int32_t width, std::int32_t height);

/// Attaches an object and a value of another part of the program to the image.
void ImageLinkSet(std::int32_t id, void* object, std::int32_t value);
/// Reads what ImageLinkSet attached; null and 0 for an id not in use.
void ImageLinkGet(std::int32_t id, void** object, std::int32_t* value);

/// Texture sampling of the device: flag set = linear filtering, clear = none.
void ImageSetFilter(std::int32_t flag);
/// Mip filtering: 0 none, 1 point, 2 linear.
void ImageSetFilterMode(std::int32_t mode);
/// The largest mip level used.
void ImageSetMipLevel(std::int32_t level);

}  // namespace tessark
