// Histograms, cumulative histograms and equalization against plain counting references.
#include <cmath>
#include <vector>

#include "algorithms/histograms.h"
#include "core/alloc.h"
#include "core/basic_ops.h"
#include "fixtures.h"

namespace v3d::test {
namespace {

struct Histograms {
  std::vector<float> data = std::vector<float>(3 * 256, -1.0f);
  float* ptr[3] = {data.data(), data.data() + 256, data.data() + 512};
};

TEST(HistogramsTest, DensityAndCumulativeMatchCountsOverTheVoi) {
  std::mt19937 rng(1);
  for (int trial = 0; trial < 20; ++trial) {
    const int channels = trial % 2 ? 3 : 1;
    const int Z = 1 + rng() % 6, Y = 1 + rng() % 7, X = 1 + rng() % 40;
    OwnedVolume v(V3D_UC, channels == 3 ? 2 : 1, Z, Y, X);
    fillRandom(v, 10 + trial);
    const Box b{static_cast<int>(rng() % Z), Z, 0, Y, static_cast<int>(rng() % X), X};
    setVoi(v, b);
    const auto before = snapshot(v);
    Histograms h;
    ASSERT_EQ(hist3(v, h.ptr), 0);
    EXPECT_EQ(snapshot(v), before);
    const float voxels = static_cast<float>(b.depth() * b.height() * b.width());
    for (int c = 0; c < channels; ++c) {
      std::vector<long> count(256, 0);
      for (int z = b.z0; z < b.z1; ++z)
        for (int y = b.y0; y < b.y1; ++y)
          for (int x = b.x0; x < b.x1; ++x) ++count[at<UC>(v, c, z, y, x)];
      for (int i = 0; i < 256; ++i)
        ASSERT_EQ(h.ptr[c][i], static_cast<float>(count[i]) / voxels) << c << " " << i;
      std::vector<float> cdf(256);
      ASSERT_EQ(cdfhist3(h.ptr[c], cdf.data()), 0);
      float run = 0;
      for (int i = 0; i < 256; ++i) {
        run = i == 0 ? h.ptr[c][0] : run + h.ptr[c][i];
        ASSERT_EQ(cdf[i], run);
      }
      EXPECT_NEAR(cdf[255], 1.0f, 1e-5f);
      // The cumulative form may overwrite the density.
      ASSERT_EQ(cdfhist3(h.ptr[c], h.ptr[c]), 0);
      EXPECT_EQ(std::vector<float>(h.ptr[c], h.ptr[c] + 256), cdf);
    }
    if (channels == 1) {
      EXPECT_EQ(h.data[256], -1.0f) << "only one channel's array is written";
    }
  }
}

TEST(HistogramsTest, EqualizationMapsThroughTheRoundedCumulativeTable) {
  std::mt19937 rng(2);
  for (int trial = 0; trial < 20; ++trial) {
    const int colour = trial % 2 ? V3D_THREE_CHANNELS : V3D_ONE_CHANNEL;
    const int Z = 1 + rng() % 5, Y = 1 + rng() % 6, X = 1 + rng() % 30;
    OwnedVolume in(V3D_UC, colour, Z, Y, X), out(V3D_UC, colour, Z + 1, Y, X + 2);
    fillRandom(in, 20 + trial);
    fillRandom(out, 40 + trial);
    for (int c = 0; c < channelCount(*in.get()); ++c)  // squeeze the range: a real stretch
      for (int z = 0; z < Z; ++z)
        for (int y = 0; y < Y; ++y)
          for (int x = 0; x < X; ++x) at<UC>(in, c, z, y, x) = 100 + at<UC>(in, c, z, y, x) / 8;
    const Box b{0, Z, static_cast<int>(rng() % Y), Y, 0, static_cast<int>(1 + rng() % X)};
    setVoi(in, b);
    const auto before = snapshot(out);
    ASSERT_EQ(HistogramEqual3d(in, out), 0);
    Histograms density, cumulative;
    ASSERT_EQ(hist3(in, density.ptr), 0);
    std::size_t k = sizeof(Volume);
    for (int c = 0; c < channelCount(*out.get()); ++c) {
      ASSERT_EQ(cdfhist3(density.ptr[c], cumulative.ptr[c]), 0);
      for (int z = 0; z < out->Z; ++z)
        for (int y = 0; y < out->Y; ++y)
          for (int x = 0; x < out->X; ++x, ++k) {
            const bool inside =
                z >= b.z0 && z < b.z1 && y >= b.y0 && y < b.y1 && x >= b.x0 && x < b.x1;
            const int want =
                inside ? static_cast<int>(cumulative.ptr[c][at<UC>(in, c, z, y, x)] * 255 + 0.5)
                       : before[k];
            ASSERT_EQ(at<UC>(out, c, z, y, x), want) << c << " " << z << " " << y << " " << x;
          }
    }
  }
}

TEST(HistogramsTest, ConstantVoisTopLevelsAndInPlaceEqualization) {
  OwnedVolume v(V3D_UC, V3D_THREE_CHANNELS, 3, 4, 5);
  float level[3] = {0, 42, 255};
  ClearVolume(v, level);
  Histograms h;
  ASSERT_EQ(hist3(v, h.ptr), 0);
  for (int c = 0; c < 3; ++c) EXPECT_EQ(h.ptr[c][static_cast<int>(level[c])], 1.0f);
  ASSERT_EQ(HistogramEqual3d(v, v), 0);  // in place: every constant becomes 255
  for (int c = 0; c < 3; ++c) EXPECT_EQ(at<UC>(v, c, 2, 3, 4), 255);

  OwnedVolume r(V3D_UC, V3D_ONE_CHANNEL, 8, 8, 8), copy(V3D_UC, V3D_ONE_CHANNEL, 8, 8, 8);
  fillRandom(r, 3);
  at<UC>(r, 0, 1, 1, 1) = 255;
  CopyVolume(r, copy, 0, 0, 0);
  ASSERT_EQ(HistogramEqual3d(r, copy), 0);
  ASSERT_EQ(HistogramEqual3d(r, r), 0);
  EXPECT_EQ(samples(r), samples(copy));
  EXPECT_EQ(at<UC>(r, 0, 1, 1, 1), 255);
}

TEST(HistogramsTest, BadArgumentsGetTheirCodesAndWriteNothing) {
  OwnedVolume in(V3D_UC, V3D_THREE_CHANNELS, 3, 4, 5), out(V3D_UC, V3D_THREE_CHANNELS, 3, 4, 5);
  OwnedVolume small(V3D_UC, V3D_THREE_CHANNELS, 3, 3, 5), grey(V3D_UC, V3D_ONE_CHANNEL, 3, 4, 5);
  OwnedVolume floats(V3D_F, V3D_ONE_CHANNEL, 3, 4, 5);
  fillRandom(in, 1);
  fillRandom(out, 2);
  fillRandom(grey, 3);
  Histograms h;
  float* partial[3] = {h.ptr[0], nullptr, h.ptr[2]};
  EXPECT_EQ(hist3(nullptr, h.ptr), kNullVolume);
  EXPECT_EQ(hist3(floats, h.ptr), kWrongDataType);
  EXPECT_EQ(hist3(in, nullptr), -2);
  EXPECT_EQ(hist3(in, partial), -2);
  EXPECT_EQ(h.data[0], -1.0f);
  float* greyOnly[1] = {h.ptr[0]};
  EXPECT_EQ(hist3(grey, greyOnly), 0);
  EXPECT_EQ(cdfhist3(nullptr, h.ptr[1]), -2);
  EXPECT_EQ(cdfhist3(h.ptr[0], nullptr), -2);

  const auto outBefore = snapshot(out), greyBefore = snapshot(grey);
  EXPECT_EQ(histeq3(in, floats, h.ptr), kWrongDataType);
  EXPECT_EQ(histeq3(in, small, h.ptr), kInvalidOutputDimensions);
  EXPECT_EQ(histeq3(in, small, nullptr), kInvalidOutputDimensions);
  EXPECT_EQ(histeq3(in, out, nullptr), -2);
  EXPECT_EQ(histeq3(in, out, partial), -2);
  // A one-channel output cannot take three channels.
  EXPECT_EQ(histeq3(in, grey, h.ptr), kInvalidOutputColorType);
  EXPECT_EQ(HistogramEqual3d(in, grey), kInvalidOutputColorType);
  EXPECT_EQ(HistogramEqual3d(in, small), kInvalidOutputDimensions);
  EXPECT_EQ(HistogramEqual3d(floats, out), kWrongDataType);
  failAllocationsAfter(0);
  const long live = liveStorageBlocks();
  EXPECT_EQ(HistogramEqual3d(in, out), kCannotAllocateBuffer);
  EXPECT_EQ(hist3(in, h.ptr), kCannotAllocateBuffer);
  failAllocationsAfter(-1);
  EXPECT_EQ(liveStorageBlocks(), live);
  EXPECT_EQ(snapshot(out), outBefore);
  EXPECT_EQ(snapshot(grey), greyBefore);

  // A caller's table outside 0..1 is clipped, never stored as an undefined sample.
  std::vector<float> wild(256);
  for (int i = 0; i < 256; ++i) wild[i] = i % 3 == 0 ? -4.0f : i % 3 == 1 ? 9.0f : NAN;
  float* wildPtr[1] = {wild.data()};
  ASSERT_EQ(histeq3(grey, grey, wildPtr), 0);
  for (int x = 0; x < 5; ++x) {
    const int v = greyBefore[sizeof(Volume) + x];
    EXPECT_EQ(at<UC>(grey, 0, 0, 0, x), v % 3 == 1 ? 255 : 0);
  }
}

}  // namespace
}  // namespace v3d::test
