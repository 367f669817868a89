// 3D sound: a sound's position (sent to its 3D buffer only when it moved far enough), the
// listener's position and angles, and the distance scale of every 3D sound. Every change is
// deferred; the per-frame update commits them every second frame.
#include <cmath>

#include "runtime/core/errors.h"
#include "runtime/sound/sound_state.h"
#include "tessark/sound.h"

namespace tessark {

using namespace tessark::sound;

namespace {

constexpr float kUnit = 0.01f;           // caller's units to the device's
constexpr float kMoveThreshold = 0.09f;  // smaller moves are kept but not sent
constexpr float kRadiansPerDegree = 0.017453292f;

// A 3x3 rotation in the row-vector convention (v' = v * M).
struct Matrix3 {
  float m[3][3];
};

Matrix3 Multiply(const Matrix3& a, const Matrix3& b) {
  Matrix3 r{};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      for (int k = 0; k < 3; ++k) r.m[i][j] += a.m[i][k] * b.m[k][j];
    }
  }
  return r;
}

Matrix3 RotationX(float a) {
  float c = std::cos(a), s = std::sin(a);
  return {{{1, 0, 0}, {0, c, s}, {0, -s, c}}};
}
Matrix3 RotationY(float a) {
  float c = std::cos(a), s = std::sin(a);
  return {{{c, 0, -s}, {0, 1, 0}, {s, 0, c}}};
}
Matrix3 RotationZ(float a) {
  float c = std::cos(a), s = std::sin(a);
  return {{{c, s, 0}, {-s, c, 0}, {0, 0, 1}}};
}

D3DVECTOR Transform(const D3DVECTOR& v, const Matrix3& m) {
  return {v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0],
          v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1],
          v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2]};
}

float PositionOf(std::int32_t id, int axis) {
  if (!State().ready) return 0;
  SoundRecord* e = FindChecked(id);
  return e ? e->position[axis] * 100.0f : 0.0f;
}

float StoredPositionOf(std::int32_t id, int axis, const char* notice) {
  if (!State().ready) return 0;
  SoundRecord* e = Find(id);
  if (!e) {
    tessark::RuntimeNotice(notice);
    return 0;
  }
  State().current = e;
  return e->position[axis];
}

}  // namespace

void SoundSetPosition(std::int32_t id, float x, float y, float z) {
  if (!State().ready) return;
  SoundRecord* e = FindChecked(id);
  if (!e || !e->buffer_3d) return;
  e->position[0] = x * kUnit;
  e->position[1] = y * kUnit;
  e->position[2] = z * kUnit;
  float dx = e->position[0] - e->applied[0];
  float dy = e->position[1] - e->applied[1];
  float dz = e->position[2] - e->applied[2];
  if (std::sqrt(dx * dx + dy * dy + dz * dz) > kMoveThreshold) {
    e->buffer_3d->SetPosition(e->position[0], e->position[1], e->position[2], DS3D_DEFERRED);
    for (int i = 0; i < 3; ++i) e->applied[i] = e->position[i];
  }
}

float SoundPositionX(std::int32_t id) {
  return PositionOf(id, 0);
}
float SoundPositionY(std::int32_t id) {
  return PositionOf(id, 1);
}
float SoundPositionZ(std::int32_t id) {
  return PositionOf(id, 2);
}
float GetSoundPositionX(std::int32_t id) {
  return StoredPositionOf(id, 0, "GetSoundPositionX - sound does not exist");
}
float GetSoundPositionY(std::int32_t id) {
  return StoredPositionOf(id, 1, "GetSoundPositionY - sound does not exist");
}
float GetSoundPositionZ(std::int32_t id) {
  return StoredPositionOf(id, 2, "GetSoundPositionZ - sound does not exist");
}

void ListenerSetPosition(float x, float y, float z) {
  SoundState& s = State();
  if (!s.ready || !s.listener) return;
  s.listener_position[0] = x * kUnit;
  s.listener_position[1] = y * kUnit;
  s.listener_position[2] = z * kUnit;
  s.listener->SetPosition(s.listener_position[0], s.listener_position[1], s.listener_position[2],
                          DS3D_DEFERRED);
}

void ListenerSetAngle(float x, float y, float z) {
  SoundState& s = State();
  if (!s.ready || !s.listener) return;
  s.listener_angle[0] = x;
  s.listener_angle[1] = y;
  s.listener_angle[2] = z;
  Matrix3 r = Multiply(Multiply(RotationZ(z * kRadiansPerDegree), RotationY(y * kRadiansPerDegree)),
                       RotationX(x * kRadiansPerDegree));
  D3DVECTOR front = Transform({0, 0, 1}, r);
  D3DVECTOR top = Transform({0, 1, 0}, r);
  s.listener->SetOrientation(front.x, front.y, front.z, top.x, top.y, top.z, DS3D_DEFERRED);
}

float ListenerPositionX() {
  return State().ready && State().listener ? State().listener_position[0] * 100.0f : 0.0f;
}
float ListenerPositionY() {
  return State().ready && State().listener ? State().listener_position[1] * 100.0f : 0.0f;
}
float ListenerPositionZ() {
  return State().ready && State().listener ? State().listener_position[2] * 100.0f : 0.0f;
}
float ListenerAngleX() {
  return State().ready && State().listener ? State().listener_angle[0] : 0.0f;
}
float ListenerAngleY() {
  return State().ready && State().listener ? State().listener_angle[1] : 0.0f;
}
float ListenerAngleZ() {
  return State().ready && State().listener ? State().listener_angle[2] : 0.0f;
}

void SoundSetScale(float scale) {
  SoundState& s = State();
  if (!s.ready) return;
  for (tessark::IdListNode* node = s.sounds.Head(); node; node = node->next) {
    auto* e = static_cast<SoundRecord*>(node->value);
    if (!e->buffer_3d) continue;
    e->buffer_3d->SetMinDistance(scale, DS3D_DEFERRED);
    e->buffer_3d->SetMaxDistance(scale * 3000.0f, DS3D_DEFERRED);
  }
}

}  // namespace tessark
