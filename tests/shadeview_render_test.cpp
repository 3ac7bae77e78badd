// The surface module's rendering side without a window: the script loader against a plain
// reference of its normal averaging, its failures, the default colours, the colour dialog's
// rules, snapshot and movie through a picture double, and the module's binding and commands.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "core/table.h"
#include "fixtures.h"
#include "shadeview/capture.h"
#include "shadeview/colour_dialog.h"
#include "shadeview/commands.h"
#include "shadeview/module_texts.h"
#include "shadeview/scene.h"

namespace v3d::test {
namespace {

using namespace v3d::shade;

// ---- Script loader ---------------------------------------------------------------------------

struct P3 {
  double x, y, z;
};

std::string faceRecord(P3 a, P3 b, P3 c) {
  char s[256];
  std::snprintf(s, sizeof s,
                "3DFACE %-3.1f,%-3.1f,%-3.1f\n%-3.1f,%-3.1f,%-3.1f\n%-3.1f,%-3.1f,%-3.1f\n\n\n",
                a.x, a.y, a.z, b.x, b.y, b.z, c.x, c.y, c.z);
  return s;
}
std::string newLayers(int n) {
  std::string s;
  for (int k = 1; k <= n; ++k)
    s += "Layer\nNew\n" + std::to_string(k) + "\nColor\n" + std::to_string(k) + "\n" +
         std::to_string(k) + "\n\n";
  return s;
}
std::string setLayer(int k) {
  return "Layer\nSet\n" + std::to_string(k) + "\n\n";
}

// The loader's normals written straight from the description: a vertex table searched from
// the newest vertex backwards, a new vertex taking the unit face normal and an existing one the
// normalised sum of its normal and the unit face normal.
struct Reference {
  struct V {
    P3 p, n;
  };
  std::vector<V> table;
  static P3 unit(P3 v) {
    const double l = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return l == 0 ? P3{0, 0, 0} : P3{v.x / l, v.y / l, v.z / l};
  }
  double axisX = 0, axisZ = 0;   // the vertical axis faces turn away from (scene x, z)
  void face(P3 a, P3 b, P3 c) {  // script points
    const P3 s[3] = {{a.x, a.z, a.y}, {b.x, b.z, b.y}, {c.x, c.z, c.y}};
    const P3 u{s[0].x - s[2].x, s[0].y - s[2].y, s[0].z - s[2].z};
    const P3 w{s[1].x - s[2].x, s[1].y - s[2].y, s[1].z - s[2].z};
    P3 n{u.y * w.z - u.z * w.y, u.z * w.x - u.x * w.z, u.x * w.y - u.y * w.x};
    if (n.x * (s[0].x - axisX) + n.z * (s[0].z - axisZ) < 0) n = {-n.x, -n.y, -n.z};
    n = unit(n);
    for (const P3& p : s) {
      int found = -1;
      for (int i = static_cast<int>(table.size()) - 1; i >= 0 && found < 0; --i)
        if (table[i].p.x == p.x && table[i].p.y == p.y && table[i].p.z == p.z) found = i;
      if (found < 0)
        table.push_back({p, n});
      else
        table[found].n =
            unit({table[found].n.x + n.x, table[found].n.y + n.y, table[found].n.z + n.z});
    }
  }
  P3 normalAt(P3 p) const {
    for (int i = static_cast<int>(table.size()) - 1; i >= 0; --i)
      if (table[i].p.x == p.x && table[i].p.y == p.y && table[i].p.z == p.z) return table[i].n;
    return {1e9, 1e9, 1e9};
  }
};

TEST(ShadeScene, SharedVertexNormalsCentreAndRadiusMatchAPlainReference) {
  // A 6 x 6 height field of two faces per cell with seeded heights, on layer 2 of 2, written
  // with the writer's own record format; every inner vertex is shared by up to six faces.
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> height(0, 40);
  double h[7][7];
  for (auto& row : h)
    for (double& v : row) v = double(float(height(rng) / 10.0));  // as read back from "%.1f"
  // Its faces turn away from the vertical axis through the centre of their block's corners.
  std::string text = newLayers(2) + setLayer(2);
  Reference ref;
  std::vector<P3> corners;
  std::vector<std::array<P3, 3>> faces;
  for (int i = 0; i < 6; ++i)
    for (int j = 0; j < 6; ++j) {
      const P3 a{double(i), double(j), h[i][j]}, b{i + 1.0, double(j), h[i + 1][j]},
          c{double(i), j + 1.0, h[i][j + 1]}, d{i + 1.0, j + 1.0, h[i + 1][j + 1]};
      for (const auto& [p, q, r] : {std::tuple{a, b, c}, std::tuple{b, d, c}}) {
        text += faceRecord(p, q, r);
        faces.push_back({p, q, r});
        corners.insert(corners.end(), {p, q, r});
      }
    }
  for (const P3& c : corners) ref.axisX += c.x, ref.axisZ += c.y;
  ref.axisX /= double(corners.size());
  ref.axisZ /= double(corners.size());
  for (const auto& f : faces) ref.face(f[0], f[1], f[2]);
  Scene scene;
  ASSERT_EQ(parseScene(text, scene), 0);
  ASSERT_EQ(scene.objects.size(), 2u);
  EXPECT_EQ(scene.objects[0].faceCount(), 0u);
  const SceneObject& o = scene.objects[1];
  ASSERT_EQ(o.faceCount(), 72u);
  for (std::size_t k = 0; k < corners.size(); ++k) {
    const P3 s{corners[k].x, corners[k].z, corners[k].y};  // scene axes
    const float* v = &o.faces[6 * k];
    ASSERT_FLOAT_EQ(v[0], s.x);
    ASSERT_FLOAT_EQ(v[1], float(s.y));
    ASSERT_FLOAT_EQ(v[2], float(s.z));
    const P3 n = ref.normalAt(s);
    EXPECT_NEAR(v[3], n.x, 1e-5) << k;
    EXPECT_NEAR(v[4], n.y, 1e-5) << k;
    EXPECT_NEAR(v[5], n.z, 1e-5) << k;
  }
  P3 sum{0, 0, 0};
  for (const P3& c : corners) sum = {sum.x + c.x, sum.y + c.z, sum.z + c.y};
  const P3 centre{sum.x / corners.size(), sum.y / corners.size(), sum.z / corners.size()};
  EXPECT_NEAR(scene.centre[0], centre.x, 1e-4);
  EXPECT_NEAR(scene.centre[1], centre.y, 1e-4);
  EXPECT_NEAR(scene.centre[2], centre.z, 1e-4);
  double radius = 0;
  for (const P3& c : corners)
    radius = std::max(radius, std::hypot(c.x - centre.x, c.z - centre.y, c.y - centre.z));
  EXPECT_NEAR(scene.radius, radius, 1e-4);
}

TEST(ShadeScene, EveryFaceOfATubeFarFromTheOriginTurnsOutwards) {
  // Two tubes of 16-gon rings, stitched in both windings, around (200, 150) and (40, 300).
  std::string text = newLayers(2);
  const double pi = 4 * std::atan(1.0);
  const P3 axes[2] = {{200, 150, 0}, {40, 300, 0}};
  for (int layer = 1; layer <= 2; ++layer) {
    text += setLayer(layer);
    const P3 o = axes[layer - 1];
    const auto at = [&](int i, double z) {
      return P3{o.x + 30 * std::cos(2 * pi * i / 16), o.y + 30 * std::sin(2 * pi * i / 16), z};
    };
    for (int i = 0; i < 16; ++i) {
      text += faceRecord(at(i, 0), at(i, 5), at(i + 1, 0));
      text += faceRecord(at(i + 1, 5), at(i + 1, 0), at(i, 5));
    }
  }
  Scene scene;
  ASSERT_EQ(parseScene(text, scene), 0);
  for (int o = 0; o < 2; ++o) {
    const std::vector<float>& f = scene.objects[o].faces;
    ASSERT_EQ(f.size(), 32u * 18u);
    for (std::size_t k = 0; k < f.size(); k += 6) {
      const double rx = f[k] - axes[o].x, rz = f[k + 2] - axes[o].y;  // scene z = script y
      EXPECT_GT(f[k + 3] * rx + f[k + 5] * rz, 0.9 * 30) << "object " << o << " corner " << k / 6;
    }
  }
}

TEST(ShadeScene, LayersRouteFacesAndLinesAndPrimitivesOfMissingLayersAreDropped) {
  const std::string text = faceRecord({0, 0, 0}, {9, 0, 0}, {0, 9, 0}) +  // no layer yet
                           newLayers(1) + "LINE 1.0,2.0,3.0\n4.0,5.0,6.0\n\n\n" +
                           "Layer\nNew\n3\nColor\n3\n3\n\n" + setLayer(3) +
                           faceRecord({0, 0, 1}, {2, 0, 1}, {0, 2, 1}) + setLayer(0) +
                           faceRecord({5, 5, 5}, {6, 5, 5}, {5, 6, 5}) + setLayer(7) +
                           "LINE 0,0,0\n1,1,1\n" + "a comment line\n   3DFACE 1,2,3\n";
  Scene scene;
  ASSERT_EQ(parseScene(text, scene), 0);
  ASSERT_EQ(scene.objects.size(), 3u);
  EXPECT_EQ(scene.objects[0].lineCount(), 1u);
  EXPECT_EQ(scene.objects[1].faceCount() + scene.objects[1].lineCount(), 0u);
  EXPECT_EQ(scene.objects[2].faceCount(), 1u);
  EXPECT_EQ(std::vector<float>(scene.objects[0].lines.begin(), scene.objects[0].lines.end()),
            (std::vector<float>{1, 3, 2, 4, 6, 5}))
      << "script (x, y, z) is scene (x, z, y)";
  // The centre of the five corners drawn; the dropped face and line do not move it.
  EXPECT_NEAR(scene.centre[0], (1 + 4 + 0 + 2 + 0) / 5.0, 1e-6);
  EXPECT_NEAR(scene.centre[1], (3 + 6 + 1 + 1 + 1) / 5.0, 1e-6);
  for (const SceneObject& o : scene.objects) EXPECT_TRUE(o.visible);
}

TEST(ShadeScene, MalformedScriptsAndMissingFilesGiveTheirCodesAndLeaveTheSceneAlone) {
  const std::pair<const char*, std::string> bad[] = {
      {"Layer then a stray word", "Layer\nNew\n1\nColor\n1\n1\nLayer\nGet\n1\n"},
      {"Layer at the end", "Layer"},
      {"Set without number", "Layer\nSet\nx\n"},
      {"New without number", "Layer\nNew\n\n"},
      {"New beyond the layer limit", "Layer\nNew\n70000\n"},
      {"number beyond int", "Layer\nSet\n99999999999\n"},
      {"face cut short", "Layer\nNew\n1\nC\n1\n1\n3DFACE 1,2,3\n4,5,6\n"},
      {"face corner unreadable", "3DFACE 1,2,3\n4;5;6\n7,8,9\n"},
      {"line end missing", "LINE 1,2,3\n"},
  };
  Scene scene;
  ASSERT_EQ(parseScene(newLayers(1) + faceRecord({0, 0, 0}, {1, 0, 0}, {0, 1, 0}), scene), 0);
  for (const auto& [what, text] : bad) {
    EXPECT_EQ(parseScene(text, scene), kFileParsingError) << what;
    EXPECT_EQ(scene.objects.size(), 1u) << what;
  }
  EXPECT_EQ(loadScene("/nonexistent/v3d/none.scr", scene), kFopenError);
  EXPECT_EQ(loadScene(std::filesystem::temp_directory_path().c_str(), scene), kFopenError);
  EXPECT_EQ(loadScene(nullptr, scene), kFopenError);
  EXPECT_EQ(scene.objects.size(), 1u);
}

TEST(ShadeScene, WindowsLineEndsLongLinesAndFilesReadLikeTheirText) {
  std::string text = newLayers(2) + setLayer(1) + faceRecord({0, 0, 0}, {4, 0, 0}, {0, 4, 2}) +
                     std::string(100000, 'x') + "\n" + setLayer(2) + "3DFACE 1," +
                     std::string(400, '0') + "2,3\n1,2,4\n5,2,3\n";
  Scene lf, crlf, file;
  ASSERT_EQ(parseScene(text, lf), 0);
  std::string withCr;
  for (char c : text) withCr += c == '\n' ? std::string("\r\n") : std::string(1, c);
  ASSERT_EQ(parseScene(withCr, crlf), 0);
  const std::string path = tempPath("shade_scene.scr");
  std::ofstream(path, std::ios::binary) << text;
  ASSERT_EQ(loadScene(path.c_str(), file), 0);
  std::remove(path.c_str());
  for (const Scene* s : {&crlf, &file}) {
    ASSERT_EQ(s->objects.size(), 2u);
    EXPECT_EQ(s->objects[0].faces, lf.objects[0].faces);
    EXPECT_EQ(s->objects[1].faces, lf.objects[1].faces);
  }
  EXPECT_EQ(lf.objects[1].faces[1], 3.0f) << "a 400-digit number is read whole";
}

TEST(ShadeScene, DefaultColoursFollowTheRuleAndALoneObjectIsMidGrey) {
  EXPECT_EQ(defaultColour(0, 1), (std::array<float, 4>{0.5f, 0.5f, 0.5f, 0.0f}));
  for (int count = 2; count <= 8; ++count) {
    std::set<std::array<float, 4>> seen;
    for (int i = 0; i < count; ++i) {
      const auto c = defaultColour(i, count);
      for (int k = 0; k < 3; ++k) EXPECT_TRUE(c[k] == 0.5f || c[k] == 1.0f) << count << " " << i;
      seen.insert(c);
    }
    EXPECT_EQ(seen.size(), std::size_t(count)) << "every object its own colour";
  }
  // 9 .. 64 objects: e = 2, m = 4, s = 0.25.
  for (int i : {0, 5, 17, 63}) {
    const auto c = defaultColour(i, 40);
    EXPECT_FLOAT_EQ(c[0], 0.5f + 0.25f * (i % 4));
    EXPECT_FLOAT_EQ(c[1], 0.5f + 0.25f * ((i % 16) / 4));
    EXPECT_FLOAT_EQ(c[2], 0.5f + 0.25f * (i / 16));
  }
  Scene scene;
  ASSERT_EQ(parseScene(newLayers(3), scene), 0);
  EXPECT_EQ(scene.objects[2].colour, defaultColour(2, 3));
  EXPECT_EQ(scene.radius, 1.0) << "an empty scene keeps a usable scale";
}

// ---- Colour dialog ------------------------------------------------------------------------

struct Committed {
  std::map<int, ObjectLook> looks;
  int repaints = 0;
};

ColourPresenter makeColours(Committed& out, std::vector<ObjectLook> looks) {
  return ColourPresenter(
      looks, [&out](int i, const ObjectLook& l) { out.looks[i] = l; }, [&out] { ++out.repaints; });
}

TEST(ShadeColours, EditsTakeNumbersUpTo255AndScrollBarsStepAsDescribed) {
  Committed out;
  ColourPresenter p = makeColours(out, {{{0.5f, 1.0f, 0.25f, 0.0f}, true}});
  EXPECT_EQ(p.labels(), std::vector<std::string>{"Object 1"});
  EXPECT_EQ(p.preview(), (std::array<int, 3>{128, 255, 64})) << "times 256, limited to 255";
  const struct {
    int c;
    const char* text;
    bool accepted;
    int value;
  } edits[] = {{0, "256", false, 128}, {0, "12", true, 12},   {0, "", false, 12},
               {1, "abc", false, 255}, {1, "-1", false, 255}, {2, "", true, 0},
               {2, "255", true, 255},  {2, "07", true, 7}};
  for (const auto& e : edits) {
    EXPECT_EQ(p.edit(e.c, e.text), e.accepted) << e.c << " '" << e.text << "'";
    EXPECT_EQ(p.component(e.c), e.value) << e.c << " '" << e.text << "'";
  }
  const struct {
    int from;
    Scroll action;
    int to;
  } steps[] = {
      {0, Scroll::LineLeft, 0},      {255, Scroll::LineRight, 255}, {10, Scroll::LineRight, 11},
      {128, Scroll::PageLeft, 40},   {127, Scroll::PageLeft, 0},    {127, Scroll::PageRight, 215},
      {128, Scroll::PageRight, 255}, {9, Scroll::RightEnd, 255},    {9, Scroll::LeftEnd, 0}};
  for (const auto& s : steps) {
    p.scroll(0, Scroll::Thumb, s.from);
    p.scroll(0, s.action);
    EXPECT_EQ(p.component(0), s.to) << s.from;
  }
}

TEST(ShadeColours, UpdateButtonsFollowPendingChangesAndCommitComponentsOver255) {
  Committed out;
  ColourPresenter p =
      makeColours(out, {{{0.5f, 0.5f, 0.5f, 0.0f}, true}, {{1.0f, 0.5f, 0.5f, 0.0f}, true}});
  EXPECT_FALSE(p.updateCurrentEnabled() || p.updateAllEnabled());
  p.select(1);
  p.setPendingVisible(false);
  EXPECT_TRUE(p.updateCurrentEnabled());
  p.setPendingVisible(true);
  EXPECT_FALSE(p.updateAllEnabled()) << "back to the committed visibility";
  p.setPendingVisible(false);
  p.select(0);
  EXPECT_FALSE(p.updateCurrentEnabled());
  EXPECT_TRUE(p.updateAllEnabled());
  ASSERT_TRUE(p.edit(0, "51"));
  p.updateCurrent();
  EXPECT_EQ(out.looks.size(), 1u);
  EXPECT_FLOAT_EQ(out.looks[0].colour[0], 51 / 255.0f);
  EXPECT_TRUE(out.looks[0].visible);
  EXPECT_EQ(out.repaints, 1);
  EXPECT_TRUE(p.updateAllEnabled()) << "object 2's visibility still pending";
  p.updateAll();
  EXPECT_FALSE(out.looks[1].visible);
  EXPECT_FALSE(p.updateAllEnabled());
  ColourPresenter none = makeColours(out, {});
  EXPECT_EQ(none.current(), -1);
  none.updateAll();
  none.scroll(0, Scroll::LineRight);
  EXPECT_EQ(none.preview(), (std::array<int, 3>{0, 0, 0}));
}

// ---- Snapshot and movie -------------------------------------------------------------------

// A picture whose pixel (x, y) from the bottom encodes its place and the view's Y rotation.
class FakePicture : public PictureSource {
 public:
  int width = 5, height = 4;
  int resizeAtFrame = -1;  // the window is resized while this frame is taken
  ViewRotation view{10, 33};
  std::vector<ViewRotation> turns;
  void viewportSize(int& w, int& h) override {
    w = width;
    h = height;
  }
  bool readPixels(int w, int h, std::uint8_t* rgb) override {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        std::uint8_t* p = rgb + 3 * (y * w + x);
        p[0] = std::uint8_t(x);
        p[1] = std::uint8_t(y);
        p[2] = std::uint8_t(view.y);
      }
    return true;
  }
  ViewRotation rotation() const override { return view; }
  void setRotation(const ViewRotation& v) override {
    view = v;
    turns.push_back(v);
    if (static_cast<int>(turns.size()) - 1 == resizeAtFrame) width += 1;
  }
};

struct FakeUi : CaptureUi {
  std::vector<std::string> answers;  // text-entry answers in order; exhausted: Cancel
  std::vector<bool> busy;
  std::optional<std::string> askText(const char*, const char*) override {
    if (answers.empty()) return std::nullopt;
    std::string a = answers.front();
    answers.erase(answers.begin());
    return a;
  }
  void setBusy(bool b) override { busy.push_back(b); }
};

// A program whose output dialog answers `g_output` (a slot, or null for "New") and whose
// reallocation question answers `g_agree`; the rest is the volume library's own.
Volume* g_output = nullptr;
bool g_outputCancelled = false;
bool g_agree = true;
std::vector<int> g_errors;
int g_outputCalls[4];
int outputDialog(int type, int colour, const char* title, int X, int Y, int Z, Volume** out) {
  EXPECT_EQ(std::make_tuple(type, colour, std::string(title)),
            std::make_tuple(V3D_UC, V3D_THREE_CHANNELS, std::string("Select Output Volume")));
  g_outputCalls[0] = X, g_outputCalls[1] = Y, g_outputCalls[2] = Z, ++g_outputCalls[3];
  *out = g_output;
  return g_outputCancelled ? 0 : 1;
}
int verify(void*) {
  return g_agree ? 1 : 0;
}
int recordError(int code) {
  g_errors.push_back(code);
  return 1;
}
void noWindows(Volume*) {}

ProgramBindings tableProgram() {
  ProgramBindings b;
  b.getOutputVolume = &outputDialog;
  b.verifyReallocation = &verify;
  b.errorHandler = &recordError;
  b.freedisWin = &noWindows;
  b.createVolumeEx = &CreateVolumeEx;
  b.createVolume = &CreateVolume;
  b.initializeVolume = &InitializeVolume;
  b.destroyVolume = &DestroyVolume;
  b.checkVolume = &CheckVolume;
  return b;
}

class ShadeCapture : public ::testing::Test {
 protected:
  void SetUp() override {
    resetVolumeTable();
    g_output = nullptr;
    g_outputCancelled = false;
    g_agree = true;
    g_errors.clear();
    std::fill(std::begin(g_outputCalls), std::end(g_outputCalls), 0);
  }
  void TearDown() override { resetVolumeTable(); }
  ProgramBindings program = tableProgram();
  FakePicture picture;
  FakeUi ui;
};

TEST_F(ShadeCapture, SnapshotFlipsRowsIntoANewColourVolumeOrAReallocatedOne) {
  ASSERT_EQ(takeSnapshot(program, picture, ui), 0);
  EXPECT_EQ(std::vector<int>(g_outputCalls, g_outputCalls + 3), (std::vector<int>{5, 4, 1}));
  Volume* v = volumeSlot(0);
  ASSERT_EQ(std::tie(v->dataType, v->colorType, v->Z, v->Y, v->X),
            std::make_tuple(V3D_UC, V3D_THREE_CHANNELS, 1, 4, 5));
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 5; ++c) {
      EXPECT_EQ(at<UC>(v, 0, 0, r, c), c);
      EXPECT_EQ(at<UC>(v, 1, 0, r, c), 3 - r) << "row r holds picture row height - 1 - r";
      EXPECT_EQ(at<UC>(v, 2, 0, r, c), 33);
    }
  EXPECT_EQ(ui.busy, (std::vector<bool>{true, false}));

  // A grey volume chosen: replaced after the question; refused: left alone.
  Volume* grey = nullptr;
  ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 2, 2, 2, nullptr, &grey), 0);
  g_output = grey;
  g_agree = false;
  ASSERT_EQ(takeSnapshot(program, picture, ui), 0);
  EXPECT_EQ(grey->colorType, V3D_ONE_CHANNEL);
  g_agree = true;
  ASSERT_EQ(takeSnapshot(program, picture, ui), 0);
  EXPECT_EQ(std::tie(grey->colorType, grey->Y, grey->X), std::make_tuple(V3D_THREE_CHANNELS, 4, 5));
  EXPECT_EQ(at<UC>(grey, 0, 0, 2, 3), 3);
  EXPECT_TRUE(g_errors.empty());
}

TEST_F(ShadeCapture, MovieTurnsTheViewInEqualStepsAndRestoresIt) {
  ui.answers = {"abc", "0", "4 frames"};  // asked again until a positive count reads
  ASSERT_EQ(makeMovie(program, picture, ui), 0);
  EXPECT_TRUE(ui.answers.empty());
  Volume* v = volumeSlot(0);
  ASSERT_EQ(std::tie(v->Z, v->Y, v->X), std::make_tuple(4, 4, 5));
  const double expected[] = {0, 90, 180, 270};
  ASSERT_EQ(picture.turns.size(), 5u);
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(picture.turns[k], (ViewRotation{10, expected[k]}));
    EXPECT_EQ(at<UC>(v, 2, k, 1, 1), UC(expected[k])) << "frame " << k;
  }
  EXPECT_EQ(picture.view, (ViewRotation{10, 33})) << "the view returns to where it was";
  EXPECT_EQ(ui.answers.size(), 0u);
  ui.answers = {};
  EXPECT_EQ(makeMovie(program, picture, ui), 0) << "Cancel stops silently";
  EXPECT_TRUE(g_errors.empty());
}

TEST_F(ShadeCapture, AResizeDuringTheMovieFailsWithErrorAndDestroysTheVolumeMadeForIt) {
  picture.resizeAtFrame = 2;
  ui.answers = {"6"};
  EXPECT_EQ(makeMovie(program, picture, ui), kGenericError);
  EXPECT_EQ(g_errors, std::vector<int>{kGenericError});
  EXPECT_EQ(volumeSlot(0)->dataType, 0) << "the volume made for the movie is gone";
  EXPECT_EQ(picture.view, (ViewRotation{10, 33}));

  // A volume chosen that already fits is kept on failure; a small one gives -90 directly.
  Volume* kept = nullptr;
  ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_THREE_CHANNELS, 6, 4, 6, nullptr, &kept), 0);
  picture.width = 5;
  picture.turns.clear();
  g_output = kept;
  ui.answers = {"6"};
  EXPECT_EQ(makeMovie(program, picture, ui), kGenericError);
  EXPECT_EQ(kept->dataType, V3D_UC);
  EXPECT_EQ(RecordMovie(kept, 5, 4, 7, picture), kInvalidParameters);
  EXPECT_EQ(RecordMovie(kept, 4, 4, 2, picture), kGenericError) << "viewport not 4 wide";
}

// ---- Binding and commands -----------------------------------------------------------------

V3dShellInfo g_info{};
V3dShellInfo* getInfo() {
  return &g_info;
}
int g_missing = 0;
void* lookup(int ordinal) {
  return ordinal == g_missing ? nullptr : reinterpret_cast<void*>(&getInfo);
}

TEST(ShadeModule, BindsThirteenOrdinalsAndRefusesWhenAnyIsMissing) {
  ProgramBindings b;
  EXPECT_FALSE(bindProgram(nullptr, b));
  for (int missing : kBoundOrdinals) {
    g_missing = missing;
    EXPECT_FALSE(bindProgram(&lookup, b)) << missing;
  }
  EXPECT_FALSE(b.bound());
  g_missing = 0;
  ASSERT_TRUE(bindProgram(&lookup, b));
  EXPECT_EQ(b.info, &g_info);
  // The menu: seven items, the end marker, the title.
  EXPECT_STREQ(kMenuDescription[3], "-&Interactive Rendering");
  EXPECT_EQ(kMenuDescription[7], nullptr);
  EXPECT_STREQ(kMenuDescription[8], "&Surface Rendering");
}

TEST(ShadeModule, DistancesReadLikeScanfInTheCLocale) {
  const std::pair<const char*, std::optional<float>> cases[] = {
      {"2,5", 2.0f},         {"2.5", 2.5f},      {" +3", 3.0f},   {"1e1x", 10.0f},
      {"abc", std::nullopt}, {"", std::nullopt}, {"-0.5", -0.5f}, {"+-1", std::nullopt}};
  for (const auto& [text, expected] : cases) {
    float d = -99;
    EXPECT_EQ(readDistance(text, d), expected.has_value()) << text;
    if (expected) {
      EXPECT_EQ(d, *expected) << text;
    }
  }
  EXPECT_EQ(textEntryValue(std::string(30, '7')), std::string(19, '7'));
}

struct ScriptedModuleUi : ModuleUi {
  std::vector<std::string> texts;
  std::optional<std::string> file;
  std::vector<std::string> rendered;
  std::vector<std::string> asked;
  std::optional<std::string> askText(const char* title, const char*) override {
    asked.push_back(title);
    if (texts.empty()) return std::nullopt;
    auto t = texts.front();
    texts.erase(texts.begin());
    return t;
  }
  void setBusy(bool) override {}
  std::optional<std::string> askSaveFile(const char* title) override {
    asked.push_back(title);
    return file;
  }
  std::optional<std::string> askOpenFile(const char* title, bool scriptsOnly) override {
    asked.push_back(std::string(title) + (scriptsOnly ? " (scripts)" : ""));
    return file;
  }
  void openConnections(const SurfaceJob&) override { asked.push_back("connections"); }
  void openRenderer(const std::string& path) override { rendered.push_back(path); }
  bool colourDialogOpen() override { return false; }
  bool openColourDialog() override { return false; }
  PictureSource* renderer() override { return nullptr; }
};

std::vector<std::tuple<int, int>> g_items;
void recordItem(void*, int item, int state) {
  g_items.emplace_back(item, state);
}
Volume* g_input = nullptr;
int inputDialog(int, int, const char*, Volume** out) {
  *out = g_input;
  return g_input != nullptr;
}

TEST(ShadeModule, CommandsAskInOrderAndReportUnreadableDistancesAndFailures) {
  resetVolumeTable();
  ProgramBindings program = tableProgram();
  int token = 0;
  program.token = &token;
  program.setMenuItemState = &recordItem;
  program.getInputVolume = &inputDialog;
  g_errors.clear();

  ScriptedModuleUi ui;
  ui.file = "/tmp/none.scr";
  EXPECT_EQ(runCommand(program, ui, kItemRender), 0);
  EXPECT_EQ(ui.rendered, std::vector<std::string>{"/tmp/none.scr"});
  EXPECT_EQ(g_items, (std::vector<std::tuple<int, int>>{{4, 0}}))
      << "Set Object Colors is enabled after the window was asked for";
  EXPECT_EQ(ui.asked.back(), "Open Script File (scripts)");

  Volume* input = nullptr;
  ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_THREE_CHANNELS, 2, 8, 8, nullptr, &input), 0);
  g_input = input;
  ui.asked.clear();
  ui.texts = {"abc"};
  EXPECT_EQ(runCommand(program, ui, kItemBuildSurface), kInvalidParameters);
  EXPECT_EQ(ui.asked,
            (std::vector<std::string>{"Select Output Script File", "Interlayer Distance"}));
  ui.texts = {"2,5"};
  EXPECT_EQ(runCommand(program, ui, kItemBuildSurface), 0);
  EXPECT_EQ(ui.asked.back(), "connections");
  ui.file.reset();
  ui.asked.clear();
  EXPECT_EQ(runCommand(program, ui, kItemBuildLines), 0) << "a cancelled file dialog";
  EXPECT_EQ(ui.asked.size(), 1u);

  // Reading a script that does not exist into the chosen volume.
  ui.file = "/nonexistent/v3d/lines.scr";
  g_output = input;
  ui.texts = {"1"};
  EXPECT_EQ(runCommand(program, ui, kItemReadLines), kFopenError);
  EXPECT_EQ(g_errors, (std::vector<int>{kInvalidParameters, kFopenError}));
  EXPECT_EQ(runCommand(program, ui, kItemSnapshot) + runCommand(program, ui, 7), 0)
      << "no window, no snapshot; indexes above 6 are ignored";
  g_output = nullptr;
  g_input = nullptr;
  resetVolumeTable();
}

}  // namespace
}  // namespace v3d::test
