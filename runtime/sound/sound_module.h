// The sound module's entries, as the core's module table and the tests reach them.
#pragma once

#include <cstdint>

#include "platform/dsound/dsound.h"
#include "runtime/core/core.h"

namespace tessark::sound {

void Constructor(HWND window);
void SetErrorHandler(std::int32_t* error_word);
void PassCoreData(CoreData* core);
void Update();
void RefreshD3D(std::int32_t stage);
void Destructor();
void Wire(ModuleTable& table);
// The data services for memory blocks (SoundToData and SoundFromData in the table's terms).
bool DataOut(std::int32_t mode, std::int32_t id, SoundDataFormat* format, std::uint8_t** data,
             std::int32_t* size);
void DataIn(std::int32_t id, const SoundDataFormat& format, const std::uint8_t* data,
            std::int32_t size);

// The module's sound device, or null (for tests that listen to the mixer).
IDirectSound8* Device();

}  // namespace tessark::sound
