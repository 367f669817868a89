// The filter graph heard through the shared sound device: every format it decodes, surround
// files mixed down and high rates divided down, the controls (run, pause, stop, seeking, rate
// beyond the buffer's highest frequency, volume), completion events, files that fail, and a
// worker that costs nothing while it waits and holds up no call while it seeks.
#include <gtest/gtest.h>
#include <time.h>

#include <chrono>
#include <thread>

#include "platform/dshow/dshow.h"
#include "tests/platform/dshow/music_files.h"

namespace {

using dsound::Ref;
using music_files::Peak;
using music_files::Pitch;
constexpr int kRate = 44100;

// The interfaces of one graph.
struct Graph {
  Ref<IGraphBuilder> builder;
  Ref<IMediaControl> control;
  Ref<IMediaEventEx> events;
  Ref<IMediaSeeking> seeking;
  Ref<IBasicAudio> audio;
  Ref<IMediaPosition> position;
  HRESULT rendered = E_FAIL;
};

template <typename T>
Ref<T> Ask(IUnknown* object, REFIID iid) {
  void* p = nullptr;
  if (FAILED(object->QueryInterface(iid, &p))) return Ref<T>();
  return Ref<T>(static_cast<T*>(p));
}

std::u16string Wide(const std::string& s) {
  int n = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, s.c_str(), -1, nullptr, 0);
  std::u16string w(static_cast<std::size_t>(n), u'\0');
  MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, s.c_str(), -1, w.data(), n);
  return w;
}

class GraphTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dsound::testing::SetOutput(dsound::testing::Output::kHeadless, kRate);
    ASSERT_EQ(DirectSoundShared(&device_), DS_OK);
  }
  void TearDown() override {
    dshow::testing::SetSoundFont(nullptr);
    dsound::testing::SetOutput(dsound::testing::Output::kDevice);
  }

  Graph Open(const std::string& path) {
    Graph g;
    void* p = nullptr;
    EXPECT_EQ(
        CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, &p),
        S_OK);
    g.builder = Ref<IGraphBuilder>(static_cast<IGraphBuilder*>(p));
    g.rendered = g.builder->RenderFile(Wide(path).c_str(), nullptr);
    g.control = Ask<IMediaControl>(g.builder.get(), IID_IMediaControl);
    g.events = Ask<IMediaEventEx>(g.builder.get(), IID_IMediaEventEx);
    g.seeking = Ask<IMediaSeeking>(g.builder.get(), IID_IMediaSeeking);
    g.audio = Ask<IBasicAudio>(g.builder.get(), IID_IBasicAudio);
    g.position = Ask<IMediaPosition>(g.builder.get(), IID_IMediaPosition);
    return g;
  }
  std::string Tone(const std::string& name, int format, double seconds = 1.0, double hz = 441,
                   int rate = kRate, int channels = 1) {
    std::string path = folder_ / name;
    if (!music_files::WriteTone(path, format, seconds, hz, rate, channels)) return "";
    return path;
  }
  // Pulls frames of the mix once the decoders have caught up.
  std::vector<std::int16_t> Pull(DWORD frames) {
    std::vector<std::int16_t> out(frames * 2);
    for (DWORD done = 0; done < frames;) {
      EXPECT_TRUE(dshow::testing::WaitIdle());
      DWORD n = std::min<DWORD>(frames - done, 4096);
      dsound::testing::MixerPull(device_.get(), out.data() + done * 2, n);
      done += n;
    }
    return out;
  }
  static int Events(Graph& g, LONG wanted) {
    int count = 0;
    LONG code = 0;
    LONG_PTR p1 = 0;
    LONG_PTR p2 = 0;
    while (g.events->GetEvent(&code, &p1, &p2, 0) == S_OK) {
      g.events->FreeEventParams(code, p1, p2);
      if (code == wanted) ++count;
    }
    return count;
  }

  Ref<IDirectSound8> device_;
  music_files::ScratchFolder folder_{"dshow_test"};
};

TEST_F(GraphTest, EveryFormatPlaysItsTone) {
  struct Case {
    const char* name;
    int format;
    int rate;
    int channels;
  };
  const Case cases[] = {
      {"tone.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, kRate, 1},
      {"tone24.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, kRate, 2},
      {"float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 22050, 1},
      {"tone.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, kRate, 2},
      {"tone.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, kRate, 1},
      {"tone.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, kRate, 2},
      {"tone.opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, 48000, 1},
      {"tone.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, kRate, 2},
      {"six.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, kRate, 6},  // heard through two channels
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = Tone(c.name, c.format, 1.0, 441, c.rate, c.channels);
    ASSERT_FALSE(path.empty()) << "libsndfile cannot write " << c.name;
    Graph g = Open(path);
    ASSERT_EQ(g.rendered, S_OK);
    ASSERT_TRUE(g.control && g.events && g.seeking && g.audio && g.position);
    EXPECT_EQ(Peak(Pull(2048)), 0) << "nothing is heard before Run";
    g.control->Run();
    Pull(8192);  // past any encoder delay
    auto heard = Pull(8192);
    EXPECT_NEAR(Pitch(heard, kRate), 441, 4);
    EXPECT_NEAR(Pitch(heard, kRate, 1), 441, 4);
    EXPECT_NEAR(Peak(heard), 16384, 2500);
  }
}

TEST_F(GraphTest, SurroundFilesAreMixedDownToStereo) {
  // Fronts count fully on their side, centre and surrounds at -3 dB on both, the low-frequency
  // channel not at all, and each side's weights sum to 1 (1 + 0.707 + 0.707 for 5.1).
  const double side = 16384 / (1 + 2 * M_SQRT1_2);  // a front channel at half of full scale
  const double centre = side * M_SQRT1_2;
  struct Case {
    const char* name;
    int format;
    std::vector<double> amplitudes;
    double left;
    double right;
    double within;
  };
  const int flac = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
  const Case cases[] = {
      {"centre.flac", flac, {0, 0, 0.5, 0, 0, 0}, centre, centre, 40},
      {"lfe.flac", flac, {0, 0, 0, 0.5, 0, 0}, 0, 0, 0},
      {"front_left.flac", flac, {0.5, 0, 0, 0, 0, 0}, side, 0, 40},
      // An extensible WAV names its speakers; the sixth here is the back right.
      {"back_right.wav", SF_FORMAT_WAVEX | SF_FORMAT_PCM_16, {0, 0, 0, 0, 0, 0.5}, 0, centre, 40},
      // Ogg puts the centre second.
      {"centre.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, {0, 0.5, 0, 0, 0, 0}, centre, centre, 400},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = folder_ / c.name;
    ASSERT_TRUE(music_files::WriteChannelTones(path, c.format, 1.0, 441, kRate, c.amplitudes));
    Graph g = Open(path);
    ASSERT_EQ(g.rendered, S_OK);
    g.control->Run();
    Pull(8192);
    auto heard = Pull(8192);
    EXPECT_NEAR(Peak(heard, 0), c.left, c.within);
    EXPECT_NEAR(Peak(heard, 1), c.right, c.within);
    if (c.left > 0) {
      EXPECT_NEAR(Pitch(heard, kRate, 0), 441, 4);
    }
    if (c.right > 0) {
      EXPECT_NEAR(Pitch(heard, kRate, 1), 441, 4);
    }
  }
}

TEST_F(GraphTest, RatesAboveTheBuffersAreDividedDownAndKeepTheirLength) {
  for (int rate : {192000, 384000}) {
    SCOPED_TRACE(rate);
    std::string path = Tone("high" + std::to_string(rate) + ".flac",
                            SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 0.5, 441, rate, 2);
    ASSERT_FALSE(path.empty());
    Graph g = Open(path);
    ASSERT_EQ(g.rendered, S_OK);
    g.control->Run();
    auto heard = Pull(kRate / 4);
    EXPECT_NEAR(Pitch(heard, kRate), 441, 4);
    EXPECT_NEAR(Peak(heard), 16384, 300);
    Pull(kRate / 4 - 600);
    EXPECT_EQ(Events(g, EC_COMPLETE), 0) << "frames are still to be heard";
    Pull(1200);
    EXPECT_EQ(Events(g, EC_COMPLETE), 1);
    LONGLONG at = 0;
    g.seeking->GetCurrentPosition(&at);
    EXPECT_EQ(at, 5000000);
    LONGLONG length = 0;
    g.seeking->GetDuration(&length);
    EXPECT_EQ(length, 5000000);
  }
}

TEST_F(GraphTest, FilesThatCannotBeRenderedAreRefused) {
  EXPECT_EQ(Open(folder_ / "missing.wav").rendered, VFW_E_NOT_FOUND);

  std::string text = folder_ / "notes.mp3";
  music_files::WriteBytes(text, {'j', 'u', 's', 't', ' ', 't', 'e', 'x', 't', '\n'});
  EXPECT_EQ(Open(text).rendered, VFW_E_UNSUPPORTED_STREAM);
  std::filesystem::create_directories(folder_ / "folder.wav");
  EXPECT_EQ(Open(folder_ / "folder.wav").rendered, VFW_E_UNSUPPORTED_STREAM);

  std::string midi = folder_ / "song.mid";
  music_files::WriteBytes(midi, music_files::MidiSong({60, 64, 67}));
  dshow::testing::SetSoundFont((folder_ / "absent.sf2").c_str());
  EXPECT_EQ(Open(midi).rendered, VFW_E_UNSUPPORTED_STREAM);

  Graph twice = Open(Tone("a.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0.1));
  EXPECT_EQ(twice.rendered, S_OK);
  EXPECT_EQ(twice.builder->RenderFile(Wide(folder_ / "a.wav").c_str(), nullptr), VFW_E_WRONG_STATE);
  // A graph without a file answers but plays nothing.
  Graph empty = Open(folder_ / "missing.wav");
  EXPECT_EQ(empty.control->Run(), VFW_E_NOT_CONNECTED);
  LONG code = 0;
  LONG_PTR p1 = 0;
  LONG_PTR p2 = 0;
  EXPECT_EQ(empty.events->GetEvent(&code, &p1, &p2, 0), E_ABORT);
}

TEST_F(GraphTest, OneObjectAnswersForEveryInterfaceAndIsFreedWithTheLastReference) {
  int before = dshow::testing::LiveGraphs();
  void* p = nullptr;
  EXPECT_EQ(
      CoCreateInstance(IID_IMediaControl, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, &p),
      REGDB_E_CLASSNOTREG);
  EXPECT_EQ(p, nullptr);
  {
    Graph g = Open(Tone("a.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0.1));
    EXPECT_EQ(dshow::testing::LiveGraphs(), before + 1);
    GUID other = IID_IGraphBuilder;
    other.Data1 ^= 1;
    void* none = &p;
    EXPECT_EQ(g.builder->QueryInterface(other, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    // Dropping all but one interface keeps the graph; the last one frees it.
    Ref<IMediaEventEx> kept = g.events;
    g = Graph{};
    EXPECT_EQ(dshow::testing::LiveGraphs(), before + 1);
    kept.reset();
  }
  EXPECT_EQ(dshow::testing::LiveGraphs(), before);
}

TEST_F(GraphTest, CompletionIsQueuedOnceWhenTheLastSampleHasPlayed) {
  Graph g = Open(Tone("short.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0.25));  // 11025 frames
  g.control->Run();
  Pull(11025 - 600);
  EXPECT_EQ(Events(g, EC_COMPLETE), 0) << "frames are still to be heard";
  Pull(1200);
  EXPECT_EQ(Events(g, EC_COMPLETE), 1);
  Pull(8192);
  EXPECT_EQ(Events(g, EC_COMPLETE), 0) << "told once";
  LONGLONG at = 0;
  g.seeking->GetCurrentPosition(&at);
  EXPECT_EQ(at, 2500000);
  LONGLONG length = 0;
  EXPECT_EQ(g.seeking->GetDuration(&length), S_OK);
  EXPECT_EQ(length, 2500000);

  // Rewound, it plays again and completes again.
  LONGLONG start = 0;
  EXPECT_EQ(g.seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr,
                                    AM_SEEKING_NoPositioning),
            S_OK);
  g.seeking->GetCurrentPosition(&at);
  EXPECT_EQ(at, 0);
  EXPECT_NEAR(Pitch(Pull(4096), kRate), 441, 4);
  Pull(11025);
  EXPECT_EQ(Events(g, EC_COMPLETE), 1);
}

TEST_F(GraphTest, PauseAndStopHoldThePositionAndSeeksGoWhereAsked) {
  Graph g = Open(Tone("tone.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2.0));
  g.control->Run();
  Pull(4410);
  g.control->Pause();
  OAFilterState state = -1;
  g.control->GetState(0, &state);
  EXPECT_EQ(state, State_Paused);
  EXPECT_EQ(Peak(Pull(4096)), 0);
  REFTIME seconds = 0;
  g.position->get_CurrentPosition(&seconds);
  EXPECT_DOUBLE_EQ(seconds, 0.1);
  g.control->Stop();
  EXPECT_EQ(Peak(Pull(4096)), 0);
  g.control->Run();
  EXPECT_GT(Peak(Pull(4096)), 10000);
  g.position->get_CurrentPosition(&seconds);
  EXPECT_NEAR(seconds, 0.1 + 4096.0 / kRate, 1e-6);

  // Absolute, then relative seeks; a seek before the start goes to the start.
  g.position->put_CurrentPosition(1.5);
  g.position->get_CurrentPosition(&seconds);
  EXPECT_DOUBLE_EQ(seconds, 1.5);
  LONGLONG back = -5000000;
  g.seeking->SetPositions(&back, AM_SEEKING_RelativePositioning, nullptr, 0);
  g.position->get_CurrentPosition(&seconds);
  EXPECT_DOUBLE_EQ(seconds, 1.0);
  LONGLONG before_start = -1;
  g.seeking->SetPositions(&before_start, AM_SEEKING_AbsolutePositioning, nullptr, 0);
  g.position->get_CurrentPosition(&seconds);
  EXPECT_DOUBLE_EQ(seconds, 0.0);
  // A seek past the end completes at once.
  g.position->put_CurrentPosition(10.0);
  Pull(1024);
  EXPECT_EQ(Events(g, EC_COMPLETE), 1);
}

TEST_F(GraphTest, VolumeFollowsTheSoundBufferLaw) {
  Graph g = Open(Tone("tone.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 3.0));
  g.control->Run();
  Pull(2048);
  double full = Peak(Pull(4096));
  ASSERT_NEAR(full, 16384, 200);
  for (LONG mb : {-1250, -2475, -600}) {
    SCOPED_TRACE(mb);
    EXPECT_EQ(g.audio->put_Volume(mb), S_OK);
    LONG back = 1;
    g.audio->get_Volume(&back);
    EXPECT_EQ(back, mb);
    EXPECT_NEAR(Peak(Pull(4096)) / full, std::pow(10.0, mb / 2000.0), 0.004);
  }
  g.audio->put_Volume(-10000);
  EXPECT_EQ(Peak(Pull(4096)), 0);
  EXPECT_EQ(g.audio->put_Volume(1), E_INVALIDARG);
  EXPECT_EQ(g.audio->put_Volume(-10001), E_INVALIDARG);
}

TEST_F(GraphTest, RateScalesTheFrequency) {
  Graph g = Open(Tone("tone.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 3.0));
  EXPECT_EQ(g.seeking->SetRate(2.0), S_OK);
  g.control->Run();
  EXPECT_NEAR(Pitch(Pull(8192), kRate), 882, 6);
  REFTIME seconds = 0;
  g.position->get_CurrentPosition(&seconds);
  EXPECT_NEAR(seconds, 2 * 8192.0 / kRate, 1e-4) << "the file's own time runs twice as fast";
  EXPECT_EQ(g.position->put_Rate(0.5), S_OK);
  EXPECT_NEAR(Pitch(Pull(8192), kRate), 220.5, 3);
  EXPECT_EQ(g.seeking->SetRate(0), E_INVALIDARG);
  EXPECT_EQ(g.seeking->SetRate(-1), E_INVALIDARG);
  double rate = 0;
  g.position->get_Rate(&rate);
  EXPECT_EQ(rate, 0.5);
}

TEST_F(GraphTest, RatesPastTheBuffersHighestFrequencyPlayAsAsked) {
  // Three times 44.1 kHz, and twice 96 kHz, pass the buffer's 100 kHz.
  Graph g = Open(Tone("tone.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 5.0));
  g.control->Run();
  Pull(4410);
  EXPECT_EQ(g.seeking->SetRate(3.0), S_OK);
  REFTIME seconds = 0;
  g.position->get_CurrentPosition(&seconds);
  EXPECT_NEAR(seconds, 0.1, 1e-9) << "the change goes on from what was heard";
  EXPECT_NEAR(Pitch(Pull(8192), kRate), 1323, 10);
  g.position->get_CurrentPosition(&seconds);
  EXPECT_NEAR(seconds, 0.1 + 3 * 8192.0 / kRate, 1e-3);
  EXPECT_EQ(g.seeking->SetRate(1.0), S_OK);
  EXPECT_NEAR(Pitch(Pull(8192), kRate), 441, 4);
  g.position->get_CurrentPosition(&seconds);
  EXPECT_NEAR(seconds, 0.1 + 4 * 8192.0 / kRate, 1e-3);

  Graph high = Open(Tone("tone96.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 3.0, 441, 96000));
  EXPECT_EQ(high.seeking->SetRate(2.0), S_OK);  // before the run
  g.control->Stop();
  high.control->Run();
  EXPECT_NEAR(Pitch(Pull(8192), kRate), 882, 6);
}

TEST_F(GraphTest, ALongMidiSeekHoldsUpNoCallOfTheProgram) {
  std::string midi = folder_ / "long.mid";
  music_files::WriteBytes(midi, music_files::MidiSong({69}, 3600));  // an hour, mostly silence
  Graph g = Open(midi);
  ASSERT_EQ(g.rendered, S_OK);
  g.control->Run();
  Pull(4096);
  auto seconds_taken = [](auto call) {
    auto start = std::chrono::steady_clock::now();
    call();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  // Rendering 50 minutes of song keeps the worker busy for many seconds.
  g.position->put_CurrentPosition(3000.0);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  double took = seconds_taken([&] {
    REFTIME at = 0;
    g.position->get_CurrentPosition(&at);
    EXPECT_EQ(at, 3000.0);
    Events(g, EC_COMPLETE);
    g.position->put_CurrentPosition(0.25);  // calls the long seek off
  });
  EXPECT_LT(took, 1.0);
  auto heard = Pull(kRate / 4);
  EXPECT_GT(Peak(heard), 1000) << "the newer seek was carried out";
  REFTIME at = 0;
  g.position->get_CurrentPosition(&at);
  EXPECT_NEAR(at, 0.5, 1e-6);

  g.position->put_CurrentPosition(3000.0);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_LT(seconds_taken([&] { g = Graph{}; }), 1.0) << "the release ends the worker";
}

TEST_F(GraphTest, DamagedFilesEndEarlyInsteadOfFailing) {
  std::string whole = Tone("long.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 2.0);
  ASSERT_FALSE(whole.empty());
  auto size = std::filesystem::file_size(whole);
  std::filesystem::resize_file(whole, size / 3);
  Graph g = Open(whole);
  ASSERT_EQ(g.rendered, S_OK);
  g.control->Run();
  EXPECT_GT(Peak(Pull(8192)), 8000);
  Pull(2 * kRate);
  EXPECT_EQ(Events(g, EC_COMPLETE), 1);
  REFTIME seconds = 0;
  g.position->get_CurrentPosition(&seconds);
  EXPECT_LT(seconds, 1.5);
}

TEST_F(GraphTest, MidiFilesPlayThroughTheSoundFont) {
  std::string midi = folder_ / "song.mid";
  music_files::WriteBytes(midi, music_files::MidiSong({69, 81}));  // A4, A5: 1 s of notes
  Graph g = Open(midi);
  ASSERT_EQ(g.rendered, S_OK);
  g.control->Run();
  auto heard = Pull(kRate / 2);
  EXPECT_GT(Peak(heard), 1000);
  Pull(3 * kRate);  // the notes and the longest release
  EXPECT_EQ(Events(g, EC_COMPLETE), 1);
  LONGLONG length = 0;
  EXPECT_EQ(g.seeking->GetDuration(&length), S_OK);
  EXPECT_GE(length, 10000000);
  EXPECT_LT(length, 35000000);

  // The RIFF form of the same song.
  auto song = music_files::MidiSong({69});
  std::vector<std::uint8_t> rmi = {'R', 'I', 'F', 'F', 0,   0,   0,   0,
                                   'R', 'M', 'I', 'D', 'd', 'a', 't', 'a'};
  auto n = static_cast<std::uint32_t>(song.size());
  rmi.insert(rmi.end(), {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
                         static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 24)});
  rmi.insert(rmi.end(), song.begin(), song.end());
  music_files::WriteBytes(folder_ / "song.rmi", rmi);
  Graph r = Open(folder_ / "song.rmi");
  ASSERT_EQ(r.rendered, S_OK);
  r.control->Run();
  EXPECT_GT(Peak(Pull(kRate / 2)), 1000);
}

TEST_F(GraphTest, AWaitingWorkerCostsNothing) {
  Graph g = Open(Tone("tone.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 5.0));
  g.control->Run();
  Pull(4096);
  g.control->Pause();
  ASSERT_TRUE(dshow::testing::WaitIdle());
  timespec start{};
  timespec end{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &start);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &end);
  double used = static_cast<double>(end.tv_sec - start.tv_sec) +
                static_cast<double>(end.tv_nsec - start.tv_nsec) / 1e9;
  EXPECT_LT(used, 0.03) << "a paused graph's worker must sleep";
}

TEST(WideNames, TheCodePageIsUtf8) {
  char16_t out[8] = {};
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, "a\xC3\xA9", -1, out, 8), 3);
  EXPECT_EQ(std::u16string(out), u"a\u00E9");
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "\xF0\x9F\x8E\xB5", 4, out, 8), 2);  // a surrogate pair
  EXPECT_EQ(out[0], 0xD83C);
  EXPECT_EQ(out[1], 0xDFB5);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "x\xFFy", 3, out, 8), 3);
  EXPECT_EQ(out[1], 0xFFFD);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "\xE2\x82", 2, out, 8), 2) << "cut short";
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abcdef", -1, out, 3), 0) << "too small";
}

}  // namespace
