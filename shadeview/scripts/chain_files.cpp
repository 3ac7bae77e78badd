// Chain and stitch records: fixed headers of little-endian 32-bit integers followed by a
// variable tail (the steps as signed byte pairs, the advance flags as bytes). Readers trust
// nothing: a count is checked against the bytes left in the file before anything is
// allocated for it.
#include "shadeview/scripts/chain_files.h"

#include <array>
#include <new>

namespace v3d::shade {
namespace {

constexpr int kChainHeaderWords = 10;  // n, cx, cy, radius, sx, sy, object, r, g, b
constexpr int kStitchHeaderWords = 9;  // lower, upper, j, i, object, r, g, b, flag count

template <size_t N>
bool writeWords(std::FILE* f, const std::array<int32_t, N>& words) {
  std::array<unsigned char, N * 4> bytes;
  for (size_t k = 0; k < N; ++k) {
    const auto u = static_cast<uint32_t>(words[k]);
    for (int b = 0; b < 4; ++b) bytes[k * 4 + b] = static_cast<unsigned char>(u >> (8 * b));
  }
  return std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
}

template <size_t N>
bool readWords(std::FILE* f, std::array<int32_t, N>& words) {
  std::array<unsigned char, N * 4> bytes;
  if (std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) return false;
  for (size_t k = 0; k < N; ++k) {
    uint32_t u = 0;
    for (int b = 0; b < 4; ++b) u |= static_cast<uint32_t>(bytes[k * 4 + b]) << (8 * b);
    words[k] = static_cast<int32_t>(u);
  }
  return true;
}

// The bytes between the current position and the end of the file, or -1.
long bytesLeft(std::FILE* f) {
  const long here = std::ftell(f);
  if (here < 0 || std::fseek(f, 0, SEEK_END) != 0) return -1;
  const long end = std::ftell(f);
  if (std::fseek(f, here, SEEK_SET) != 0) return -1;
  return end - here;
}

// Reads `count` bytes of tail into `out`.
template <class T>
int readTail(std::FILE* f, int64_t count, std::vector<T>& out) {
  const long left = bytesLeft(f);
  if (count < 0 || left < 0 || count > left) return kFreadError;
  try {
    out.resize(static_cast<size_t>(count));
  } catch (const std::bad_alloc&) {
    return kNotEnoughMemory;
  }
  if (count > 0 && std::fread(out.data(), 1, out.size(), f) != out.size()) return kFreadError;
  return 1;
}

}  // namespace

bool writeChain(std::FILE* f, const Chain& c) {
  const std::array<int32_t, kChainHeaderWords> h = {c.n(),      c.centreX, c.centreY, c.radius,
                                                    c.startX,   c.startY,  c.object,  c.colour.r,
                                                    c.colour.g, c.colour.b};
  return writeWords(f, h) && std::fwrite(c.steps.data(), 1, c.steps.size(), f) == c.steps.size();
}

bool writeChainEnd(std::FILE* f) {
  return writeWords(f, std::array<int32_t, kChainHeaderWords>{});
}

int readChain(std::FILE* f, Chain& c) {
  std::array<int32_t, kChainHeaderWords> h;
  if (!readWords(f, h)) return kFreadError;
  if (h[0] == 0) return 0;
  c.centreX = h[1];
  c.centreY = h[2];
  c.radius = h[3];
  c.startX = h[4];
  c.startY = h[5];
  c.object = h[6];
  c.colour = {h[7], h[8], h[9]};
  return readTail(f, int64_t{h[0]} * 2, c.steps);
}

int readChains(std::FILE* f, std::vector<Chain>& out) {
  out.clear();
  for (;;) {
    Chain c;
    const int r = readChain(f, c);
    if (r <= 0) return r;
    try {
      out.push_back(std::move(c));
    } catch (const std::bad_alloc&) {
      return kNotEnoughMemory;
    }
  }
}

bool writeStitch(std::FILE* f, const Stitch& s) {
  const std::array<int32_t, kStitchHeaderWords> h = {
      s.lower,      s.upper,    s.startLower,
      s.startUpper, s.object,   s.colour.r,
      s.colour.g,   s.colour.b, static_cast<int32_t>(s.flags.size())};
  return writeWords(f, h) && std::fwrite(s.flags.data(), 1, s.flags.size(), f) == s.flags.size();
}

bool writeStitchEnd(std::FILE* f) {
  return writeWords(f, std::array<int32_t, kStitchHeaderWords>{-1, -1});
}

int readStitch(std::FILE* f, Stitch& s) {
  std::array<int32_t, kStitchHeaderWords> h;
  if (!readWords(f, h)) return kFreadError;
  if (h[0] == -1 && h[1] == -1) return 0;
  s.lower = h[0];
  s.upper = h[1];
  s.startLower = h[2];
  s.startUpper = h[3];
  s.object = h[4];
  s.colour = {h[5], h[6], h[7]};
  return readTail(f, h[8], s.flags);
}

std::vector<Point> vertices(const Chain& c) {
  std::vector<Point> v(static_cast<size_t>(c.n()));
  Point p{c.startX, c.startY};
  for (int k = 0; k < c.n(); ++k) {
    v[k] = p;
    p.x += c.steps[2 * k];
    p.y += c.steps[2 * k + 1];
  }
  return v;
}

}  // namespace v3d::shade
