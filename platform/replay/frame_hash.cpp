// The frame hash: what a recording keeps of each shown frame and a replay compares. It runs
// on every frame of a replay, so it is built for speed: eight 64-bit lanes take a 64-byte
// stripe at a time, each adding the product of its word's two halves (after mixing in a key)
// and its neighbour's plain word; the key depends on the stripe's place in a 1 KB block and
// each block ends with a scramble, so a picture moved by a stripe or a block hashes
// differently. Two 32 x 32-bit multiplies per 16 bytes keep it at memory speed with SSE2. The
// scalar path computes the same value where SSE2 is missing. A copy of the picture can be
// taken in the same pass (the replay keeps the last matching frame this way).
#include <array>
#include <cstring>

#include "platform/replay/replay_file.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace replay {

namespace {

constexpr int kLanes = 8;
constexpr int kStripe = 64;
constexpr int kStripesPerBlock = 16;
constexpr std::uint64_t kPrime32 = 0x9E3779B1u;
constexpr std::uint64_t kPrime64 = 0xC2B2AE3D27D4EB4Full;

constexpr std::uint64_t SplitMix(std::uint64_t& state) {
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

using Keys = std::array<std::array<std::uint64_t, kLanes>, kStripesPerBlock + 1>;

// A key per lane for every stripe of a block, and one more row for the scramble.
constexpr Keys MakeKeys() {
  Keys keys{};
  std::uint64_t state = 0x7E55A2C0FFEEull;
  for (auto& row : keys)
    for (auto& key : row) key = SplitMix(state);
  return keys;
}
alignas(16) constexpr Keys kKeys = MakeKeys();

std::uint64_t Mix(std::uint64_t h) {
  h ^= h >> 33;
  h *= kPrime64;
  h ^= h >> 29;
  h *= 0x9E3779B185EBCA87ull;
  h ^= h >> 32;
  return h;
}

// The lanes live in locals for a whole run: kept in a member, they would be reloaded after
// every store of the copy (which may alias anything).
class Hasher {
 public:
  explicit Hasher(std::uint64_t seed) {
    for (int k = 0; k < kLanes; ++k) acc_[k] = seed + kKeys[kStripesPerBlock][k];
  }

  // Hashes size bytes (and copies them to copy_to unless it is null).
  void Run(const std::uint8_t* p, std::size_t size, std::uint8_t* copy_to) {
    const std::size_t whole = size / kStripe * kStripe;
    if (copy_to)
      Stripes<true>(p, whole, copy_to);
    else
      Stripes<false>(p, whole, nullptr);
    if (whole < size) {
      if (copy_to) std::memcpy(copy_to + whole, p + whole, size - whole);
      for (std::size_t i = whole; i < size; ++i) tail_ = (tail_ ^ p[i]) * kPrime64;
    }
  }

  std::uint64_t Final(std::uint64_t length) const {
    std::uint64_t h = Mix(length * kPrime64 ^ tail_);
    for (int k = 0; k < kLanes; ++k) h = Mix(h ^ acc_[k]);
    return h;
  }

 private:
#if defined(__SSE2__)
  template <bool kCopy>
  void Stripes(const std::uint8_t* p, std::size_t size, std::uint8_t* copy_to) {
    __m128i acc[kLanes / 2];
    for (int v = 0; v < kLanes / 2; ++v)
      acc[v] = _mm_load_si128(reinterpret_cast<const __m128i*>(acc_ + 2 * v));
    const __m128i prime = _mm_set1_epi64x(static_cast<long long>(kPrime32));
    int stripe = stripe_;
    for (std::size_t i = 0; i < size; i += kStripe) {
      const auto* key =
          reinterpret_cast<const __m128i*>(kKeys[static_cast<std::size_t>(stripe)].data());
      for (int v = 0; v < kLanes / 2; ++v) {
        __m128i data = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 16 * v));
        if constexpr (kCopy)
          _mm_storeu_si128(reinterpret_cast<__m128i*>(copy_to + i + 16 * v), data);
        __m128i keyed = _mm_xor_si128(data, _mm_load_si128(key + v));
        __m128i product = _mm_mul_epu32(keyed, _mm_srli_epi64(keyed, 32));
        __m128i swapped = _mm_shuffle_epi32(data, _MM_SHUFFLE(1, 0, 3, 2));
        acc[v] = _mm_add_epi64(acc[v], _mm_add_epi64(product, swapped));
      }
      if (++stripe == kStripesPerBlock) {
        stripe = 0;
        const auto* scramble = reinterpret_cast<const __m128i*>(kKeys[kStripesPerBlock].data());
        for (int v = 0; v < kLanes / 2; ++v) {
          __m128i x = _mm_xor_si128(_mm_xor_si128(acc[v], _mm_srli_epi64(acc[v], 47)),
                                    _mm_load_si128(scramble + v));
          __m128i low = _mm_mul_epu32(x, prime);
          __m128i high = _mm_mul_epu32(_mm_srli_epi64(x, 32), prime);
          acc[v] = _mm_add_epi64(low, _mm_slli_epi64(high, 32));
        }
      }
    }
    for (int v = 0; v < kLanes / 2; ++v)
      _mm_store_si128(reinterpret_cast<__m128i*>(acc_ + 2 * v), acc[v]);
    stripe_ = stripe;
  }
#else
  template <bool kCopy>
  void Stripes(const std::uint8_t* p, std::size_t size, std::uint8_t* copy_to) {
    std::uint64_t acc[kLanes];
    std::memcpy(acc, acc_, sizeof acc);
    for (std::size_t i = 0; i < size; i += kStripe) {
      const std::uint64_t* key = kKeys[static_cast<std::size_t>(stripe_)].data();
      std::uint64_t w[kLanes];
      std::memcpy(w, p + i, sizeof w);
      if constexpr (kCopy) std::memcpy(copy_to + i, w, sizeof w);
      for (int k = 0; k < kLanes; ++k) {
        std::uint64_t keyed = w[k] ^ key[k];
        acc[k] += (keyed & 0xFFFFFFFFu) * (keyed >> 32) + w[k ^ 1];
      }
      if (++stripe_ == kStripesPerBlock) {
        stripe_ = 0;
        const std::uint64_t* scramble = kKeys[kStripesPerBlock].data();
        for (int k = 0; k < kLanes; ++k)
          acc[k] = (acc[k] ^ (acc[k] >> 47) ^ scramble[k]) * kPrime32;
      }
    }
    std::memcpy(acc_, acc, sizeof acc);
  }
#endif

  alignas(16) std::uint64_t acc_[kLanes];
  std::uint64_t tail_ = 0;
  int stripe_ = 0;
};

}  // namespace

std::uint32_t PictureHash(const std::uint8_t* bits, int width, int height, int pitch,
                          int bytes_per_pixel, std::uint8_t* copy_to) {
  const std::uint64_t seed =
      Mix(static_cast<std::uint64_t>(width) << 32 | static_cast<std::uint32_t>(height));
  const std::size_t row =
      static_cast<std::size_t>(width) * static_cast<std::size_t>(bytes_per_pixel);
  const std::size_t rows = static_cast<std::size_t>(height);
  Hasher hasher(seed);
  if (bits && pitch == static_cast<int>(row)) {
    hasher.Run(bits, row * rows, copy_to);
  } else {
    for (std::size_t y = 0; bits && y < rows; ++y)
      hasher.Run(bits + y * static_cast<std::size_t>(pitch), row,
                 copy_to ? copy_to + y * row : nullptr);
  }
  const std::uint64_t h = hasher.Final(row * rows);
  return static_cast<std::uint32_t>(h ^ (h >> 32));
}

}  // namespace replay
