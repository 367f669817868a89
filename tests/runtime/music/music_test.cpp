// The music module on a headless mixer: loading and its failures, the flags of every
// operation, the volume and speed laws heard in the mix, completion handled by the update
// (looping, ending, paused entries, missing interfaces), CD tracks on a system without a
// drive, and the module in the runtime's frame.
#include <gtest/gtest.h>

#include "platform/dshow/dshow.h"
#include "runtime/core/core_data.h"
#include "runtime/core/errors.h"
#include "runtime/music/music_state.h"
#include "tessark/music.h"
#include "tests/platform/dshow/music_files.h"

namespace {

using music_files::Peak;
using music_files::Pitch;
using namespace tessark;
constexpr int kRate = 44100;

class MusicTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dsound::testing::SetOutput(dsound::testing::Output::kHeadless, kRate);
    ASSERT_EQ(DirectSoundShared(&device_), DS_OK);
    CoreDataDefaults();
    ErrorWordSet(&error_);
    music::Constructor(nullptr);
    music::SetErrorHandler(&error_);
    music::PassCoreData(CoreDataGet());
  }
  void TearDown() override {
    music::Destructor();
    EXPECT_EQ(dshow::testing::LiveGraphs(), 0) << "every graph is released";
    ErrorWordSet(nullptr);
    dshow::testing::SetSoundFont(nullptr);
    dsound::testing::SetOutput(dsound::testing::Output::kDevice);
  }

  // A mono tone of seconds at hz, amplitude half of full scale, as a 16-bit WAV file.
  std::string Tone(const std::string& name, double seconds, double hz = 441,
                   int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16) {
    std::string path = folder_ / name;
    EXPECT_TRUE(music_files::WriteTone(path, format, seconds, hz, kRate));
    return path;
  }
  std::vector<std::int16_t> Pull(DWORD frames) {
    std::vector<std::int16_t> out(frames * 2);
    for (DWORD done = 0; done < frames;) {
      EXPECT_TRUE(dshow::testing::WaitIdle());
      DWORD n = std::min<DWORD>(frames - done, 2048);
      dsound::testing::MixerPull(device_.get(), out.data() + done * 2, n);
      done += n;
    }
    return out;
  }
  std::int32_t Error() { return std::exchange(error_, 0); }

  dsound::Ref<IDirectSound8> device_;
  std::int32_t error_ = 0;
  music_files::ScratchFolder folder_{"music_test"};
};

TEST_F(MusicTest, LoadsEveryKindOfFileStoppedAtFullVolumeAndSpeed) {
  std::string midi = folder_ / "song.mid";
  music_files::WriteBytes(midi, music_files::MidiSong({60, 67}));
  const std::string files[] = {
      Tone("tone.wav", 0.5),
      Tone("tone.flac", 0.5, 441, SF_FORMAT_FLAC | SF_FORMAT_PCM_16),
      Tone("tone.ogg", 0.5, 441, SF_FORMAT_OGG | SF_FORMAT_VORBIS),
      Tone("tone.mp3", 0.5, 441, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III),
      midi,
  };
  std::int32_t id = 1;
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    MusicLoad(file.c_str(), id);
    EXPECT_EQ(Error(), 0);
    EXPECT_TRUE(MusicExists(id));
    EXPECT_FALSE(MusicPlaying(id));
    EXPECT_FALSE(MusicLooping(id));
    EXPECT_FALSE(MusicPaused(id));
    EXPECT_EQ(MusicVolume(id), 100);
    EXPECT_EQ(MusicSpeed(id), 100);
    music::MusicRecord* entry = music::Find(id);
    EXPECT_EQ(entry->kind, 0);
    EXPECT_EQ(entry->ready, 1);
    EXPECT_TRUE(entry->graph && entry->control && entry->events && entry->seeking && entry->audio &&
                entry->position);
    ++id;
  }
  EXPECT_EQ(Peak(Pull(4096)), 0) << "loading plays nothing";
  PlayMusic(2);
  Pull(4096);
  EXPECT_NEAR(Pitch(Pull(4096), kRate), 441, 4);
}

TEST_F(MusicTest, IdsAreCheckedBeforeAnythingElse) {
  std::string tone = Tone("tone.wav", 2.0);
  MusicLoad(tone.c_str(), 0);
  EXPECT_EQ(Error(), 3501);
  MusicLoad(tone.c_str(), 22000001);
  EXPECT_EQ(Error(), 3501);
  EXPECT_FALSE(MusicExists(0));
  EXPECT_EQ(Error(), 3501);
  EXPECT_FALSE(MusicExists(7));
  EXPECT_EQ(Error(), 0) << "a free id is no error for MusicExists";

  // Every operation on a free id raises 3504 and answers 0.
  PlayMusic(7);
  EXPECT_EQ(Error(), 3504);
  SetMusicVolume(7, 50);
  EXPECT_EQ(Error(), 3504);
  EXPECT_EQ(MusicVolume(7), 0);
  EXPECT_EQ(Error(), 3504);
  EXPECT_FALSE(MusicPlaying(-3));
  EXPECT_EQ(Error(), 3501);
  SetMusicSpeed(7, -5);
  EXPECT_EQ(Error(), 3504) << "the id is looked up before the speed";

  // An id in use keeps its music, which plays on.
  MusicLoad(tone.c_str(), 22000000);
  EXPECT_EQ(Error(), 0);
  PlayMusic(22000000);
  std::string other = Tone("other.wav", 2.0, 882);
  MusicLoad(other.c_str(), 22000000);
  EXPECT_EQ(Error(), 3503);
  EXPECT_TRUE(MusicPlaying(22000000));
  EXPECT_NEAR(Pitch(Pull(8192), kRate), 441, 4);
  EXPECT_EQ(dshow::testing::LiveGraphs(), 1) << "the refused load left nothing behind";

  MusicDelete(22000000);
  EXPECT_FALSE(MusicExists(22000000));
  EXPECT_EQ(Peak(Pull(2048)), 0);
  MusicDelete(22000000);
  EXPECT_EQ(Error(), 3504);
}

TEST_F(MusicTest, FilesThatCannotBePlayedRaise3502AndLeaveNoMusic) {
  std::string text = folder_ / "song.mp3";
  music_files::WriteBytes(text, {'n', 'o', 't', ' ', 'm', 'u', 's', 'i', 'c', '\n'});
  std::string midi = folder_ / "song.mid";
  music_files::WriteBytes(midi, music_files::MidiSong({60}));
  std::string missing = folder_ / "missing.ogg";
  for (const std::string& file : {missing, text}) {
    MusicLoad(file.c_str(), 1);
    EXPECT_EQ(Error(), 3502) << file;
    EXPECT_FALSE(MusicExists(1));
  }
  MusicLoad(nullptr, 1);
  EXPECT_EQ(Error(), 3502);
  dshow::testing::SetSoundFont((folder_ / "none.sf2").c_str());
  MusicLoad(midi.c_str(), 1);
  EXPECT_EQ(Error(), 3502) << "MIDI without a sound font";
  EXPECT_FALSE(MusicExists(1));
  MusicLoad(Tone("tone.wav", 0.2).c_str(), 1);
  EXPECT_EQ(Error(), 0) << "other music still loads";
  EXPECT_EQ(dshow::testing::LiveGraphs(), 1);
}

TEST_F(MusicTest, NamesAreResolvedTheRuntimesWay) {
  Tone("Theme.WAV", 0.2);
  std::string windows_name = folder_ / "theme.wav";
  for (char& c : windows_name) {
    if (c == '/') c = '\\';
  }
  MusicLoad(windows_name.c_str(), 1);
  EXPECT_EQ(Error(), 0);
  EXPECT_TRUE(MusicExists(1));
  std::string long_name(400, 'a');
  MusicLoad(long_name.c_str(), 2);
  EXPECT_EQ(Error(), 3502);
}

TEST_F(MusicTest, VolumeLawIsHeardInTheMix) {
  MusicLoad(Tone("tone.wav", 5.0).c_str(), 1);
  MusicLoop(1);
  Pull(2048);
  double full = Peak(Pull(4096));
  ASSERT_NEAR(full, 16384, 100);
  struct Step {
    std::int32_t percent;
    double gain;
  };
  // percent x 25 - 2500 hundredths of a decibel.
  const Step steps[] = {{50, 0.23714}, {1, 0.05803}, {100, 1.0}, {75, 0.48697}};
  for (const Step& step : steps) {
    SCOPED_TRACE(step.percent);
    SetMusicVolume(1, step.percent);
    EXPECT_EQ(MusicVolume(1), step.percent);
    EXPECT_NEAR(Peak(Pull(4096)) / full, step.gain, 0.003);
  }
  for (std::int32_t silent : {0, -40}) {
    SetMusicVolume(1, silent);
    EXPECT_EQ(MusicVolume(1), silent);
    EXPECT_EQ(Peak(Pull(4096)), 0);
  }
  SetMusicVolume(1, 250);  // above full: the graph refuses it and keeps the last level
  EXPECT_EQ(MusicVolume(1), 250);
  EXPECT_EQ(Peak(Pull(4096)), 0);
  EXPECT_EQ(Error(), 0);
}

TEST_F(MusicTest, SpeedStartsAStoppedMusicAndIsHeardAsAsked) {
  MusicLoad(Tone("tone.wav", 5.0).c_str(), 1);
  SetMusicSpeed(1, 200);
  EXPECT_EQ(MusicSpeed(1), 200);
  EXPECT_TRUE(MusicPlaying(1));
  EXPECT_NEAR(Pitch(Pull(8192), kRate), 882, 6);
  SetMusicSpeed(1, 50);
  EXPECT_NEAR(Pitch(Pull(8192), kRate), 220.5, 3);
  SetMusicSpeed(1, 300);  // past the sound buffer's highest frequency
  EXPECT_EQ(MusicSpeed(1), 300);
  EXPECT_NEAR(Pitch(Pull(8192), kRate), 1323, 10);
  SetMusicSpeed(1, -1);
  EXPECT_EQ(Error(), 3506);
  EXPECT_EQ(MusicSpeed(1), 300);

  // A paused music plays again after a change of speed, and says so.
  PauseMusic(1);
  EXPECT_EQ(Peak(Pull(2048)), 0);
  SetMusicSpeed(1, 100);
  EXPECT_TRUE(MusicPlaying(1));
  EXPECT_FALSE(MusicPaused(1));
  EXPECT_NEAR(Pitch(Pull(8192), kRate), 441, 4);
}

TEST_F(MusicTest, ALoopingMusicIsRewoundByTheUpdateAfterItEnds) {
  MusicLoad(Tone("short.wav", 0.2).c_str(), 1);  // 8820 frames
  MusicLoop(1);
  EXPECT_TRUE(MusicLooping(1));
  Pull(9000);
  music::Update();
  EXPECT_TRUE(MusicPlaying(1));
  EXPECT_TRUE(MusicLooping(1));
  auto again = Pull(4096);
  EXPECT_NEAR(Pitch(again, kRate), 441, 4) << "heard again from the start";
  EXPECT_GT(Peak(again), 16000);
  // And again, each time it ends.
  Pull(9000);
  music::Update();
  EXPECT_GT(Peak(Pull(4096)), 16000);

  // PlayMusic ends the looping: the next end stops it.
  PlayMusic(1);
  EXPECT_FALSE(MusicLooping(1));
  Pull(9000);
  music::Update();
  EXPECT_FALSE(MusicPlaying(1));
}

TEST_F(MusicTest, AFinishedMusicReadsStoppedAndPlaysAgainFromTheStart) {
  MusicLoad(Tone("short.wav", 0.2).c_str(), 1);
  PlayMusic(1);
  Pull(8000);
  music::Update();
  EXPECT_TRUE(MusicPlaying(1)) << "not over yet";
  Pull(1000);
  EXPECT_TRUE(MusicPlaying(1)) << "noticed only by the update";
  music::Update();
  EXPECT_FALSE(MusicPlaying(1));
  EXPECT_EQ(Peak(Pull(2048)), 0);
  PlayMusic(1);
  EXPECT_GT(Peak(Pull(4096)), 16000);
  Pull(8000);
  music::Update();
  EXPECT_FALSE(MusicPlaying(1)) << "the second run ends too";
}

TEST_F(MusicTest, AFinishedOrPausedMusicStartedAgainIsHeardAndSeenToEnd) {
  MusicLoad(Tone("short.wav", 0.2).c_str(), 1);  // 8820 frames
  PlayMusic(1);
  Pull(9000);
  music::Update();
  ASSERT_FALSE(MusicPlaying(1));
  // Resumed after its end, it plays again from its start, and its next end is seen.
  ResumeMusic(1);
  EXPECT_TRUE(MusicPlaying(1));
  EXPECT_GT(Peak(Pull(4096)), 16000);
  Pull(5000);
  music::Update();
  EXPECT_FALSE(MusicPlaying(1));

  // A loop started on a paused music plays on, no longer paused, and is rewound at its end.
  PlayMusic(1);
  Pull(2048);
  PauseMusic(1);
  MusicLoop(1);
  EXPECT_TRUE(MusicPlaying(1));
  EXPECT_FALSE(MusicPaused(1));
  Pull(7000);
  music::Update();
  EXPECT_TRUE(MusicPlaying(1));
  EXPECT_GT(Peak(Pull(4096)), 16000) << "heard again from the start";
}

TEST_F(MusicTest, PauseResumeAndStop) {
  MusicLoad(Tone("tone.wav", 3.0).c_str(), 1);
  MusicLoop(1);
  Pull(4096);
  PauseMusic(1);
  EXPECT_FALSE(MusicPlaying(1));
  EXPECT_TRUE(MusicPaused(1));
  EXPECT_TRUE(MusicLooping(1));
  EXPECT_EQ(Peak(Pull(4096)), 0);
  ResumeMusic(1);
  EXPECT_TRUE(MusicPlaying(1));
  EXPECT_FALSE(MusicPaused(1));
  EXPECT_GT(Peak(Pull(4096)), 16000);
  REFTIME at = 0;
  music::Find(1)->position->get_CurrentPosition(&at);
  EXPECT_NEAR(at, 8192.0 / kRate, 1e-6) << "resumed where it was paused";

  StopMusic(1);
  EXPECT_FALSE(MusicPlaying(1));
  EXPECT_FALSE(MusicLooping(1));
  EXPECT_EQ(Peak(Pull(4096)), 0);
  music::Find(1)->position->get_CurrentPosition(&at);
  EXPECT_EQ(at, 0.0) << "stopping rewinds";
}

TEST_F(MusicTest, APausedMusicDoesNotHoldUpTheEntriesAfterIt) {
  MusicLoad(Tone("long.wav", 3.0).c_str(), 1);
  MusicLoad(Tone("short.wav", 0.1).c_str(), 2);
  PlayMusic(1);
  PauseMusic(1);
  PlayMusic(2);
  Pull(6000);
  music::Update();
  EXPECT_TRUE(MusicPaused(1));
  EXPECT_FALSE(MusicPlaying(2));
}

TEST_F(MusicTest, MissingInterfacesAreNoticedAndStopTheOperation) {
  MusicLoad(Tone("a.wav", 0.1).c_str(), 1);
  MusicLoad(Tone("b.wav", 0.1).c_str(), 2);
  PlayMusic(2);
  music::MusicRecord* first = music::Find(1);
  first->events.reset();
  first->control.reset();
  first->audio.reset();
  first->position.reset();
  Pull(6000);
  music::Update();  // ends at the first entry, which has no events
  EXPECT_TRUE(MusicPlaying(2));
  PlayMusic(1);
  EXPECT_FALSE(MusicPlaying(1)) << "nothing to run it with";
  SetMusicVolume(1, 10);
  EXPECT_EQ(MusicVolume(1), 10) << "the percentage is kept before the check";
  SetMusicSpeed(1, 150);
  EXPECT_EQ(MusicSpeed(1), 100);
  EXPECT_EQ(Error(), 0) << "notices record no code";
  MusicDelete(1);
  music::Update();
  EXPECT_FALSE(MusicPlaying(2));
}

TEST_F(MusicTest, CdTracksOnASystemWithoutADrive) {
  MusicLoadCdTrack(0, 1);
  EXPECT_EQ(Error(), 3508);
  MusicLoadCdTrack(22000001, 1);
  EXPECT_EQ(Error(), 3508);
  MusicLoadCdTrack(3, 0);
  EXPECT_EQ(Error(), 3501);
  MusicLoadCdTrack(3, 1);
  EXPECT_EQ(Error(), 0);
  MusicLoadCdTrack(4, 1);
  EXPECT_EQ(Error(), 3503);
  music::MusicRecord* entry = music::Find(1);
  EXPECT_EQ(entry->kind, 1);
  EXPECT_EQ(entry->track, 3);
  EXPECT_EQ(MusicVolume(1), 0);
  EXPECT_EQ(MusicSpeed(1), 0);
  EXPECT_EQ(MusicCdTrackCount(), 0);

  // The device never answers "stopped", so a looping track keeps its flags.
  MusicLoop(1);
  music::Update();
  EXPECT_TRUE(MusicPlaying(1));
  EXPECT_TRUE(MusicLooping(1));
  SetMusicVolume(1, 40);  // no mixer devices: only the percentage changes
  EXPECT_EQ(MusicVolume(1), 40);
  SetMusicSpeed(1, 200);  // a track has no rate
  EXPECT_EQ(MusicSpeed(1), 0);
  PauseMusic(1);
  ResumeMusic(1);
  StopMusic(1);
  EXPECT_FALSE(MusicPlaying(1));
  EXPECT_EQ(Error(), 0);
}

TEST_F(MusicTest, DestructorLeavesTheModuleAsNew) {
  MusicLoad(Tone("a.wav", 1.0).c_str(), 1);
  MusicLoadCdTrack(2, 2);
  MusicLoop(1);
  music::Destructor();
  EXPECT_EQ(dshow::testing::LiveGraphs(), 0);
  EXPECT_EQ(Peak(Pull(2048)), 0);
  music::Constructor(nullptr);
  EXPECT_FALSE(MusicExists(1));
  EXPECT_FALSE(MusicExists(2));
  MusicLoad(Tone("b.wav", 1.0).c_str(), 1);
  EXPECT_EQ(Error(), 0);
}

}  // namespace
