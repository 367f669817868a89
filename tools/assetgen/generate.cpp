// The whole Data folder, group by group. Depends on the picture and sound writers.
#include "tools/assetgen/assetgen.h"

#include "tools/assetgen/pictures.h"
#include "tools/assetgen/sounds.h"

namespace assetgen {

// Pictures first, then sounds; stops at the first failure.
bool GenerateData(const std::string& data_dir, std::string* error) {
  return WriteTokens(data_dir, error) && WritePot(data_dir, error) &&
         WriteBackdrops(data_dir, error) && WriteInterface(data_dir, error) &&
         WriteSounds(data_dir, error);
}

}  // namespace assetgen
