// Fuzzes the recording reader and the scripted-input parser: any bytes either read as a
// recording (whose items then refer only to events and texts that exist) or are refused with
// a sentence; never a crash, a hang or memory asked for beyond what the input can hold.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/replay/replay_file.h"
#include "platform/replay/script.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  replay::Recording recording;
  std::string fault = replay::ReadRecording(data, size, &recording);
  if (fault.empty()) {
    for (const replay::Item& item : recording.items) {
      bool events =
          item.kind == replay::ItemKind::kEvents || item.kind == replay::ItemKind::kWaitEvents;
      if (events && item.first + static_cast<std::uint64_t>(item.count) > recording.events.size())
        std::abort();
      if (item.kind == replay::ItemKind::kText &&
          item.first + static_cast<std::uint64_t>(item.count) > recording.texts.size())
        std::abort();
    }
  } else if (fault.empty() || fault.size() > 400) {
    std::abort();  // a refusal is one readable sentence
  }
  replay::Script script;
  replay::ParseScript(std::string(reinterpret_cast<const char*>(data), size), &script);
  return 0;
}
