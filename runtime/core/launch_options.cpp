// The launch options' reader: command line first, then the environment for what the command line
// left unset.
#include "runtime/core/launch_options.h"

#include <cstdlib>
#include <cstring>

namespace tessark {

namespace {

LaunchOptions& Stored() {
  static LaunchOptions options;
  return options;
}

const char* Env(const char* name) {
  const char* value = std::getenv(name);
  return value && *value ? value : nullptr;
}

// A yes/no variable: set and not "0", "no" or "false".
bool EnvFlag(const char* name) {
  const char* value = Env(name);
  return value && std::strcmp(value, "0") != 0 && std::strcmp(value, "no") != 0 &&
         std::strcmp(value, "false") != 0;
}

std::string ParseScale(const std::string& text, int* scale) {
  char* end = nullptr;
  long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || value < 1 || value > kMaxScale)
    return "--scale needs a whole number from 1 to " + std::to_string(kMaxScale) + ", not \"" +
           text + "\"";
  *scale = static_cast<int>(value);
  return "";
}

}  // namespace

std::string LaunchOptionsParse(int argc, const char* const* argv, LaunchOptions* options) {
  *options = LaunchOptions{};
  options->program = argc > 0 && argv[0] ? argv[0] : "";
  bool scale_given = false;
  bool runtime_options = true;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i] ? argv[i] : "";
    if (!runtime_options) {
      options->game_arguments.push_back(arg);
      continue;
    }
    // "--opt=value" and "--opt value" both work for the options that take a value.
    std::string name = arg, value;
    bool inline_value = false;
    if (arg.rfind("--", 0) == 0) {
      std::size_t eq = arg.find('=');
      if (eq != std::string::npos) {
        name = arg.substr(0, eq);
        value = arg.substr(eq + 1);
        inline_value = true;
      }
    }
    auto take_value = [&](std::string* out) -> std::string {
      if (inline_value) {
        *out = value;
      } else if (i + 1 < argc && argv[i + 1]) {
        *out = argv[++i];
      } else {
        return name + " needs a value";
      }
      if (out->empty()) return name + " needs a value";
      return "";
    };
    std::string fault;
    if (arg == "--") {
      runtime_options = false;
    } else if (name == "--record") {
      fault = take_value(&options->record);
    } else if (name == "--replay") {
      fault = take_value(&options->replay);
    } else if (name == "--scale") {
      std::string text;
      fault = take_value(&text);
      if (fault.empty()) fault = ParseScale(text, &options->scale);
      scale_given = true;
    } else if (arg == "--replay-fast") {
      options->replay_fast = true;
    } else if (arg == "--replay-check") {
      options->replay_check = true;
    } else if (arg == "--help" || arg == "-h") {
      options->help = true;
    } else {
      options->game_arguments.push_back(arg);
    }
    if (!fault.empty()) return fault;
  }

  if (options->record.empty()) {
    if (const char* file = Env("TESSARK_RECORD")) options->record = file;
  }
  if (options->replay.empty()) {
    if (const char* file = Env("TESSARK_REPLAY")) options->replay = file;
  }
  if (!options->replay_fast) options->replay_fast = EnvFlag("TESSARK_REPLAY_FAST");
  if (!options->replay_check) options->replay_check = EnvFlag("TESSARK_REPLAY_CHECK");
  if (!scale_given) {
    if (const char* text = Env("TESSARK_SCALE")) {
      std::string fault = ParseScale(text, &options->scale);
      if (!fault.empty()) return "TESSARK_SCALE: " + fault;
    }
  }
  if (!options->record.empty() && !options->replay.empty())
    return "--record and --replay cannot be used together";
  if ((options->replay_fast || options->replay_check) && options->replay.empty())
    return std::string(options->replay_fast ? "--replay-fast" : "--replay-check") +
           " needs --replay FILE";
  return "";
}

const LaunchOptions& LaunchOptionsGet() {
  return Stored();
}

void LaunchOptionsStore(const LaunchOptions& options) {
  Stored() = options;
}

std::string LaunchOptionsHelp(const std::string& program) {
  return "Usage: " + program +
         " [options] [--] [game arguments]\n"
         "Options (each also read from the environment variable beside it):\n"
         "  --record FILE    record this run into FILE              TESSARK_RECORD=FILE\n"
         "  --replay FILE    play FILE back instead of the input    TESSARK_REPLAY=FILE\n"
         "  --replay-fast    replay as fast as possible, no waits   TESSARK_REPLAY_FAST=1\n"
         "  --replay-check   stop at the first frame that differs   TESSARK_REPLAY_CHECK=1\n"
         "  --scale N        window N times the game's size (1-" +
         std::to_string(kMaxScale) +
         ")   TESSARK_SCALE=N\n"
         "  --help, -h       print this and end\n"
         "Arguments the runtime does not take are left to the game.\n";
}

}  // namespace tessark
