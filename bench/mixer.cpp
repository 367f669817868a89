// The mixer's cost: 32 voices (mono and stereo, 8 and 16 bits, at their own rates and
// volumes and pans, a few of them 3D) mixed into 44.1 kHz stereo output, one SDL block at a
// time. "core_%" is the share of one core the mixing takes to keep up with real time.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "platform/dsound/dsound.h"

namespace {

constexpr DWORD kRate = 44100;
constexpr DWORD kBlock = 1024;

void MixThirtyTwoVoices(benchmark::State& state) {
  dsound::testing::SetOutput(dsound::testing::Output::kHeadless, kRate);
  dsound::Ref<IDirectSound8> device;
  DirectSoundCreate8(nullptr, &device, nullptr);
  device->SetCooperativeLevel(nullptr, DSSCL_PRIORITY);
  const int voice_count = static_cast<int>(state.range(0));
  std::vector<dsound::Ref<IDirectSoundBuffer8>> voices;
  std::vector<dsound::Ref<IDirectSound3DBuffer8>> placed;
  for (int i = 0; i < voice_count; ++i) {
    WORD channels = i % 3 == 0 ? 2 : 1;
    WORD bits = i % 4 == 0 ? 8 : 16;
    DWORD rate = i % 2 ? 22050 : 44100;
    bool is_3d = channels == 1 && i % 5 == 0;
    WORD align = static_cast<WORD>(channels * bits / 8);
    WAVEFORMATEX f{WAVE_FORMAT_PCM, channels, rate, rate * align, align, bits, 0};
    DWORD flags =
        DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLFREQUENCY | (is_3d ? DSBCAPS_CTRL3D : DSBCAPS_CTRLPAN);
    DSBUFFERDESC desc{sizeof desc, flags, rate * align, 0, &f, {}};
    dsound::Ref<IDirectSoundBuffer8> b;
    device->CreateSoundBuffer(&desc, &b, nullptr);
    void* p = nullptr;
    DWORD n = 0;
    b->Lock(0, 0, &p, &n, nullptr, nullptr, DSBLOCK_ENTIREBUFFER);
    for (DWORD j = 0; j < n; ++j) static_cast<BYTE*>(p)[j] = static_cast<BYTE>(j * 7 + i);
    b->Unlock(p, n, nullptr, 0);
    b->SetVolume(-100 * i);
    b->SetFrequency(rate + 37 * static_cast<DWORD>(i));
    if (is_3d) {
      dsound::Ref<IDirectSound3DBuffer8> b3;
      b->Query3DBuffer(&b3);
      b3->SetPosition(static_cast<float>(i), 0, 2, DS3D_IMMEDIATE);
      placed.push_back(b3);
    } else {
      b->SetPan(300 * i - 4000);
    }
    b->Play(0, 0, DSBPLAY_LOOPING);
    voices.push_back(b);
  }
  std::vector<std::int16_t> out(2 * kBlock);
  for (auto _ : state) {
    dsound::testing::MixerPull(device.get(), out.data(), kBlock);
    benchmark::DoNotOptimize(out.data());
  }
  // Time per block over the block's duration, in percent of one core.
  double block_seconds = static_cast<double>(kBlock) / kRate;
  state.counters["core_%"] =
      benchmark::Counter(block_seconds / 100.0, benchmark::Counter::kIsIterationInvariantRate |
                                                    benchmark::Counter::kInvert);
}

BENCHMARK(MixThirtyTwoVoices)->Arg(32)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
