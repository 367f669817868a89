// The pot's physics world on Chipmunk: the walls and bevelled corners of the pot as static
// segments, a body and shape per token slot, two sub-steps a frame, and the direct changes the
// game makes to bodies (place, park, shake). Lengths are screen pixels, y grows downward.
#include "game/game.h"

namespace kettlebrim {

namespace {

constexpr cpFloat kGravity = 400.0;
constexpr cpFloat kWallElasticity = 1.0;
constexpr cpFloat kWallFriction = 1.0;
constexpr cpFloat kTokenElasticity = 0.05;
constexpr cpFloat kTokenFriction = 0.25;
constexpr cpFloat kCircleMass = 0.3;
constexpr cpFloat kSquareMass = 1.0;
constexpr cpFloat kTokenRadius = 16.0;
constexpr int kStepsPerFrame = 2;
constexpr cpFloat kParkX = 1000.0;
constexpr cpFloat kShakeKick = 200.0;
constexpr int kSlopeFallingRight = 4;
constexpr int kSlopeRisingRight = 5;

const cpVect kSquareVertices[4] = {{-16, -16}, {-16, 16}, {16, 16}, {16, -16}};

struct Segment {
  cpVect from, to;
};

// Left wall, right wall, floor, and the right edge of the screen.
constexpr Segment kFixedSegments[] = {
    {{192, 164}, {192, 352}},
    {{450, 164}, {450, 352}},
    {{225, 382}, {420, 382}},
    {{640, 0}, {640, 480}},
};

// Layout 0: a slope in each lower corner of the pot.
void LayoutFill(std::int16_t* grid, int layout) {
  for (int i = 0; i < kGridSize * kGridSize; ++i) grid[i] = 0;
  if (layout != 0) return;
  grid[11 * kGridSize + 6] = kSlopeFallingRight;
  grid[11 * kGridSize + 13] = kSlopeRisingRight;
}

void AddSegment(PotWorld& pot, cpVect from, cpVect to) {
  if (pot.segment_count >= kMaxStaticSegments) return;
  cpShape* shape = cpSegmentShapeNew(pot.static_body, from, to, 0.0);
  cpShapeSetElasticity(shape, kWallElasticity);
  cpShapeSetFriction(shape, kWallFriction);
  cpSpaceAddShape(pot.space, shape);
  pot.segments[pot.segment_count++] = shape;
}

}  // namespace

// Frees every body and shape of the current world, then the world itself.
void PotWorldRelease(PotWorld& pot) {
  if (!pot.space) return;
  for (int i = 0; i < pot.body_count; ++i) {
    cpSpaceRemoveShape(pot.space, pot.shapes[i]);
    cpSpaceRemoveBody(pot.space, pot.bodies[i]);
    cpShapeFree(pot.shapes[i]);
    cpBodyFree(pot.bodies[i]);
    pot.shapes[i] = nullptr;
    pot.bodies[i] = nullptr;
  }
  for (int i = 0; i < pot.segment_count; ++i) {
    cpSpaceRemoveShape(pot.space, pot.segments[i]);
    cpShapeFree(pot.segments[i]);
    pot.segments[i] = nullptr;
  }
  cpSpaceFree(pot.space);
  cpBodyFree(pot.static_body);
  pot.space = nullptr;
  pot.static_body = nullptr;
  pot.body_count = 0;
  pot.segment_count = 0;
}

// A new world: the static body (never added to the space), gravity, the fixed segments and the
// slopes of the layout grid, column by column.
void PotWorldBuild(PotWorld& pot, int layout) {
  PotWorldRelease(pot);
  LayoutFill(pot.grid, layout);
  pot.static_body = cpBodyNewStatic();
  pot.space = cpSpaceNew();
  cpSpaceSetGravity(pot.space, cpv(0, kGravity));

  for (const Segment& s : kFixedSegments) AddSegment(pot, s.from, s.to);
  for (int i = 0; i < kGridSize; ++i) {
    for (int j = 0; j < kGridSize; ++j) {
      int code = pot.grid[j * kGridSize + i];
      cpFloat left = 32.0 * i, top = 32.0 * j;
      if (code == kSlopeFallingRight) {
        AddSegment(pot, cpv(left, top), cpv(left + 32, top + 32));
      } else if (code == kSlopeRisingRight) {
        AddSegment(pot, cpv(left + 32, top), cpv(left, top + 32));
      }
    }
  }
}

// Two steps of 1/120 second: the frame's sixtieth of a second in two halves.
void PotWorldStep(PotWorld& pot) {
  if (!pot.space) return;
  const float dt = static_cast<float>(1.0 / 60.0 / kStepsPerFrame);
  for (int i = 0; i < kStepsPerFrame; ++i) cpSpaceStep(pot.space, dt);
}

// A body and shape for a token slot: a circle of radius 16 or a 32 by 32 square.
void PotWorldCreateBody(PotWorld& pot, int shape_class, int x, int y, cpBody** body,
                        cpShape** shape) {
  *body = nullptr;
  *shape = nullptr;
  if (!pot.space || pot.body_count >= kTokenSlots) return;
  cpBody* b;
  cpShape* s;
  if (shape_class == kCircle) {
    cpFloat moment = cpMomentForCircle(kCircleMass, 0, kTokenRadius, cpvzero);
    b = cpBodyNew(kCircleMass, moment);
  } else {
    cpFloat moment = cpMomentForPoly(kSquareMass, 4, kSquareVertices, cpvzero, 0.0);
    b = cpBodyNew(kSquareMass, moment);
  }
  cpBodySetPosition(b, cpv(x, y));
  cpSpaceAddBody(pot.space, b);
  if (shape_class == kCircle) {
    s = cpCircleShapeNew(b, kTokenRadius, cpvzero);
  } else {
    // The hull is taken afresh, so the vertices' winding does not matter to the library.
    s = cpPolyShapeNew(b, 4, kSquareVertices, cpTransformIdentity, 0.0);
  }
  cpShapeSetElasticity(s, kTokenElasticity);
  cpShapeSetFriction(s, kTokenFriction);
  cpSpaceAddShape(pot.space, s);
  pot.bodies[pot.body_count] = b;
  pot.shapes[pot.body_count] = s;
  ++pot.body_count;
  *body = b;
  *shape = s;
}

// Position and zero velocity; angle and spin stay as they were.
void PotWorldPlace(cpBody* body, int x, int y) {
  if (!body) return;
  cpBodySetPosition(body, cpv(static_cast<float>(x), static_cast<float>(y)));
  cpBodySetVelocity(body, cpvzero);
}

// Moves the body off to the right of the screen; it keeps falling there.
void PotWorldPark(cpBody* body) {
  if (!body) return;
  cpVect p = cpBodyGetPosition(body);
  cpBodySetPosition(body, cpv(kParkX, p.y));
}

// An upward kick for every active token.
void PotWorldShake(TokenPool& pool) {
  for (Token& token : pool.slots) {
    if (!token.active || !token.body) continue;
    cpVect v = cpBodyGetVelocity(token.body);
    cpBodySetVelocity(token.body, cpv(v.x, v.y - kShakeKick));
  }
}

}  // namespace kettlebrim
