// Surfaces between the contours of neighbouring frames: which contours belong together
// (equal objects, then the user's connections), the order in which the two rings are walked
// (the stitch files), and the triangles of the surface script.
//
// A stitch walks the lower ring A (nA vertices) and the upper ring B (nB) once each, from
// the pair of vertices that point the same way from their centroids (in coordinates
// normalised to each ring's bounding box, so rings of different sizes still line up). Each
// move advances one ring and makes one triangle; the move that gives the shorter new edge
// wins unless the rings have drifted apart in how much of them is left.
#include <cmath>
#include <filesystem>
#include <limits>
#include <memory>
#include <new>

#include "shadeview/scripts/chain_files.h"

namespace v3d::shade {
namespace {

using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// num / den >= ratio for non-negative distances, with x / 0 infinite for x > 0 and 0 / 0
// failing every comparison, as the quotient would.
bool ratioAtLeast(double num, double den, double ratio) {
  if (den > 0) return num / den >= ratio;
  return num > 0;
}

double distance(Point a, Point b) {
  const double dx = a.x - b.x, dy = a.y - b.y;
  return std::sqrt(dx * dx + dy * dy);
}

struct Normalised {
  std::vector<double> u, v;
  double cu = 0, cv = 0;
};

// Vertices and centroid scaled to the ring's bounding box; a box of zero width or height
// scales that axis by 1 instead of dividing by zero.
Normalised normalise(const std::vector<Point>& p, const Chain& c) {
  int minX = p[0].x, maxX = p[0].x, minY = p[0].y, maxY = p[0].y;
  for (const Point& q : p) {
    minX = std::min(minX, q.x);
    maxX = std::max(maxX, q.x);
    minY = std::min(minY, q.y);
    maxY = std::max(maxY, q.y);
  }
  const double w = maxX > minX ? maxX - minX : 1.0, h = maxY > minY ? maxY - minY : 1.0;
  Normalised n;
  n.u.reserve(p.size());
  n.v.reserve(p.size());
  for (const Point& q : p) {
    n.u.push_back((q.x - minX) / w);
    n.v.push_back((q.y - minY) / h);
  }
  n.cu = (c.centreX - minX) / w;
  n.cv = (c.centreY - minY) / h;
  return n;
}

Stitch stitch(const Chain& lower, const Chain& upper, int lowerIndex, int upperIndex,
              const Chain& layer, double tolerance, double ratio) {
  const std::vector<Point> A = vertices(lower), B = vertices(upper);
  const int nA = lower.n(), nB = upper.n();
  const Normalised a = normalise(A, lower), b = normalise(B, upper);

  double best = -std::numeric_limits<double>::infinity();
  int j = 0, i = 0;
  for (int ib = 0; ib < nB; ++ib)
    for (int ja = 0; ja < nA; ++ja) {
      const double dot = (a.u[ja] - a.cu) * (b.u[ib] - b.cu) + (a.v[ja] - a.cv) * (b.v[ib] - b.cv);
      if (dot > best) {
        best = dot;
        j = ja;
        i = ib;
      }
    }

  Stitch s;
  s.lower = lowerIndex;
  s.upper = upperIndex;
  s.startLower = j;
  s.startUpper = i;
  s.object = layer.object;
  s.colour = layer.colour;
  s.flags.reserve(size_t(nA) + size_t(nB));
  int ca = j, cb = i, usedA = 0, usedB = 0;
  for (int k = 0; k < nA + nB; ++k) {
    bool advanceA;
    if (usedA < nA && usedB < nB) {
      const int na = (ca + 1) % nA, nb = (cb + 1) % nB;
      const double dA = distance(A[na], B[cb]);  // the edge advancing A would make
      const double dB = distance(A[ca], B[nb]);  // the edge advancing B would make
      const double pA = double(nA - usedA) / nA, pB = double(nB - usedB) / nB;
      const bool even = std::fabs(pB - pA) < tolerance;
      if (dB > dA)
        advanceA = even || ratioAtLeast(dB, dA, ratio) || pA >= pB;
      else
        advanceA = !(even || ratioAtLeast(dA, dB, ratio)) && pA > pB;
    } else {
      advanceA = usedA < nA;
    }
    if (advanceA) {
      ca = (ca + 1) % nA;
      ++usedA;
    } else {
      cb = (cb + 1) % nB;
      ++usedB;
    }
    s.flags.push_back(advanceA ? 0 : 1);
  }
  return s;
}

// The object's entry, or none for an object outside the table.
Connection targets(const ConnectionTable& t, int object, int objects) {
  if (object < 0 || object >= objects) return {};
  return t[object];
}

int stitchPair(std::FILE* lowerFile, std::FILE* upperFile, std::FILE* out,
               const ConnectionTable& connections, int objects, double tolerance, double ratio) {
  std::vector<Chain> L, U;
  if (const int code = readChains(lowerFile, L); code != 0) return code;
  if (const int code = readChains(upperFile, U); code != 0) return code;
  std::vector<int> matchL(L.size(), -1), matchU(U.size(), -1);
  for (size_t a = 0; a < L.size(); ++a)
    for (size_t b = 0; b < U.size(); ++b)
      if (L[a].object == U[b].object) {
        matchL[a] = static_cast<int>(b);
        matchU[b] = static_cast<int>(a);
      }
  for (size_t a = 0; a < L.size(); ++a) {
    if (matchL[a] != -1) continue;
    const int target = targets(connections, L[a].object, objects).upper;
    for (size_t b = 0; b < U.size(); ++b)
      if (target >= 0 && U[b].object == target) matchL[a] = static_cast<int>(b);
  }
  for (size_t b = 0; b < U.size(); ++b) {
    if (matchU[b] != -1) continue;
    const int target = targets(connections, U[b].object, objects).lower;
    for (size_t a = 0; a < L.size(); ++a)
      if (target >= 0 && L[a].object == target) matchU[b] = static_cast<int>(a);
  }
  for (size_t a = 0; a < L.size(); ++a) {
    const int b = matchL[a];
    if (b == -1) continue;
    if (!writeStitch(out, stitch(L[a], U[b], int(a), b, L[a], tolerance, ratio)))
      return kFwriteError;
  }
  for (size_t b = 0; b < U.size(); ++b) {
    const int a = matchU[b];
    if (a == -1 || matchL[a] == static_cast<int>(b)) continue;
    if (!writeStitch(out, stitch(L[a], U[b], a, int(b), U[b], tolerance, ratio)))
      return kFwriteError;
  }
  return writeStitchEnd(out) ? 0 : kFwriteError;
}

bool writeFace(std::FILE* f, Point p, float hp, Point q, float hq, Point r, float hr) {
  return std::fprintf(f,
                      "3DFACE %-3.1f,%-3.1f,%-3.1f\n%-3.1f,%-3.1f,%-3.1f\n"
                      "%-3.1f,%-3.1f,%-3.1f\n\n\n",
                      double(p.x), double(p.y), double(hp), double(q.x), double(q.y), double(hq),
                      double(r.x), double(r.y), double(hr)) >= 0;
}

int closeWritten(FilePtr& f) {
  const bool bad = std::ferror(f.get()) != 0;
  return (std::fclose(f.release()) != 0 || bad) ? kFwriteError : 0;
}

}  // namespace

int StitchContours(const char* chainPrefix, const char* stitchPrefix, int z0, int z1, int objects,
                   const ConnectionTable* connections, double tolerance, double ratio) {
  if (chainPrefix == nullptr || stitchPrefix == nullptr || connections == nullptr)
    return kNullBasicTypePointer;
  if (z0 < 0 || z1 <= z0 || objects < 1 || !(ratio > 1) || !(tolerance > 0) ||
      connections->size() < size_t(objects))
    return kInvalidParameters;
  try {
    for (int z = z0; z < z1 - 1; ++z) {
      FilePtr lower(std::fopen(TemporaryFileName(chainPrefix, z).c_str(), "rb"));
      FilePtr upper(std::fopen(TemporaryFileName(chainPrefix, z + 1).c_str(), "rb"));
      if (!lower || !upper) return kFopenError;
      FilePtr out(std::fopen(TemporaryFileName(stitchPrefix, z).c_str(), "wb"));
      if (!out) return kFopenError;
      if (const int code = stitchPair(lower.get(), upper.get(), out.get(), *connections, objects,
                                      tolerance, ratio);
          code != 0)
        return code;
      if (const int code = closeWritten(out); code != 0) return code;
    }
  } catch (const std::bad_alloc&) {
    return kNotEnoughMemory;
  }
  return 0;
}

int WriteSurfaceScript(const char* path, const char* chainPrefix, const char* stitchPrefix,
                       float distance, int z0, int z1, int layers) {
  if (path == nullptr || chainPrefix == nullptr || stitchPrefix == nullptr)
    return kNullBasicTypePointer;
  FilePtr out(std::fopen(path, "w"));
  if (!out) return kFopenError;
  if (!writeLayerDeclarations(out.get(), layers)) return kFwriteError;
  try {
    for (int z = z0; z < z1; ++z) {
      const std::string stitchName = TemporaryFileName(stitchPrefix, z);
      std::error_code ec;
      if (!std::filesystem::exists(stitchName, ec)) break;
      FilePtr lowerFile(std::fopen(TemporaryFileName(chainPrefix, z).c_str(), "rb"));
      FilePtr upperFile(std::fopen(TemporaryFileName(chainPrefix, z + 1).c_str(), "rb"));
      FilePtr stitches(std::fopen(stitchName.c_str(), "rb"));
      if (!lowerFile || !upperFile || !stitches) return kFopenError;
      std::vector<Chain> L, U;
      if (const int code = readChains(lowerFile.get(), L); code != 0) return code;
      if (const int code = readChains(upperFile.get(), U); code != 0) return code;
      const float hLow = static_cast<float>(z) * distance;
      const float hUp = static_cast<float>(z + 1) * distance;
      for (;;) {
        Stitch s;
        const int r = readStitch(stitches.get(), s);
        if (r < 0) return r;
        if (r == 0) break;
        if (s.lower < 0 || size_t(s.lower) >= L.size() || s.upper < 0 ||
            size_t(s.upper) >= U.size())
          return kFreadError;
        const Chain& a = L[s.lower];
        const Chain& b = U[s.upper];
        if (s.startLower < 0 || s.startLower >= a.n() || s.startUpper < 0 || s.startUpper >= b.n())
          return kFreadError;
        if (!writeSetLayer(out.get(), s.object + 1)) return kFwriteError;
        const std::vector<Point> A = vertices(a), B = vertices(b);
        int ca = s.startLower, cb = s.startUpper;
        for (uint8_t flag : s.flags) {
          bool ok;
          if (flag == 0) {
            const int na = (ca + 1) % a.n();
            ok = writeFace(out.get(), A[ca], hLow, B[cb], hUp, A[na], hLow);
            ca = na;
          } else {
            const int nb = (cb + 1) % b.n();
            ok = writeFace(out.get(), A[ca], hLow, B[cb], hUp, B[nb], hUp);
            cb = nb;
          }
          if (!ok) return kFwriteError;
        }
      }
    }
  } catch (const std::bad_alloc&) {
    return kNotEnoughMemory;
  }
  return closeWritten(out);
}

}  // namespace v3d::shade
