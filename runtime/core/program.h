// The program's own context, beside the launch options: the folder the user started it in
// (recorded before the entry moves to the folder that holds Data), and the program's name, which
// names its per-user data folder.
#pragma once

#include <string>

namespace tessark {

// Records the current folder as the start folder. The start code calls it before it changes
// the working folder; later calls change nothing.
void StartFolderRecord();

// The start folder; the current folder when nothing was recorded (a program that never called
// RuntimeStart).
const std::string& StartFolder();

// The per-user folder the program may write to: $XDG_DATA_HOME/<name>, else
// $HOME/.local/share/<name>, where name is the executable's file name. Made (with its parents)
// when missing. "" when there is no home to put it in or it cannot be made.
std::string UserDataFolder();

}  // namespace tessark
