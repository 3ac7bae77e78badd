// The "Specify Object Connections" dialog's presenter: what opening builds, the rules of its
// buttons, "Finish", and the temporary files it leaves behind (none).
#include <gtest/gtest.h>

#include "core/strings.h"
#include "core/text_ids.h"
#include "shadeview/scripts/connections.h"
#include "shadeview_fixtures.h"

namespace v3d::test {
namespace {

using shade::ConnectionsPresenter;
using Type = ConnectionsPresenter::Type;

constexpr shade::Rgb kColours[] = {{200, 0, 0}, {0, 200, 0}, {0, 0, 200}};

// Three objects: a red and a green square in frame 0, a blue one and the red one in frame 1.
VolumePtr threeObjects() {
  auto v = make_colour(2, 16, 16);
  paint(v, 0, 2, 6, 2, 6, kColours[0]);
  paint(v, 0, 8, 12, 8, 12, kColours[1]);
  paint(v, 1, 8, 12, 8, 12, kColours[2]);
  paint(v, 1, 2, 6, 2, 6, kColours[0]);
  return v;
}

shade::SurfaceJob jobFor(Volume* v, const std::string& script) {
  shade::SurfaceJob job;
  job.volume = v;
  job.z0 = v->voiZ0;
  job.z1 = v->voiZ1;
  job.distance = 2.0f;
  job.scriptPath = script;
  return job;
}

TEST(ConnectionsPresenter, OpeningBuildsTheChainsAndListsTheObjects) {
  PrivateTmp tmp;
  auto v = threeObjects();
  ConnectionsPresenter p(CheckVolume, jobFor(v, tmp.path() + "/s.scr"));
  ASSERT_EQ(p.open(), 0);
  ASSERT_EQ(p.objects(), 3);
  EXPECT_EQ(ConnectionsPresenter::itemText(0), "Object 0");
  EXPECT_EQ(ConnectionsPresenter::itemText(12), "Object 12");
  for (int k = 0; k < 3; ++k) EXPECT_EQ(p.colour(k), kColours[k]);
  EXPECT_EQ(p.colour(-1), (shade::Rgb{}));
  EXPECT_EQ(p.colour(3), (shade::Rgb{}));
  EXPECT_EQ(p.type(), Type::Lower);
  EXPECT_EQ(p.count(), 0);
  EXPECT_FALSE(p.canSave() || p.canUndo() || p.canReset());
  EXPECT_EQ(p.connections(), shade::ConnectionTable(3));

  auto empty = make_colour(2, 8, 8);
  ConnectionsPresenter none(CheckVolume, jobFor(empty, tmp.path() + "/e.scr"));
  EXPECT_EQ(none.open(), kTextNoChains);
  auto grey = make_volume(2, 8, 8);
  ConnectionsPresenter wrong(CheckVolume, jobFor(grey, tmp.path() + "/g.scr"));
  EXPECT_EQ(wrong.open(), kWrongColorType);
  EXPECT_EQ(wrong.finish(), kGenericError) << "nothing to stitch before the chains exist";
}

TEST(ConnectionsPresenter, ButtonRules) {
  PrivateTmp tmp;
  auto v = threeObjects();
  ConnectionsPresenter p(CheckVolume, jobFor(v, tmp.path() + "/s.scr"));
  ASSERT_EQ(p.open(), 0);
  enum Op { A, B, Lower, Upper, Save, Undo, Reset };
  const struct {
    Op op;
    int arg;
    bool save, undo, reset;  // the three buttons afterwards
    int count;
    shade::ConnectionTable table;  // afterwards
  } steps[] = {
      {A, 0, false, false, false, 0, {{}, {}, {}}},  // B not chosen
      {B, 0, false, false, false, 0, {{}, {}, {}}},  // the same object
      {B, 1, true, false, false, 0, {{}, {}, {}}},
      {Save, 0, false, true, true, 1, {{-1, 1}, {}, {}}},  // lower of 0 is 1 already
      {Upper, 0, true, true, true, 1, {{-1, 1}, {}, {}}},
      {Save, 0, false, true, true, 2, {{1, 1}, {}, {}}},
      {B, 2, true, true, true, 2, {{1, 1}, {}, {}}},
      {Save, 0, false, true, true, 2, {{2, 1}, {}, {}}},    // replaced: no new count
      {Undo, 0, true, false, true, 1, {{-1, 1}, {}, {}}},   // undo forgets
      {Undo, 0, true, false, true, 1, {{-1, 1}, {}, {}}},   // nothing left to undo
      {A, 2, false, false, true, 1, {{-1, 1}, {}, {}}},     // A == B
      {Save, 0, false, false, true, 1, {{-1, 1}, {}, {}}},  // refused
      {B, 0, true, false, true, 1, {{-1, 1}, {}, {}}},
      {Save, 0, false, true, true, 2, {{-1, 1}, {}, {0, -1}}},
      {Lower, 0, true, true, true, 2, {{-1, 1}, {}, {0, -1}}},
      {A, 0, false, true, true, 2, {{-1, 1}, {}, {0, -1}}},
      {Reset, 0, false, false, false, 0, {{}, {}, {}}},
      {Reset, 0, false, false, false, 0, {{}, {}, {}}},
      {A, 7, false, false, false, 0, {{}, {}, {}}},  // no such object
  };
  int n = 0;
  for (const auto& s : steps) {
    switch (s.op) {
      case A:
        p.selectA(s.arg);
        break;
      case B:
        p.selectB(s.arg);
        break;
      case Lower:
        p.setType(Type::Lower);
        break;
      case Upper:
        p.setType(Type::Upper);
        break;
      case Save:
        p.save();
        break;
      case Undo:
        p.undo();
        break;
      case Reset:
        p.reset();
        break;
    }
    SCOPED_TRACE(testing::Message() << "step " << n++);
    EXPECT_EQ(p.canSave(), s.save);
    EXPECT_EQ(p.canUndo(), s.undo);
    EXPECT_EQ(p.canReset(), s.reset);
    EXPECT_EQ(p.count(), s.count);
    EXPECT_EQ(p.connections(), s.table);
  }
}

TEST(ConnectionsPresenter, FinishWritesTheSurfaceScriptAndEveryTemporaryFileGoes) {
  PrivateTmp tmp;
  const std::string out = tmp.path() + "/s.scr";
  auto v = threeObjects();
  std::string reference;
  {
    // The same steps by hand, with green (1) continuing into blue (2) above it.
    shade::ScratchFolder s;
    const std::string chains = s.prefix("~chn"), stitches = s.prefix("~tri");
    shade::ColourTable colours;
    ASSERT_EQ(shade::BuildChains(CheckVolume, v, chains.c_str(), 4, &colours), 3);
    shade::ConnectionTable t(3);
    t[1].upper = 2;
    ASSERT_EQ(shade::StitchContours(chains.c_str(), stitches.c_str(), 0, 2, 3, &t), 0);
    ASSERT_EQ(
        shade::WriteSurfaceScript(out.c_str(), chains.c_str(), stitches.c_str(), 2.0f, 0, 2, 4), 0);
    reference = readText(out);
    std::remove(out.c_str());
  }
  ASSERT_TRUE(tmp.empty());
  {
    ConnectionsPresenter p(CheckVolume, jobFor(v, out));
    ASSERT_EQ(p.open(), 0);
    p.setType(Type::Upper);
    p.selectA(1);
    p.selectB(2);
    ASSERT_TRUE(p.save());
    ASSERT_EQ(p.finish(), 0);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp.path()), {}), 2)
        << "the script and the dialog's scratch folder";
  }
  EXPECT_EQ(readText(out), reference);
  // Red meets red in layer 1, green meets blue in green's layer 2; blue has no layer of its own.
  EXPECT_NE(reference.find("Layer\nSet\n1\n\n3DFACE"), std::string::npos);
  EXPECT_NE(reference.find("Layer\nSet\n2\n\n3DFACE"), std::string::npos);
  EXPECT_EQ(reference.find("Layer\nSet\n3\n"), std::string::npos);
  std::remove(out.c_str());
  EXPECT_TRUE(tmp.empty()) << "chain and stitch files gone with the dialog";
}

// The module reports these through the program's error_handler, so the program holds them.
TEST(ConnectionsPresenter, TheModulesMessagesAreInTheProgramsStringTable) {
  EXPECT_EQ(text(kTextNoOpenGl), "System does not support OpenGL requirements");
  EXPECT_EQ(text(kTextNoChains), "Input volume contains no chains.");
  EXPECT_EQ(text(kTextLinesLost),
            "Part of information has been lost due to\n inadequate output volume dimensions.");
  EXPECT_EQ(text(-kFileParsingError), "File parsing error");
}

}  // namespace
}  // namespace v3d::test
