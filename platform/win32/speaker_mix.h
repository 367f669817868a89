// Channels for more speakers than the output has, mixed down to stereo or mono: the one rule
// every player of such files follows, so that a surround file sounds alike as a sound and as
// music. Each channel is named by its speaker position (the platform's speaker bits, as an
// extensible wave format's channel mask lists them). A channel of the left side counts fully
// on the left when it is a front one and at -3 dB otherwise (likewise on the right); centre
// and unplaced channels count at -3 dB on both sides; the low-frequency channel not at all.
// Each side's weights are then scaled to sum to 1, so that full-scale channels mixed together
// stay within full scale instead of clipping.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace win32 {

// Speaker position bits.
inline constexpr std::uint32_t kSpeakerFrontLeft = 0x1;
inline constexpr std::uint32_t kSpeakerFrontRight = 0x2;
inline constexpr std::uint32_t kSpeakerFrontCentre = 0x4;
inline constexpr std::uint32_t kSpeakerLowFrequency = 0x8;
inline constexpr std::uint32_t kSpeakerBackLeft = 0x10;
inline constexpr std::uint32_t kSpeakerBackRight = 0x20;
inline constexpr std::uint32_t kSpeakerFrontLeftOfCentre = 0x40;
inline constexpr std::uint32_t kSpeakerFrontRightOfCentre = 0x80;
inline constexpr std::uint32_t kSpeakerBackCentre = 0x100;
inline constexpr std::uint32_t kSpeakerSideLeft = 0x200;
inline constexpr std::uint32_t kSpeakerSideRight = 0x400;
inline constexpr std::uint32_t kSpeakerTopCentre = 0x800;
inline constexpr std::uint32_t kSpeakerTopFrontLeft = 0x1000;
inline constexpr std::uint32_t kSpeakerTopFrontCentre = 0x2000;
inline constexpr std::uint32_t kSpeakerTopFrontRight = 0x4000;
inline constexpr std::uint32_t kSpeakerTopBackLeft = 0x8000;
inline constexpr std::uint32_t kSpeakerTopBackCentre = 0x10000;
inline constexpr std::uint32_t kSpeakerTopBackRight = 0x20000;

// The usual speakers of a channel count (what a plain wave format with that many channels
// means): front pair, centre, low frequency, back pair, then the sides; 0 where there is none.
inline std::uint32_t SpeakerMaskUsual(int channels) {
  switch (channels) {
    case 3:
      return 0x7;  // front left, right, centre
    case 4:
      return 0x33;  // front and back pairs
    case 5:
      return 0x37;
    case 6:
      return 0x3F;  // 5.1
    case 7:
      return 0x13F;  // 6.1
    case 8:
      return 0x63F;  // 7.1
    default:
      return 0;
  }
}

// The speaker of each channel for a channel mask: channels take its bits from the lowest up;
// channels past its last bit are unplaced (0). A mask of 0 means the usual layout.
inline std::vector<std::uint32_t> SpeakersOfMask(std::uint32_t mask, int channels) {
  if (mask == 0) mask = SpeakerMaskUsual(channels);
  std::vector<std::uint32_t> speakers(channels > 0 ? static_cast<std::size_t>(channels) : 0, 0);
  for (std::uint32_t& speaker : speakers) {
    speaker = mask & (~mask + 1);  // the lowest remaining bit
    mask &= mask - 1;
  }
  return speakers;
}

// The left and right weight of each channel for a mix-down to two targets; with one target,
// left holds each channel's weight in the mono sum (and right is left as computed).
inline void SpeakerMixWeights(const std::vector<std::uint32_t>& speakers, int targets,
                              std::vector<float>* left, std::vector<float>* right) {
  constexpr float kHalfPower = 0.70710678f;
  constexpr std::uint32_t kLeft = kSpeakerFrontLeft | kSpeakerBackLeft | kSpeakerFrontLeftOfCentre |
                                  kSpeakerSideLeft | kSpeakerTopFrontLeft | kSpeakerTopBackLeft;
  constexpr std::uint32_t kRight = kSpeakerFrontRight | kSpeakerBackRight |
                                   kSpeakerFrontRightOfCentre | kSpeakerSideRight |
                                   kSpeakerTopFrontRight | kSpeakerTopBackRight;
  constexpr std::uint32_t kFront = kSpeakerFrontLeft | kSpeakerFrontRight |
                                   kSpeakerFrontLeftOfCentre | kSpeakerFrontRightOfCentre;
  left->assign(speakers.size(), kHalfPower);
  right->assign(speakers.size(), kHalfPower);
  for (std::size_t c = 0; c < speakers.size(); ++c) {
    const std::uint32_t speaker = speakers[c];
    const float level = (speaker & kFront) ? 1.0f : kHalfPower;
    if (speaker & kLeft) (*left)[c] = level, (*right)[c] = 0;
    if (speaker & kRight) (*right)[c] = level, (*left)[c] = 0;
    if (speaker & kSpeakerLowFrequency) (*left)[c] = (*right)[c] = 0;
  }
  if (targets == 1) {
    for (std::size_t c = 0; c < speakers.size(); ++c) (*left)[c] += (*right)[c];
  }
  for (std::vector<float>* side : {left, right}) {
    float sum = 0;
    for (float w : *side) sum += w;
    if (sum > 0) {
      for (float& w : *side) w /= sum;
    }
  }
}

}  // namespace win32
