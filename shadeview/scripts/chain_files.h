// The binary temporary files of the scripts: chain files (one per frame: a record per
// contour, little-endian, ended by a record with n = 0) and stitch files (one per frame pair:
// a record per stitched contour pair, ended by a record with contour indexes -1).
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "shadeview/scripts/scripts.h"

namespace v3d::shade {

// One contour: its header and its n steps (dx, dy), n >= 1.
struct Chain {
  int32_t centreX = 0, centreY = 0;
  int32_t radius = 0;
  int32_t startX = 0, startY = 0;
  int32_t object = 0;
  Rgb colour;
  std::vector<int8_t> steps;  // dx0, dy0, dx1, dy1, ...
  int n() const { return static_cast<int>(steps.size() / 2); }
};

// Writes one contour record; false on a write failure.
bool writeChain(std::FILE* f, const Chain& c);
// Writes the terminating record.
bool writeChainEnd(std::FILE* f);
// Reads the next record into `c`: 1 read, 0 the terminating record, or kFreadError (short or
// malformed file) / kNotEnoughMemory.
int readChain(std::FILE* f, Chain& c);
// Reads a whole chain file: 0 or the code of readChain.
int readChains(std::FILE* f, std::vector<Chain>& out);

// One stitched pair of contours.
struct Stitch {
  int32_t lower = -1, upper = -1;  // contour indexes in the chain files of z and z + 1
  int32_t startLower = 0, startUpper = 0;
  int32_t object = 0;
  Rgb colour;
  std::vector<uint8_t> flags;  // 0 advances the lower contour, 1 the upper one
};

bool writeStitch(std::FILE* f, const Stitch& s);
bool writeStitchEnd(std::FILE* f);
// 1 read, 0 the end record, or kFreadError / kNotEnoughMemory.
int readStitch(std::FILE* f, Stitch& s);

// The n vertices of a contour: the start vertex, then each step added in turn (the last
// step, which closes the contour, is not applied: the ring wraps back to the start).
struct Point {
  int x = 0, y = 0;
};
std::vector<Point> vertices(const Chain& c);

// A FILE* that closes itself.
struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f) std::fclose(f);
  }
};

}  // namespace v3d::shade

namespace v3d::shade {

// Text records shared by the line and surface scripts. Each returns false on a write error.
bool writeLayerDeclarations(std::FILE* f, int layers);
bool writeSetLayer(std::FILE* f, int layer);

}  // namespace v3d::shade
