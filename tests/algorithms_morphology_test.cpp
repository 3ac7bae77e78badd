// Binary morphology against plain references that follow the element-by-element
// definitions (gather, scatter, and the subtraction's candidate-box steps), on random blobs
// with VOIs inside the volume (some wider than one and two 64-voxel words), with cubes,
// balls, lines longer than a word and random elements; then the properties that hold on
// the inner boxes, the edge cases and the failure codes with the output untouched.
#include <functional>
#include <vector>

#include "algorithms/morphology.h"
#include "core/alloc.h"
#include "fixtures.h"

namespace v3d::test {
namespace {

std::vector<unsigned char> samples(const Volume* v) {
  auto bytes = snapshot(v);
  return std::vector<unsigned char>(bytes.begin() + sizeof(Volume), bytes.end());
}

void setVoi(Volume* v, const Box& b) {
  fill_in_VOI(v, b.z0, b.z1, b.y0, b.y1, b.x0, b.x1);
}

// ---- References --------------------------------------------------------------------------

bool set(Volume* v, int z, int y, int x) {
  return at<UC>(v, 0, z, y, x) != 0;
}

Box innerOf(Volume* in, Volume* e) {
  const Box b = voiOf(*in);
  return {b.z0 + e->Z / 2, b.z1 - e->Z / 2, b.y0 + e->Y / 2,
          b.y1 - e->Y / 2, b.x0 + e->X / 2, b.x1 - e->X / 2};
}
bool inside(const Box& b, int z, int y, int x) {
  return z >= b.z0 && z < b.z1 && y >= b.y0 && y < b.y1 && x >= b.x0 && x < b.x1;
}

// Calls f(ez, ey, ex) (offsets from the centre) for every set element voxel, frame, row and
// column order; stops when f returns true.
bool anyElement(Volume* e, const std::function<bool(int, int, int)>& f) {
  for (int z = 0; z < e->Z; ++z)
    for (int y = 0; y < e->Y; ++y)
      for (int x = 0; x < e->X; ++x)
        if (set(e, z, y, x) && f(z - e->Z / 2, y - e->Y / 2, x - e->X / 2)) return true;
  return false;
}

// The gather forms: out(c) on the inner box, the band of the VOI cleared.
void refGather(Volume* in, Volume* e, Volume* out, bool dilation) {
  const Box b = voiOf(*in), inner = innerOf(in, e);
  const bool centre = set(e, e->Z / 2, e->Y / 2, e->X / 2);
  for (int z = b.z0; z < b.z1; ++z)
    for (int y = b.y0; y < b.y1; ++y)
      for (int x = b.x0; x < b.x1; ++x) {
        bool v = false;
        if (inside(inner, z, y, x)) {
          if (dilation)
            v = (centre && set(in, z, y, x)) || anyElement(e, [&](int dz, int dy, int dx) {
                  return set(in, z + dz, y + dy, x + dx);
                });
          else
            v = !(centre && !set(in, z, y, x)) && !anyElement(e, [&](int dz, int dy, int dx) {
              return !set(in, z + dz, y + dy, x + dx);
            });
        }
        at<UC>(out, 0, z, y, x) = v ? 255 : 0;
      }
}

void refAddition(Volume* in, Volume* e, Volume* out) {
  const Box b = voiOf(*in), inner = innerOf(in, e);
  for (int z = b.z0; z < b.z1; ++z)
    for (int y = b.y0; y < b.y1; ++y)
      for (int x = b.x0; x < b.x1; ++x) at<UC>(out, 0, z, y, x) = 0;
  for (int z = inner.z0; z < inner.z1; ++z)
    for (int y = inner.y0; y < inner.y1; ++y)
      for (int x = inner.x0; x < inner.x1; ++x)
        if (set(in, z, y, x))
          anyElement(e, [&](int dz, int dy, int dx) {
            at<UC>(out, 0, z + dz, y + dy, x + dx) = 255;
            return false;
          });
}

// Steps 1 to 4: clear, bounding box, candidate box F set, zeros of F grown clear b + e.
void refSubtraction(Volume* in, Volume* e, Volume* out) {
  const Box b = voiOf(*in), inner = innerOf(in, e);
  const int hz = e->Z / 2, hy = e->Y / 2, hx = e->X / 2;
  Box bb{b.z1, b.z0 - 1, b.y1, b.y0 - 1, b.x1, b.x0 - 1};
  for (int z = b.z0; z < b.z1; ++z)
    for (int y = b.y0; y < b.y1; ++y)
      for (int x = b.x0; x < b.x1; ++x) {
        at<UC>(out, 0, z, y, x) = 0;
        if (set(in, z, y, x))
          bb = {std::min(bb.z0, z),     std::max(bb.z1, z + 1), std::min(bb.y0, y),
                std::max(bb.y1, y + 1), std::min(bb.x0, x),     std::max(bb.x1, x + 1)};
      }
  if (bb.z1 <= bb.z0) return;
  auto grow = [&](const Box& a) {
    return Box{std::max(a.z0 - hz, inner.z0), std::min(a.z1 + hz, inner.z1),
               std::max(a.y0 - hy, inner.y0), std::min(a.y1 + hy, inner.y1),
               std::max(a.x0 - hx, inner.x0), std::min(a.x1 + hx, inner.x1)};
  };
  const Box F = grow(bb), G = grow(F);
  for (int z = F.z0; z < F.z1; ++z)
    for (int y = F.y0; y < F.y1; ++y)
      for (int x = F.x0; x < F.x1; ++x) at<UC>(out, 0, z, y, x) = 255;
  for (int z = G.z0; z < G.z1; ++z)
    for (int y = G.y0; y < G.y1; ++y)
      for (int x = G.x0; x < G.x1; ++x)
        if (!set(in, z, y, x))
          anyElement(e, [&](int dz, int dy, int dx) {
            at<UC>(out, 0, z + dz, y + dy, x + dx) = 0;
            return false;
          });
}

// The element reflected through its centre (the whole element volume).
VolumePtr reflected(Volume* e) {
  auto r = make_volume(e->Z, e->Y, e->X);
  for (int z = 0; z < e->Z; ++z)
    for (int y = 0; y < e->Y; ++y)
      for (int x = 0; x < e->X; ++x)
        at<UC>(*r, 0, e->Z - 1 - z, e->Y - 1 - y, e->X - 1 - x) = at<UC>(e, 0, z, y, x);
  return r;
}

// Opening or closing through an internal volume of the input's size and VOI.
void refTwoSteps(Volume* in, Volume* e, Volume* out, bool opening) {
  auto internal = make_volume(in->Z, in->Y, in->X);
  setVoi(*internal, voiOf(*in));
  refGather(in, e, *internal, !opening);
  refGather(*internal, *reflected(e), out, opening);
}

enum Op { kAdd, kSub, kDilate, kErode, kOpen, kClose };
const char* const kNames[] = {"addition", "subtraction", "dilation",
                              "erosion",  "opening",     "closing"};

int callOp(Op op, Volume* in, Volume* e, Volume* out) {
  switch (op) {
    case kAdd:
      return MinkowskiAddition3d(in, e, out);
    case kSub:
      return MinkowskiSubtraction3d(in, e, out);
    case kDilate:
      return bdilate3d(in, e, out);
    case kErode:
      return berode3d(in, e, out);
    case kOpen:
      return bopening3d(in, e, out);
    default:
      return bclosing3d(in, e, out);
  }
}

void reference(Op op, Volume* in, Volume* e, Volume* out) {
  switch (op) {
    case kAdd:
      return refAddition(in, e, out);
    case kSub:
      return refSubtraction(in, e, out);
    case kDilate:
      return refGather(in, e, out, true);
    case kErode:
      return refGather(in, e, out, false);
    case kOpen:
      return refTwoSteps(in, e, out, true);
    default:
      return refTwoSteps(in, e, out, false);
  }
}

// ---- Random cases ------------------------------------------------------------------------

// Elements: a cube, a ball, a line along X longer than a word, random contents (with and
// without the centre), a single voxel, an empty element.
VolumePtr randomElement(std::mt19937& rng, const Box& voi) {
  auto odd = [&](int extent, int cap) {
    const int m = std::min(extent, cap);
    return 1 + 2 * static_cast<int>(rng() % static_cast<unsigned>((m + 1) / 2));
  };
  const int kind = rng() % 6;
  if (kind == 1 && voi.depth() >= 5 && voi.height() >= 5 && voi.width() >= 5)
    return make_ball(1 + rng() % 2);
  const int sz = odd(voi.depth(), 5), sy = odd(voi.height(), 5),
            sx = kind == 2 ? odd(voi.width(), 141) : odd(voi.width(), 5);
  auto e = make_volume(sz, sy, sx);
  for (int z = 0; z < sz; ++z)
    for (int y = 0; y < sy; ++y)
      for (int x = 0; x < sx; ++x) {
        bool on = true;
        if (kind == 3) on = rng() % 2;
        if (kind == 4) on = rng() % 3 == 0;
        if (kind == 5) on = false;
        at<UC>(*e, 0, z, y, x) = on ? 255 : 0;
      }
  return e;
}

struct Case {
  VolumePtr in, element;
};

Case randomCase(std::mt19937& rng) {
  const int Z = 1 + rng() % 7, Y = 1 + rng() % 9;
  const int widths[] = {1 + int(rng() % 12), 60 + int(rng() % 10), 120 + int(rng() % 80)};
  const int X = widths[rng() % 3];
  Case c;
  c.in = make_blobs(rng(), Z, Y, X, 3 + X / 10, 3);
  Box voi{};
  auto axis = [&](int n, int& lo, int& hi) {
    lo = rng() % 3 == 0 ? 0 : static_cast<int>(rng() % static_cast<unsigned>(n));
    hi = lo + 1 + static_cast<int>(rng() % static_cast<unsigned>(n - lo));
    if (rng() % 3 == 0) hi = n;
  };
  axis(Z, voi.z0, voi.z1);
  axis(Y, voi.y0, voi.y1);
  axis(X, voi.x0, voi.x1);
  setVoi(*c.in, voi);
  c.element = randomElement(rng, voi);
  return c;
}

TEST(Morphology, EveryOperationMatchesItsReference) {
  std::mt19937 rng(31);
  for (int round = 0; round < 240; ++round) {
    Case c = randomCase(rng);
    const Op op = static_cast<Op>(round % 6);
    // The output is larger than the input and holds non-binary samples, which must survive
    // outside the VOI.
    const int more = rng() % 2;
    auto out = make_volume(c.in->Z + more, c.in->Y, c.in->X + more);
    auto expected = make_volume(c.in->Z + more, c.in->Y, c.in->X + more);
    const unsigned seed = rng();
    fillRandom(*out, seed);
    fillRandom(*expected, seed);
    ASSERT_EQ(callOp(op, *c.in, *c.element, *out), 0) << kNames[op];
    reference(op, *c.in, *c.element, *expected);
    ASSERT_EQ(samples(*out), samples(*expected))
        << kNames[op] << " round " << round << ", VOI width " << c.in->voiX1 - c.in->voiX0
        << ", element " << c.element->Z << "x" << c.element->Y << "x" << c.element->X;
  }
}

// ---- Properties --------------------------------------------------------------------------

Box shrink(const Box& b, Volume* e, int times) {
  const int hz = e->Z / 2 * times, hy = e->Y / 2 * times, hx = e->X / 2 * times;
  return {b.z0 + hz, b.z1 - hz, b.y0 + hy, b.y1 - hy, b.x0 + hx, b.x1 - hx};
}

// Calls f(z, y, x) over a box.
void forBox(const Box& b, const std::function<void(int, int, int)>& f) {
  for (int z = b.z0; z < b.z1; ++z)
    for (int y = b.y0; y < b.y1; ++y)
      for (int x = b.x0; x < b.x1; ++x) f(z, y, x);
}

TEST(Morphology, PropertiesHoldOnTheInnerBoxes) {
  std::mt19937 rng(32);
  for (int round = 0; round < 60; ++round) {
    auto in = make_blobs(rng(), 8 + rng() % 5, 10 + rng() % 6, 20 + rng() % 90, 10, 3);
    setVoi(*in, {1, in->Z, 0, in->Y - 1, 2, in->X});
    auto e =
        round % 3 == 0 ? make_ball(1) : make_volume(1 + 2 * (rng() % 2), 3, 1 + 2 * (rng() % 3));
    if (round % 3 != 0)
      forBox({0, e->Z, 0, e->Y, 0, e->X},
             [&](int z, int y, int x) { at<UC>(*e, 0, z, y, x) = rng() % 2 ? 255 : 0; });
    at<UC>(*e, 0, e->Z / 2, e->Y / 2, e->X / 2) = 255;  // the element holds its centre
    const Box voi = voiOf(**in);
    auto make = [&] {
      auto v = make_volume(in->Z, in->Y, in->X);
      setVoi(*v, voi);
      return v;
    };
    auto dil = make(), ero = make(), open = make(), open2 = make(), close = make();
    ASSERT_EQ(bdilate3d(*in, *e, *dil), 0);
    ASSERT_EQ(berode3d(*in, *e, *ero), 0);
    ASSERT_EQ(bopening3d(*in, *e, *open), 0);
    ASSERT_EQ(bopening3d(*open, *e, *open2), 0);
    ASSERT_EQ(bclosing3d(*in, *e, *close), 0);
    auto complement = make(), dilComplement = make();
    forBox(voi, [&](int z, int y, int x) {
      at<UC>(*complement, 0, z, y, x) = 255 - at<UC>(*in, 0, z, y, x);
    });
    ASSERT_EQ(bdilate3d(*complement, *e, *dilComplement), 0);

    const Box inner = shrink(voi, e.get(), 1);
    forBox(voi, [&](int z, int y, int x) {
      const int v = at<UC>(*in, 0, z, y, x);
      if (inside(inner, z, y, x)) {
        // erosion <= input <= dilation, opening <= input; duality of the two.
        ASSERT_LE(at<UC>(*ero, 0, z, y, x), v);
        ASSERT_GE(at<UC>(*dil, 0, z, y, x), v);
        ASSERT_LE(at<UC>(*open, 0, z, y, x), v);
        ASSERT_EQ(at<UC>(*ero, 0, z, y, x), 255 - at<UC>(*dilComplement, 0, z, y, x));
      } else {
        ASSERT_EQ(at<UC>(*dil, 0, z, y, x), 0);
        ASSERT_EQ(at<UC>(*ero, 0, z, y, x), 0);
      }
    });
    // The closing holds the input once the band's zeros are a half element away; the
    // opening is idempotent once they are a whole element away (nearer, the band the first
    // opening cleared erodes the second one's candidates).
    forBox(shrink(voi, e.get(), 2), [&](int z, int y, int x) {
      ASSERT_GE(at<UC>(*close, 0, z, y, x), at<UC>(*in, 0, z, y, x));
    });
    forBox(shrink(voi, e.get(), 3), [&](int z, int y, int x) {
      ASSERT_EQ(at<UC>(*open2, 0, z, y, x), at<UC>(*open, 0, z, y, x));
    });
  }
}

// ---- Edge cases ----------------------------------------------------------------------------

TEST(Morphology, EdgeCases) {
  auto in = make_blobs(7, 6, 8, 70);
  setVoi(*in, {1, 5, 1, 7, 3, 69});
  // A set single-voxel element makes dilation and erosion copy the VOI.
  auto one = make_volume(1, 1, 1);
  at<UC>(*one, 0, 0, 0, 0) = 255;
  for (Op op : {kDilate, kErode, kOpen, kClose}) {
    auto out = make_volume(6, 8, 70);
    ASSERT_EQ(callOp(op, *in, *one, *out), 0);
    forBox(voiOf(**in), [&](int z, int y, int x) {
      ASSERT_EQ(at<UC>(*out, 0, z, y, x), at<UC>(*in, 0, z, y, x)) << kNames[op];
    });
  }
  // Dilation clears the band even where the input is set.
  auto full = make_volume(5, 5, 5);
  forBox({0, 5, 0, 5, 0, 5}, [&](int z, int y, int x) { at<UC>(*full, 0, z, y, x) = 255; });
  auto cube = make_volume(3, 3, 3);
  forBox({0, 3, 0, 3, 0, 3}, [&](int z, int y, int x) { at<UC>(*cube, 0, z, y, x) = 255; });
  auto out = make_volume(5, 5, 5);
  ASSERT_EQ(bdilate3d(*full, *cube, *out), 0);
  EXPECT_EQ(at<UC>(*out, 0, 0, 2, 2), 0);
  EXPECT_EQ(at<UC>(*out, 0, 2, 2, 4), 0);
  EXPECT_EQ(at<UC>(*out, 0, 2, 2, 2), 255);

  // Opening removes a component smaller than the element; closing fills a smaller hole.
  auto scene = make_volume(9, 9, 12);
  forBox({1, 8, 1, 8, 1, 8}, [&](int z, int y, int x) { at<UC>(*scene, 0, z, y, x) = 255; });
  at<UC>(*scene, 0, 4, 4, 10) = 255;  // a lone voxel
  at<UC>(*scene, 0, 4, 4, 4) = 0;     // a hole in the block
  auto opened = make_volume(9, 9, 12), closed = make_volume(9, 9, 12);
  ASSERT_EQ(bopening3d(*scene, *cube, *opened), 0);
  ASSERT_EQ(bclosing3d(*scene, *cube, *closed), 0);
  EXPECT_EQ(at<UC>(*opened, 0, 4, 4, 10), 0);
  EXPECT_EQ(at<UC>(*opened, 0, 1, 1, 1), 255);
  EXPECT_EQ(at<UC>(*closed, 0, 4, 4, 4), 255);

  // Subtraction of an all-zero VOI is all zero, also with an empty element.
  auto zero = make_volume(5, 6, 7), result = make_volume(5, 6, 7), empty = make_volume(3, 1, 3);
  fillRandom(*result, 3);
  for (Volume* e : {cube.get(), empty.get()}) {
    ASSERT_EQ(MinkowskiSubtraction3d(*zero, e, *result), 0);
    EXPECT_EQ(samples(*result), samples(*zero));
  }
}

// ---- Failures ----------------------------------------------------------------------------

TEST(Morphology, ChecksRunInOrderAndWriteNothing) {
  auto in = make_blobs(8, 5, 6, 7);
  auto grey = make_volume(5, 6, 7);
  fillRandom(*grey, 8);
  auto cube = make_volume(3, 3, 3);
  forBox({0, 3, 0, 3, 0, 3}, [&](int z, int y, int x) { at<UC>(*cube, 0, z, y, x) = 255; });
  auto even = make_volume(3, 2, 3);
  auto tall = make_volume(7, 1, 1);
  auto seven = make_volume(1, 1, 3);
  at<UC>(*seven, 0, 0, 0, 1) = 7;
  auto colour = make_volume(5, 6, 7, V3D_UC, V3D_THREE_CHANNELS);
  auto floats = make_volume(3, 3, 3, V3D_F);
  auto out = make_volume(5, 6, 7), small = make_volume(5, 6, 6);
  fillRandom(*out, 9);
  fillRandom(*small, 10);
  struct Bad {
    const char* what;
    Volume *in, *element, *out;
    int code;
  };
  const std::vector<Bad> table = {
      {"no input", nullptr, *cube, *out, kNullVolume},
      {"colour input", *colour, *cube, *out, kWrongColorType},
      {"float element", *in, *floats, *out, kWrongDataType},
      {"no output", *in, *cube, nullptr, kNullVolume},
      {"small output before even element", *in, *even, *small, kInvalidOutputDimensions},
      {"even element before grey input", *grey, *even, *out, kInvalidInputDimensions},
      {"element taller than the VOI", *in, *tall, *out, kInvalidInputDimensions},
      {"grey input", *grey, *cube, *out, kNotBinary},
      {"element holding 7", *in, *seven, *out, kNotBinary},
  };
  for (const Bad& b : table)
    for (int op = kAdd; op <= kClose; ++op) {
      const auto before = b.out ? snapshot(b.out) : std::vector<unsigned char>();
      EXPECT_EQ(callOp(static_cast<Op>(op), b.in, b.element, b.out), b.code)
          << b.what << ", " << kNames[op];
      if (b.out) {
        EXPECT_EQ(snapshot(b.out), before) << b.what << ", " << kNames[op];
      }
    }
}

// Scratch that cannot be had is -9 (-530 for the intermediate of opening and closing), and
// nothing is written; the element may be the output, and so may the input.
TEST(Morphology, AllocationFailuresAndSharedVolumes) {
  auto in = make_blobs(11, 6, 7, 80);
  auto ball = make_ball(1);
  for (int op = kAdd; op <= kClose; ++op) {
    auto out = make_volume(6, 7, 80);
    fillRandom(*out, 12);
    const auto before = snapshot(*out);
    int code = kCannotAllocateBuffer;
    bool sawInternal = false;
    for (long allowed = 0; code != 0 && allowed < 20; ++allowed) {
      failAllocationsAfter(allowed);
      code = callOp(static_cast<Op>(op), *in, *ball, *out);
      failAllocationsAfter(-1);
      if (code != 0) {
        ASSERT_TRUE(code == kCannotAllocateBuffer || code == kCannotAllocateVolume) << code;
        ASSERT_EQ(snapshot(*out), before) << kNames[op];
        sawInternal = sawInternal || code == kCannotAllocateVolume;
      }
    }
    EXPECT_EQ(code, 0) << kNames[op];
    EXPECT_EQ(sawInternal, op == kOpen || op == kClose) << kNames[op];

    auto separate = make_volume(6, 7, 80);
    auto shared = make_blobs(11, 6, 7, 80);
    ASSERT_EQ(callOp(static_cast<Op>(op), *in, *ball, *separate), 0);
    ASSERT_EQ(callOp(static_cast<Op>(op), *shared, *ball, *shared), 0);
    EXPECT_EQ(samples(*shared), samples(*separate)) << kNames[op] << " in place";
    auto element = make_ball(1);
    auto small = make_blobs(11, 3, 3, 3);
    auto expected = make_volume(3, 3, 3);
    ASSERT_EQ(callOp(static_cast<Op>(op), *small, *element, *expected), 0);
    ASSERT_EQ(callOp(static_cast<Op>(op), *small, *element, *element), 0);
    EXPECT_EQ(samples(*element), samples(*expected)) << kNames[op] << " into its element";
  }
}

}  // namespace
}  // namespace v3d::test
