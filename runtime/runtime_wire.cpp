// RuntimeWire: zeroes CoreData, sets its defaults and binds every module that is built into
// the module table. Each module offers tessark::<module>::Wire, which fills its own slots; a
// module that is not built leaves its slots empty and every caller skips them.
#include "runtime/core/core_data.h"
#include "runtime/core/module_table.h"
#include "runtime/runtime_wire.h"

#define TESSARK_DECLARE_WIRE(module) \
  namespace tessark::module {        \
  void Wire(ModuleTable& table);     \
  }

#ifdef TESSARK_HAS_DISPLAY
TESSARK_DECLARE_WIRE(display)
#endif
#ifdef TESSARK_HAS_BASIC2D
TESSARK_DECLARE_WIRE(basic2d)
#endif
#ifdef TESSARK_HAS_TEXT
TESSARK_DECLARE_WIRE(text)
#endif
#ifdef TESSARK_HAS_IMAGE
TESSARK_DECLARE_WIRE(image)
#endif
#ifdef TESSARK_HAS_SPRITE
TESSARK_DECLARE_WIRE(sprite)
#endif
#ifdef TESSARK_HAS_INPUT
TESSARK_DECLARE_WIRE(input)
#endif
#ifdef TESSARK_HAS_SYSTEM
TESSARK_DECLARE_WIRE(system)
#endif
#ifdef TESSARK_HAS_SOUND
TESSARK_DECLARE_WIRE(sound)
#endif
#ifdef TESSARK_HAS_MUSIC
TESSARK_DECLARE_WIRE(music)
#endif
#ifdef TESSARK_HAS_FILE
TESSARK_DECLARE_WIRE(file)
#endif
#ifdef TESSARK_HAS_FTP
TESSARK_DECLARE_WIRE(ftp)
#endif
#ifdef TESSARK_HAS_MEMBLOCK
TESSARK_DECLARE_WIRE(memblock)
#endif
#ifdef TESSARK_HAS_BITMAP
TESSARK_DECLARE_WIRE(bitmap)
#endif

namespace tessark {

bool RuntimeWire() {
  CoreDataDefaults();
  ModuleTable& table = Modules();
  table = ModuleTable{};
#ifdef TESSARK_HAS_DISPLAY
  display::Wire(table);
#endif
#ifdef TESSARK_HAS_BASIC2D
  basic2d::Wire(table);
#endif
#ifdef TESSARK_HAS_TEXT
  text::Wire(table);
#endif
#ifdef TESSARK_HAS_IMAGE
  image::Wire(table);
#endif
#ifdef TESSARK_HAS_SPRITE
  sprite::Wire(table);
#endif
#ifdef TESSARK_HAS_INPUT
  input::Wire(table);
#endif
#ifdef TESSARK_HAS_SYSTEM
  system::Wire(table);
#endif
#ifdef TESSARK_HAS_SOUND
  sound::Wire(table);
#endif
#ifdef TESSARK_HAS_MUSIC
  music::Wire(table);
#endif
#ifdef TESSARK_HAS_FILE
  file::Wire(table);
#endif
#ifdef TESSARK_HAS_FTP
  ftp::Wire(table);
#endif
#ifdef TESSARK_HAS_MEMBLOCK
  memblock::Wire(table);
#endif
#ifdef TESSARK_HAS_BITMAP
  bitmap::Wire(table);
#endif
  return true;
}

}  // namespace tessark
