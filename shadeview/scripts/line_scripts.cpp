// Line scripts: writing the contours of the chain files as AutoCAD LINE records, one layer per
// object, and reading the LINE records of a script back into a colour volume.
//
// The reader parses the whole script before it draws anything, so a malformed script leaves
// the volume as it was. Its lines are read into a 256-character buffer; the rest of a longer
// line is skipped, so that it stays one line of the script. Segments are drawn with
// Bresenham's rule in closed form (the pixel of step t along the major axis sits at the
// minor offset t * minor / major rounded, halves down, as the error-term loop does) over the part
// of the major axis inside the frame only, so a segment of any length costs at most one row or
// column of the frame.
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>

#include "shadeview/scripts/chain_files.h"

namespace v3d::shade {

bool writeLayerDeclarations(std::FILE* f, int layers) {
  for (int k = 1; k <= layers; ++k)
    if (std::fprintf(f, "Layer\nNew\n%d\nColor\n%d\n%d\n\n", k, k, k) < 0) return false;
  return true;
}

bool writeSetLayer(std::FILE* f, int layer) {
  return std::fprintf(f, "Layer\nSet\n%d\n\n", layer) >= 0;
}

namespace {

bool writeLine(std::FILE* f, Point a, Point b, float z) {
  return std::fprintf(f, "LINE %-3.1f,%-3.1f,%-3.1f\n%-3.1f,%-3.1f,%-3.1f\n\n\n", double(a.x),
                      double(a.y), double(z), double(b.x), double(b.y), double(z)) >= 0;
}

// Closes a written file, turning a late write error into kFwriteError.
int finishWrite(std::unique_ptr<std::FILE, FileCloser>& f) {
  const bool bad = std::ferror(f.get()) != 0;
  return (std::fclose(f.release()) != 0 || bad) ? kFwriteError : 0;
}

}  // namespace

int WriteLinesScript(const char* path, const char* prefix, float distance, int z0, int z1,
                     int layers) {
  if (path == nullptr || prefix == nullptr) return kNullBasicTypePointer;
  std::unique_ptr<std::FILE, FileCloser> out(std::fopen(path, "w"));
  if (!out) return kFopenError;
  if (!writeLayerDeclarations(out.get(), layers)) return kFwriteError;
  for (int z = z0; z < z1; ++z) {
    const std::string name = TemporaryFileName(prefix, z);
    std::error_code ec;
    if (!std::filesystem::exists(name, ec)) break;
    std::unique_ptr<std::FILE, FileCloser> in(std::fopen(name.c_str(), "rb"));
    if (!in) return kFopenError;
    const float height = static_cast<float>(z) * distance;
    for (;;) {
      Chain c;
      const int r = readChain(in.get(), c);
      if (r < 0) return r;
      if (r == 0) break;
      if (!writeSetLayer(out.get(), c.object + 1)) return kFwriteError;
      const Point start{c.startX, c.startY};
      Point p = start;
      for (int k = 0; k < c.n(); ++k) {
        const Point q{p.x + c.steps[2 * k], p.y + c.steps[2 * k + 1]};
        if (!writeLine(out.get(), p, q, height)) return kFwriteError;
        p = q;
      }
      if (!writeLine(out.get(), p, start, height)) return kFwriteError;
    }
  }
  return finishWrite(out);
}

Rgb LayerColour(int index, int layers) {
  // e = ceil(ln L / ln 8), the smallest e with 8^e >= L, counted exactly; a single layer
  // (e = 0) is taken as e = 1.
  int64_t e = 0;
  for (int64_t power = 1; power < layers; power *= 8) ++e;
  if (e == 0) e = 1;
  const int64_t s = 128 / e, i = index;
  return {int(((i % (e * e)) * s + 128) & 0xFF), int(((i / (e * e)) * s + 128) & 0xFF),
          int((((i / e) % e) * s + 128) & 0xFF)};
}

namespace {

constexpr int kLineBuffer = 256;

// Reads one line into `buf` (at most kLineBuffer - 1 characters, without its end); the rest
// of a longer line is skipped. False at the end of the file.
bool readLine(std::FILE* f, char (&buf)[kLineBuffer]) {
  int c = std::getc(f);
  if (c == EOF) return false;
  int n = 0;
  while (c != EOF && c != '\n') {
    if (n < kLineBuffer - 1) buf[n++] = static_cast<char>(c);
    c = std::getc(f);
  }
  buf[n] = '\0';
  return true;
}

struct Segment {
  float x1, y1, z1, x2, y2, z2;
  int layer;  // the k of the "Set" in force, 1-based
};

struct ParsedScript {
  std::vector<int> declared;  // the numbers of the declared layers, in order
  std::vector<Segment> segments;
};

int parse(std::FILE* f, ParsedScript& s) {
  char line[kLineBuffer];
  int current = 0;  // no "Set" yet
  const auto number = [&](int& out) {
    return readLine(f, line) && std::sscanf(line, "%d", &out) == 1;
  };
  while (readLine(f, line)) {
    if (line[0] == '\0' || line[0] == ' ') continue;
    float x, y, z;
    if (std::sscanf(line, "3DFACE %f,%f,%f", &x, &y, &z) == 3) {
      readLine(f, line);
      readLine(f, line);
      continue;
    }
    if (std::sscanf(line, "LINE %f,%f,%f", &x, &y, &z) == 3) {
      if (current < 1 || current > static_cast<int>(s.declared.size())) return kFileParsingError;
      Segment seg{x, y, z, 0, 0, 0, current};
      if (!readLine(f, line) || std::sscanf(line, "%f,%f,%f", &seg.x2, &seg.y2, &seg.z2) != 3)
        return kFileParsingError;
      s.segments.push_back(seg);
      continue;
    }
    if (std::strncmp(line, "Layer", 5) != 0) continue;
    if (!readLine(f, line)) return kFileParsingError;
    if (std::strncmp(line, "Set", 3) == 0) {
      if (!number(current)) return kFileParsingError;
    } else if (std::strncmp(line, "New", 3) == 0) {
      int k = 0;
      if (!number(k)) return kFileParsingError;
      s.declared.push_back(k);
      for (int skip = 0; skip < 3; ++skip) readLine(f, line);
    } else {
      return kFileParsingError;
    }
  }
  return 0;
}

// A coordinate as an integer pixel position (truncated), false when it is not finite or too
// far out to matter.
bool pixel(float v, int64_t& out) {
  if (!std::isfinite(v) || std::fabs(v) > 1e12f) return false;
  out = static_cast<int64_t>(v);
  return true;
}

// Draws the segment into frame f; true when some of its pixels fell outside the frame.
bool draw(Volume& v, int f, int64_t x1, int64_t y1, int64_t x2, int64_t y2, Rgb c) {
  const auto inside = [&](int64_t x, int64_t y) { return x >= 0 && x < v.X && y >= 0 && y < v.Y; };
  const bool lost = !inside(x1, y1) || !inside(x2, y2);
  const uint8_t rgb[3] = {uint8_t(c.r), uint8_t(c.g), uint8_t(c.b)};
  const auto plot = [&](int64_t x, int64_t y) {
    if (!inside(x, y)) return;
    for (int ch = 0; ch < 3; ++ch) static_cast<uint8_t***>(v.channel[ch])[f][y][x] = rgb[ch];
  };
  const int64_t dx = x2 - x1, dy = y2 - y1;
  const bool alongX = std::llabs(dx) >= std::llabs(dy);
  const int64_t major = alongX ? std::llabs(dx) : std::llabs(dy);
  const int64_t minor = alongX ? std::llabs(dy) : std::llabs(dx);
  const int64_t sMajor = (alongX ? dx : dy) < 0 ? -1 : 1;
  const int64_t sMinor = (alongX ? dy : dx) < 0 ? -1 : 1;
  const int64_t start = alongX ? x1 : y1;
  const int64_t extent = alongX ? v.X : v.Y;
  if (major == 0) {
    plot(x1, y1);
    return lost;
  }
  // Steps t whose major coordinate start + t * sMajor lies in 0 .. extent-1.
  int64_t tLow = sMajor > 0 ? -start : start - (extent - 1);
  int64_t tHigh = sMajor > 0 ? extent - 1 - start : start;
  tLow = std::max<int64_t>(tLow, 0);
  tHigh = std::min(tHigh, major);
  for (int64_t t = tLow; t <= tHigh; ++t) {
    const auto m =
        static_cast<int64_t>((__int128(2) * t * minor + major - 1) / (__int128(2) * major));
    const int64_t a = start + t * sMajor;
    const int64_t b = (alongX ? y1 : x1) + m * sMinor;
    if (alongX)
      plot(a, b);
    else
      plot(b, a);
  }
  return lost;
}

}  // namespace

int ReadLinesScriptStream(V3dCheckVolumeFn checkVolume, Volume* volume, std::FILE* file,
                          int distance) {
  if (checkVolume == nullptr) return kNullBasicTypePointer;
  if (const int code = checkVolume(volume, V3D_UC, V3D_THREE_CHANNELS); code != 0) return code;
  if (file == nullptr) return kNullBasicTypePointer;
  if (distance < 1) return kInvalidParameters;
  ParsedScript script;
  try {
    if (const int code = parse(file, script); code != 0) return code;
  } catch (const std::bad_alloc&) {
    return kCannotAllocateBuffer;
  }

  const int layers = static_cast<int>(script.declared.size());
  bool lost = false;
  for (const Segment& s : script.segments) {
    const int64_t colour = int64_t{script.declared[s.layer - 1]} - 1;
    if (colour < 0 || colour >= layers) continue;
    if (!(std::trunc(s.z1) == std::trunc(s.z2))) continue;  // also drops NaN heights
    const double frame = std::trunc(double(s.z1) / distance);
    if (s.z1 < 0 || s.z2 < 0 || frame >= volume->Z) {
      lost = true;
      continue;
    }
    int64_t x1, y1, x2, y2;
    if (!pixel(s.x1, x1) || !pixel(s.y1, y1) || !pixel(s.x2, x2) || !pixel(s.y2, y2)) {
      lost = true;
      continue;
    }
    lost |= draw(*volume, static_cast<int>(frame), x1, y1, x2, y2,
                 LayerColour(static_cast<int>(colour), layers));
  }
  return lost ? 1 : 0;
}

int ReadLinesScript(V3dCheckVolumeFn checkVolume, Volume* volume, const char* path, int distance) {
  if (checkVolume == nullptr) return kNullBasicTypePointer;
  if (const int code = checkVolume(volume, V3D_UC, V3D_THREE_CHANNELS); code != 0) return code;
  if (path == nullptr) return kNullBasicTypePointer;
  if (distance < 1) return kInvalidParameters;
  std::unique_ptr<std::FILE, FileCloser> in(std::fopen(path, "r"));
  if (!in) return kFopenError;
  return ReadLinesScriptStream(checkVolume, volume, in.get(), distance);
}

}  // namespace v3d::shade
