// Pictures decoded ahead of their loads. While a program waits on something else (the runtime
// showing its start-up frames), a worker decodes PNG files it expects to be loaded soon; a load
// of one of them then takes the decoded picture instead of decoding the file again. A picture is
// taken only while its file is the one that was decoded (the same file, size and modification
// time). Files that cannot be decoded ahead are left to their loads, which decode them and
// report their faults as ever.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "platform/d3dx9/image_file.h"

namespace d3dx {

// Decodes the PNG files among paths (native paths, in order) on the calling thread and keeps
// them for their loads, until stop is set, the list ends or the pictures kept reach 64 MiB.
// Pictures kept from an earlier call are freed first.
void DecodeAhead(const std::vector<std::string>& paths, const std::atomic<bool>& stop);

// The picture of the file at path (a native path) when it was decoded ahead and is still that
// file's: moved into out, and true. A load of a file the worker never looked at ends the
// keeping: the program has moved on, and what was not taken is freed.
bool DecodedAheadTake(const std::string& path, DecodedImage* out);

// Frees every picture decoded ahead and not taken; a worker still decoding keeps no more.
void DecodedAheadRelease();

// The number of pictures decoded ahead and not yet taken.
int DecodedAheadHeld();

}  // namespace d3dx
