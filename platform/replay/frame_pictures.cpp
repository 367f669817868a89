// Saving the divergence pictures as PNG files through SDL2_image; see frame_pictures.h.
#include "platform/replay/frame_pictures.h"

#include <SDL_image.h>

namespace replay {

namespace {

bool SavePng(const FrameImage& image, const std::string& path) {
  if (!image.bits || image.sdl_format == 0) return false;
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
      const_cast<std::uint8_t*>(image.bits), image.width, image.height, image.bytes_per_pixel * 8,
      image.pitch, image.sdl_format);
  if (!surface) return false;
  bool saved = IMG_SavePNG(surface, path.c_str()) == 0;
  SDL_FreeSurface(surface);
  return saved;
}

}  // namespace

std::uint8_t* FramePictures::Candidate(const FrameImage& image) {
  if (!image.bits || image.sdl_format == 0 || image.width <= 0 || image.height <= 0) return nullptr;
  candidate_ = image;
  candidate_.pitch = image.width * image.bytes_per_pixel;
  candidate_bits_.resize(static_cast<std::size_t>(candidate_.pitch) *
                         static_cast<std::size_t>(image.height));
  candidate_.bits = candidate_bits_.data();
  return candidate_bits_.data();
}

void FramePictures::KeepCandidate(std::uint32_t frame) {
  if (!candidate_.bits) return;
  bits_.swap(candidate_bits_);
  kept_ = candidate_;
  kept_.bits = bits_.data();
  candidate_ = FrameImage();
  kept_frame_ = frame;
  have_ = true;
}

std::string FramePictures::Save(const std::string& base, std::uint32_t frame,
                                const FrameImage& seen) const {
  std::string seen_path = base + ".frame" + std::to_string(frame) + ".seen.png";
  std::string text;
  if (SavePng(seen, seen_path))
    text = "saved what the game showed as " + seen_path;
  else
    text = "the frame could not be saved as a picture";
  if (have_) {
    std::string match_path = base + ".frame" + std::to_string(kept_frame_) + ".matched.png";
    if (SavePng(kept_, match_path))
      text += " and the last frame that matched (frame " + std::to_string(kept_frame_) + ") as " +
              match_path + "; the recording keeps a hash of each frame, not its picture";
  }
  return text;
}

}  // namespace replay
