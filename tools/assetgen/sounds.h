// The sounds of the Data folder: three effects and the music loop, synthesised and written as
// 16-bit PCM wave files under data_dir/Audio/. Depends on libsndfile for the wave writer.
#pragma once

#include <string>
#include <vector>

namespace assetgen {

constexpr int kSampleRate = 22050;

// Samples of the four sounds, as floats in -1..1 (mono, kSampleRate).
std::vector<float> TokenRemovedSound();
std::vector<float> ShowOffSound();
std::vector<float> LostChanceSound();
std::vector<float> MusicLoop();

// Writes mono 16-bit PCM; false with a message in error on failure.
bool WriteWave(const std::string& path, const std::vector<float>& samples, std::string* error);
// Writes the four files.
bool WriteSounds(const std::string& data_dir, std::string* error);

}  // namespace assetgen
