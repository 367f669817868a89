// The sprite module's other operations: image and colour, scale and size, mirror and flip,
// movement, priority and visibility, cloning, vertex coordinates, draw mode and filter,
// collision and hit tests, frame-sheet and image animation, and the queries.
#include <algorithm>
#include <cmath>
#include <memory>

#include "platform/win32/user.h"
#include "runtime/core/errors.h"
#include "runtime/sprite/sprite_state.h"
#include "tessark/sprite.h"
#include "tessark/errors.h"

namespace tessark::sprite {

namespace {

constexpr float kMaxPercent = 250000.0f;

bool ImageInRange(std::int32_t image) {
  if (image >= 1 && image <= kMaxId) return true;
  RuntimeError(error::kImageIdOutOfRange);
  return false;
}

// The bounding box of a sprite's quad; false for a sprite that never overlaps (no image).
bool Bounds(const SpriteRecord& r, float box[4]) {
  if (r.image_id <= 0) return false;
  box[0] = box[2] = r.vertices[0].x;
  box[1] = box[3] = r.vertices[0].y;
  for (const QuadVertex& v : r.vertices) {
    box[0] = std::min(box[0], v.x);
    box[1] = std::min(box[1], v.y);
    box[2] = std::max(box[2], v.x);
    box[3] = std::max(box[3], v.y);
  }
  return true;
}

bool Overlap(const SpriteRecord& a, const SpriteRecord& b) {
  float p[4], q[4];
  if (!Bounds(a, p) || !Bounds(b, q)) return false;
  return p[0] < q[2] && q[0] < p[2] && p[1] < q[3] && q[1] < p[3];
}

// SpriteCollision's answer for a sprite found in use (other checked by the caller).
std::int32_t Collide(std::int32_t id, const SpriteRecord& r, std::int32_t other) {
  if (other > 0) {
    const auto* o = static_cast<const SpriteRecord*>(State().sprites.Find(other));
    return o && Overlap(r, *o) ? 1 : 0;
  }
  for (IdListNode* n = State().sprites.Head(); n; n = n->next) {
    if (n->id != id && Overlap(r, *static_cast<const SpriteRecord*>(n->value))) return n->id;
  }
  return 0;
}

// Shows frame: a cell of a sheet, or the image with that id.
void ShowFrame(SpriteRecord& r, std::int32_t frame) {
  r.frame = frame;
  if (!r.sheet) {
    r.image_id = frame;
    TakeImage(r, frame);
  }
  TextureCoordinates(r);
  PlaceAtStored(r);
}

// The first image id, from the top of the range down, that no image uses.
std::int32_t FreeImageId() {
  const ImageQueries& q = State().images;
  for (std::int32_t image = kMaxId; image >= 1; --image) {
    if (!q.exists || !q.exists(image)) return image;
  }
  return 0;
}

// Runs query on the sprite of an id (with the 301 / 302 checks); fallback when there is none.
template <typename T, typename F>
T Query(std::int32_t id, T fallback, F query) {
  const SpriteRecord* r = FindChecked(id);
  return r ? static_cast<T>(query(*r)) : fallback;
}

}  // namespace

}  // namespace tessark::sprite

namespace tessark {

using namespace tessark::sprite;

void SpriteSetImage(std::int32_t id, std::int32_t image) {
  SpriteRecord* r = FindChecked(id);
  if (!r || !ImageInRange(image)) return;
  const ImageQueries& q = State().images;
  r->image_id = image;
  r->texture = q.texture ? q.texture(image) : nullptr;
  r->extent_u = q.extent_u ? q.extent_u(image) : 1.0f;
  r->extent_v = q.extent_v ? q.extent_v(image) : 1.0f;
  TextureCoordinates(*r);
}

void SpriteSetColour(std::int32_t id, std::int32_t red, std::int32_t green, std::int32_t blue) {
  SpriteRecord* r = FindChecked(id);
  if (!r) return;
  if (red < 0 || red > 255 || green < 0 || green > 255 || blue < 0 || blue > 255) {
    RuntimeError(error::kSpriteColourOutOfRange);
    return;
  }
  r->red = red;
  r->green = green;
  r->blue = blue;
  Diffuse(*r);
}

void SpriteScale(std::int32_t id, float percent) {
  SpriteRecord* r = FindChecked(id);
  if (!r) return;
  if (!(percent >= 0.0f && percent <= kMaxPercent)) {
    RuntimeError(error::kSpriteScaleOutOfRange);
    return;
  }
  r->scale_x = r->scale_y = percent * 0.01f;
  r->size_x = r->size_y = 0;
  TakeImage(*r, r->image_id);
  PlaceAtStored(*r);
}

void SpriteStretch(std::int32_t id, float x_percent, float y_percent) {
  SpriteRecord* r = FindChecked(id);
  if (!r) return;
  if (!(x_percent >= 0.0f && x_percent <= kMaxPercent && y_percent >= 0.0f &&
        y_percent <= kMaxPercent)) {
    RuntimeError(error::kSpriteScaleOutOfRange);
    return;
  }
  r->scale_x = x_percent * 0.01f;
  r->scale_y = y_percent * 0.01f;
  r->size_x = r->size_y = 0;
  PlaceAtStored(*r);
}

void SpriteSize(std::int32_t id, std::int32_t width, std::int32_t height) {
  SpriteRecord* r = FindChecked(id);
  if (!r) return;
  if (width < 0 || height < 0) {
    RuntimeError(error::kSpriteSizeNegative);
    return;
  }
  r->size_x = width;
  r->size_y = height;
  r->scale_x = static_cast<float>(width) * 0.01f;
  r->scale_y = static_cast<float>(height) * 0.01f;
  PlaceAtStored(*r);
}

void SpriteMirror(std::int32_t id) {
  SpriteRecord* r = FindChecked(id);
  if (!r) return;
  r->mirror = !r->mirror;
  TextureCoordinates(*r);
  PlaceAtStored(*r);
}

void SpriteFlip(std::int32_t id) {
  SpriteRecord* r = FindChecked(id);
  if (!r) return;
  r->flip = !r->flip;
  TextureCoordinates(*r);
  PlaceAtStored(*r);
}

void SpriteMove(std::int32_t id, float distance) {
  SpriteRecord* r = FindChecked(id);
  if (!r) return;
  const double radians = static_cast<double>(r->angle) * 0.017453292;
  r->x += static_cast<float>(std::sin(radians) * distance);
  r->y -= static_cast<float>(std::cos(radians) * distance);
  PlaceAtStored(*r);
}

void SpritePriority(std::int32_t id, std::int32_t priority) {
  SpriteRecord* r = FindChecked(id);
  if (!r) return;
  r->priority = priority;
  State().max_priority = std::max(State().max_priority, priority);
}

void SpriteHide(std::int32_t id) {
  if (SpriteRecord* r = FindChecked(id)) r->visible = 0;
}

void SpriteShow(std::int32_t id) {
  if (SpriteRecord* r = FindChecked(id)) r->visible = 1;
}

void SpriteHideAll() {
  for (IdListNode* n = State().sprites.Head(); n; n = n->next) {
    static_cast<SpriteRecord*>(n->value)->visible = 0;
  }
}

void SpriteShowAll() {
  for (IdListNode* n = State().sprites.Head(); n; n = n->next) {
    static_cast<SpriteRecord*>(n->value)->visible = 1;
  }
}

void SpriteClone(std::int32_t id, std::int32_t new_id) {
  SpriteRecord* r = FindChecked(id);
  if (!r) return;
  if (new_id < 1 || new_id > kMaxId) {
    RuntimeError(error::kSpriteIdOutOfRange);
    return;
  }
  if (State().sprites.Find(new_id)) {
    RuntimeError(error::kSpriteIdInUse);
    return;
  }
  SpriteRecord* copy = RecordNew();
  if (!copy) return;
  *copy = *r;
  StoreAdd(new_id, copy);
}

void SpriteSetVertexUV(std::int32_t id, std::int32_t vertex, float u, float v) {
  SpriteRecord* r = FindChecked(id);
  if (!r) return;
  if (vertex < 0 || vertex > 3) {
    RuntimeError(error::kSpriteVertexOutOfRange);
    return;
  }
  r->vertices[vertex].u = u;
  r->vertices[vertex].v = v;
}

void SpriteSetDrawMode(std::int32_t id, std::int32_t background_mode, std::int32_t transparent) {
  if (id < 1 || id > kMaxId) {
    RuntimeError(error::kSpriteIdOutOfRange);
    return;
  }
  if (background_mode < 0 || background_mode > 2) {
    RuntimeError(error::kSpriteBackgroundModeInvalid);
    return;
  }
  if (transparent < 0 || transparent > 1) {
    RuntimeError(error::kSpriteTransparentFlagInvalid);
    return;
  }
  SpriteRecord* r = Find(id);
  if (!r) r = Create(id, 0, 0, -1);
  if (!r) return;
  State().background_mode = background_mode;
  State().first_sprite = false;
  r->transparent = static_cast<std::uint8_t>(transparent);
}

void SpriteSetFilter(std::int32_t flag) {
  State().filter = flag != 0;
}

std::int32_t SpriteCollision(std::int32_t id, std::int32_t other) {
  SpriteRecord* r = FindChecked(id);
  if (!r) return 0;
  if (other > 0 && !State().sprites.Find(other)) {
    RuntimeError(error::kSpriteMissing);
    return 0;
  }
  return Collide(id, *r, other);
}

std::int32_t SpriteHit(std::int32_t id, std::int32_t other) {
  SpriteRecord* r = FindChecked(id);
  if (!r) return 0;
  if (other > 0 && !State().sprites.Find(other)) {
    RuntimeError(error::kSpriteMissing);
    return 0;
  }
  const std::int32_t result = Collide(id, *r, other);
  const std::int32_t previous = r->hit;
  r->hit = result;
  return previous == 0 ? result : 0;
}

void SpriteCreateAnimated(std::int32_t id, const char* file, std::int32_t across, std::int32_t down,
                          std::int32_t image) {
  if (id < 1 || id > kMaxId) {
    RuntimeError(error::kSpriteIdOutOfRange);
    return;
  }
  if (State().sprites.Find(id)) {
    RuntimeError(error::kSpriteIdInUse);
    return;
  }
  if (across < 1 || across > kMaxId) {
    RuntimeError(error::kSpriteAcrossOutOfRange);
    return;
  }
  if (down < 1 || down > kMaxId) {
    RuntimeError(error::kSpriteDownOutOfRange);
    return;
  }
  if (image < 0 || image > kMaxId) {
    RuntimeError(error::kSpriteSheetImageOutOfRange);
    return;
  }
  const ImageQueries& q = State().images;
  // Image 0 asks for any free image id.
  if (image == 0) image = FreeImageId();
  if (q.load && image > 0) q.load(file, image, 1);
  if (!q.texture || !q.texture(image)) {
    RuntimeError(error::kSpriteCreateFailed);
    return;
  }
  constexpr std::int32_t kAway = -1000000;
  SpriteRecord* r = Create(id, kAway, kAway, image);
  if (!r) {
    RuntimeError(error::kSpriteCreateFailed);
    return;
  }
  r->sheet = 1;
  r->across = across;
  r->down = down;
  r->frame = 1;
  TakeImage(*r, image);
  TextureCoordinates(*r);
  PlaceAtStored(*r);
}

void SpritePlay(std::int32_t id, std::int32_t first, std::int32_t last, std::int32_t delay) {
  SpriteRecord* r = FindChecked(id);
  if (!r) return;
  if (first < 1 || first > kMaxId || last < 1 || last > kMaxId) {
    RuntimeError(error::kImageIdOutOfRange);
    return;
  }
  if (delay < 0 || delay > kMaxId) {
    RuntimeError(error::kSpriteDelayOutOfRange);
    return;
  }
  const std::uint32_t now = win32::timeGetTime();
  const std::int32_t low = std::min(first, last), high = std::max(first, last);
  if (r->frame < low || r->frame > high) {
    r->frame_time = now;
    ShowFrame(*r, first);
    return;
  }
  if (now - r->frame_time <= static_cast<std::uint32_t>(delay)) return;
  r->frame_time = now;
  std::int32_t next = first <= last ? r->frame + 1 : r->frame - 1;
  if (next < low || next > high) next = first;
  ShowFrame(*r, next);
}

void SpriteSetFrame(std::int32_t id, std::int32_t frame) {
  SpriteRecord* r = FindChecked(id);
  if (!r) return;
  if (frame < 1 || frame > kMaxId || (r->sheet && frame > r->across * r->down)) {
    RuntimeError(error::kImageIdOutOfRange);
    return;
  }
  ShowFrame(*r, frame);
}

float SpriteX(std::int32_t id) {
  return Query(id, 0.0f, [](const SpriteRecord& r) { return r.x; });
}
float SpriteY(std::int32_t id) {
  return Query(id, 0.0f, [](const SpriteRecord& r) { return r.y; });
}
std::int32_t SpriteImage(std::int32_t id) {
  return Query(id, 0, [](const SpriteRecord& r) { return r.image_id; });
}
std::int32_t SpriteWidth(std::int32_t id) {
  return Query(id, 0, [](const SpriteRecord& r) {
    return r.size_x ? r.size_x : static_cast<std::int32_t>(static_cast<float>(r.width) * r.scale_x);
  });
}
std::int32_t SpriteHeight(std::int32_t id) {
  return Query(id, 0, [](const SpriteRecord& r) {
    return r.size_x ? r.size_y
                    : static_cast<std::int32_t>(static_cast<float>(r.height) * r.scale_y);
  });
}
float SpriteScaleX(std::int32_t id) {
  return Query(id, 0.0f, [](const SpriteRecord& r) { return r.scale_x * 100.0f; });
}
float SpriteScaleY(std::int32_t id) {
  return Query(id, 0.0f, [](const SpriteRecord& r) { return r.scale_y * 100.0f; });
}
bool SpriteMirrored(std::int32_t id) {
  return Query(id, false, [](const SpriteRecord& r) { return r.mirror != 0; });
}
bool SpriteFlipped(std::int32_t id) {
  return Query(id, false, [](const SpriteRecord& r) { return r.flip != 0; });
}
std::int32_t SpriteOffsetX(std::int32_t id) {
  return Query(id, 0, [](const SpriteRecord& r) { return r.offset_x; });
}
std::int32_t SpriteOffsetY(std::int32_t id) {
  return Query(id, 0, [](const SpriteRecord& r) { return r.offset_y; });
}
float SpriteAngle(std::int32_t id) {
  return Query(id, 0.0f, [](const SpriteRecord& r) { return r.angle; });
}
std::int32_t SpriteAlpha(std::int32_t id) {
  return Query(id, 0, [](const SpriteRecord& r) { return r.alpha; });
}
std::int32_t SpriteRed(std::int32_t id) {
  return Query(id, 0, [](const SpriteRecord& r) { return r.red; });
}
std::int32_t SpriteGreen(std::int32_t id) {
  return Query(id, 0, [](const SpriteRecord& r) { return r.green; });
}
std::int32_t SpriteBlue(std::int32_t id) {
  return Query(id, 0, [](const SpriteRecord& r) { return r.blue; });
}
std::int32_t SpriteFrame(std::int32_t id) {
  return Query(id, 0, [](const SpriteRecord& r) { return r.frame; });
}
bool SpriteVisible(std::int32_t id) {
  return Query(id, false, [](const SpriteRecord& r) { return r.visible != 0; });
}
bool SpriteExists(std::int32_t id) {
  if (id < 1 || id > kMaxId) {
    RuntimeError(error::kSpriteIdOutOfRange);
    return false;
  }
  return Find(id) != nullptr;
}

}  // namespace tessark
