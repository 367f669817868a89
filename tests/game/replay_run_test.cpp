// The real kettlebrim program, run headless on scripted input and on recordings: a scripted
// game records itself, the same script gives the same recording byte for byte (the physics
// included), the recording replays without a difference, and a recording changed in one byte
// of its input, cut short, foreign or made against other assets is caught with its reason and
// an exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/replay/replay_file.h"

namespace kettlebrim {
namespace {

namespace fs = std::filesystem;

// The title click, a few clicks in the pot while the grid settles, Escape back to the title.
constexpr char kPlay[] =
    "frame 20 mouse 320 60; frame 21 press left; frame 23 release left\n"
    "frame 120 mouse 300 330; frame 121 press left; frame 123 release left\n"
    "frame 160 mouse 340 350; frame 161 press left; frame 163 release left\n"
    "frame 190 key escape\n"
    "frame 200 end\n";

struct Outcome {
  int status = -1;
  std::string errors;
};

fs::path Folder() {
  return fs::temp_directory_path() / ("kb_replay_" + std::to_string(getpid()));
}

fs::path Write(const std::string& name, const std::string& bytes) {
  fs::path path = Folder() / name;
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

std::string Contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs the program with these arguments (and environment assignments before them).
Outcome Play(const std::string& arguments, const std::string& environment = "",
             const std::string& program = KETTLEBRIM_DATA_PARENT "/kettlebrim") {
  fs::path errors = Folder() / "errors.txt";
  std::string command = "SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy " + environment + " '" +
                        program + "' " + arguments + " >/dev/null 2>'" + errors.string() + "'";
  Outcome run;
  int raw = std::system(command.c_str());
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.errors = Contents(errors);
  return run;
}

// The scripted game recorded into a file of this name.
fs::path Record(const std::string& name) {
  fs::path script = Write("play.txt", kPlay);
  fs::path out = Folder() / name;
  Outcome run = Play("--replay '" + script.string() + "' --replay-fast",
                     "TESSARK_RECORD_SCRIPT='" + out.string() + "'");
  EXPECT_EQ(run.status, 0) << run.errors;
  return out;
}

// One recording of the scripted game serves every test.
class ReplayRunTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    fs::create_directories(Folder());
    made_ = new fs::path(Record("made.rec"));
  }
  static void TearDownTestSuite() {
    delete made_;
    made_ = nullptr;
    fs::remove_all(Folder());
  }
  static fs::path* made_;
};

fs::path* ReplayRunTest::made_ = nullptr;

TEST_F(ReplayRunTest, AScriptedGameRecordsTheSameEveryTimeAndReplaysWithoutADifference) {
  const fs::path& first = *made_;
  fs::path second = Record("second.rec");
  const std::string bytes = Contents(first);
  EXPECT_EQ(bytes, Contents(second)) << "same build, same input: the same frames, hash for hash";

  replay::Recording recording;
  ASSERT_EQ(replay::ReadRecording(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                                  &recording),
            "");
  EXPECT_TRUE(recording.ended);
  EXPECT_EQ(recording.frames, 200u);
  EXPECT_EQ(recording.header.program, "kettlebrim");
  EXPECT_NE(recording.header.data_hash, 0u);
  int hashes_changed = 0;
  std::uint64_t last = 0;
  for (const replay::Item& item : recording.items) {
    if (item.kind != replay::ItemKind::kFrame || !item.has_hash) continue;
    hashes_changed += item.value != last;
    last = item.value;
  }
  EXPECT_GT(hashes_changed, 100) << "the game moved on screen";

  Outcome replayed = Play("--replay '" + first.string() + "' --replay-fast --replay-check");
  EXPECT_EQ(replayed.status, 0) << replayed.errors;
  EXPECT_NE(replayed.errors.find("played to its end, 200 frames, without a difference"),
            std::string::npos)
      << replayed.errors;
}

TEST_F(ReplayRunTest, AByteChangedInTheInputIsCaughtAtItsFrameWithBothPictures) {
  std::string bytes = Contents(*made_);
  replay::Recording recording;
  ASSERT_EQ(replay::ReadRecording(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                                  &recording),
            "");
  // The move to (300, 330): x and y as differences from (320, 60), zigzag varints (-20: 39;
  // 270: 540).
  const std::string move = std::string("\x04\x27\x9C\x04", 4);
  std::size_t at = std::string::npos;
  std::uint32_t frame = 0;
  for (const replay::Item& item : recording.items) {
    bool events =
        item.kind == replay::ItemKind::kEvents || item.kind == replay::ItemKind::kWaitEvents;
    if (!events || item.frame < 100) continue;
    at = bytes.find(move, item.offset);
    frame = item.frame;
    break;
  }
  ASSERT_NE(at, std::string::npos);
  bytes[at + 2] = '\x8C';  // y moves 262 pixels instead of 270
  fs::path edited = Write("edited.rec", bytes);

  Outcome run = Play("--replay '" + edited.string() + "' --replay-fast --replay-check");
  EXPECT_EQ(run.status, 3) << run.errors;
  std::string expected = "frame " + std::to_string(frame) + " differs from the recording";
  EXPECT_NE(run.errors.find(expected), std::string::npos) << run.errors;
  EXPECT_TRUE(fs::exists(edited.string() + ".frame" + std::to_string(frame) + ".seen.png"));
  EXPECT_TRUE(fs::exists(edited.string() + ".frame" + std::to_string(frame - 1) + ".matched.png"));

  // Without the check the replay goes on to the end and says how much differed.
  run = Play("--replay '" + edited.string() + "' --replay-fast");
  EXPECT_EQ(run.status, 3) << run.errors;
  EXPECT_NE(run.errors.find("the first at frame " + std::to_string(frame)), std::string::npos)
      << run.errors;
}

TEST_F(ReplayRunTest, CutForeignAndMismatchedRecordingsAreRefusedWithTheirReason) {
  const fs::path& made = *made_;
  std::string bytes = Contents(made);

  Outcome run = Play("--replay '" + Write("cut.rec", bytes.substr(0, bytes.size() / 2)).string() +
                     "' --replay-fast");
  EXPECT_EQ(run.status, 2) << run.errors;
  EXPECT_NE(run.errors.find("cut short"), std::string::npos) << run.errors;

  run = Play("--replay '" + Write("foreign.rec", "\x89PNG\r\n\x1a\n....").string() + "'");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.errors.find("not a Tessark recording"), std::string::npos) << run.errors;

  run = Play("--replay '" + (Folder() / "missing.rec").string() + "'");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.errors.find("cannot read"), std::string::npos) << run.errors;

  // The same program beside other assets: one picture differs.
  fs::path copy = Folder() / "copy";
  fs::create_directories(copy);
  fs::copy_file(KETTLEBRIM_DATA_PARENT "/kettlebrim", copy / "kettlebrim");
  fs::copy(KETTLEBRIM_DATA_PARENT "/Data", copy / "Data", fs::copy_options::recursive);
  std::ofstream(copy / "Data" / "Images" / "Pot" / "Pot.png", std::ios::app) << '\0';
  run = Play("--replay '" + made.string() + "' --replay-fast", "", (copy / "kettlebrim").string());
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.errors.find("recorded against other assets"), std::string::npos) << run.errors;
}

}  // namespace
}  // namespace kettlebrim
