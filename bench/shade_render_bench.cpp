// The surface renderer on a large scene: a script of 200 000 faces (a tube of 100 stitched
// contours of 1 000 vertices, on four layers, as the surface script writer lays it out) read
// and parsed, then also compiled into display lists, and the window redrawing it at 800 x 600:
// one on-screen repaint a run, timed by the clock (the rasteriser draws on worker threads),
// with the CPU time of all threads a frame costs beside it. Needs a display with GLX:
//
//   xvfb-run -a -s '-screen 0 1280x1024x24 +extension GLX' build/bench/v3d_bench_shade_render
#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QApplication>
#include <QImage>
#include <QTest>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "shadeview/qt/render_view.h"
#include "shadeview/scene.h"

namespace {

using namespace v3d::shade;

constexpr int kContours = 101;  // 100 frame pairs
constexpr int kVertices = 1000;

// Writes the tube once; every face shares its corners with its neighbours.
const std::string& tubeScript() {
  static const std::string path = [] {
    const std::string p =
        (std::filesystem::temp_directory_path() / "v3d_bench_tube_200k.scr").string();
    std::FILE* f = std::fopen(p.c_str(), "w");
    for (int k = 1; k <= 4; ++k) std::fprintf(f, "Layer\nNew\n%d\nColor\n%d\n%d\n\n", k, k, k);
    const auto point = [](int z, int i) {
      const double a = 2 * M_PI * i / kVertices;
      const double r = 200 + 40 * std::sin(z * 0.2) + 10 * std::cos(5 * a);
      return std::array<double, 3>{256 + r * std::cos(a), 256 + r * std::sin(a), z * 2.0};
    };
    for (int z = 0; z + 1 < kContours; ++z) {
      std::fprintf(f, "Layer\nSet\n%d\n\n", 1 + z * 4 / (kContours - 1));
      for (int i = 0; i < kVertices; ++i) {
        const auto a = point(z, i), b = point(z + 1, i), c = point(z, (i + 1) % kVertices),
                   d = point(z + 1, (i + 1) % kVertices);
        for (const auto& t : {std::array{a, b, c}, std::array{c, b, d}})
          std::fprintf(f,
                       "3DFACE %-3.1f,%-3.1f,%-3.1f\n%-3.1f,%-3.1f,%-3.1f\n%-3.1f,%-3.1f,%-3.1f"
                       "\n\n\n",
                       t[0][0], t[0][1], t[0][2], t[1][0], t[1][1], t[1][2], t[2][0], t[2][1],
                       t[2][2]);
      }
    }
    std::fclose(f);
    return p;
  }();
  return path;
}

std::size_t faces(const Scene& s) {
  std::size_t n = 0;
  for (const SceneObject& o : s.objects) n += o.faceCount();
  return n;
}

void BM_LoadScript200kFaces(benchmark::State& state) {
  const std::string& path = tubeScript();
  for (auto _ : state) {
    Scene scene;
    if (loadScene(path.c_str(), scene) != 0) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(scene.radius);
    state.counters["faces"] = double(faces(scene));
  }
}
BENCHMARK(BM_LoadScript200kFaces)->Unit(benchmark::kMillisecond);

// One window for the GL benchmarks, 800 x 600 and on screen.
qt::RenderView* window() {
  static qt::RenderView* view = [] {
    auto* v = new qt::RenderView(nullptr);
    v->resize(800, 600);
    v->show();
    (void)QTest::qWaitForWindowExposed(v);
    return v->ensureContext() ? v : nullptr;
  }();
  return view;
}

void BM_LoadAndCompile200kFaces(benchmark::State& state) {
  qt::RenderView* view = window();
  if (view == nullptr) {
    state.SkipWithError("no OpenGL context");
    return;
  }
  const std::string& path = tubeScript();
  for (auto _ : state) {
    Scene scene;
    if (loadScene(path.c_str(), scene) != 0 || view->setScene(scene) != 0)
      state.SkipWithError("load or compile failed");
  }
}
BENCHMARK(BM_LoadAndCompile200kFaces)->Unit(benchmark::kMillisecond);

void BM_Redraw200kFacesAt800x600(benchmark::State& state) {
  qt::RenderView* view = window();
  if (view == nullptr) {
    state.SkipWithError("no OpenGL context");
    return;
  }
  Scene scene;
  if (loadScene(tubeScript().c_str(), scene) != 0 || view->setScene(scene) != 0) {
    state.SkipWithError("load failed");
    return;
  }
  int w = 0, h = 0;
  view->viewportSize(w, h);
  state.counters["pixels"] = double(w) * h;
  std::uint8_t pixel[3];
  int turn = 0;
  // The rasteriser draws on worker threads: the process's CPU time over all threads tells what
  // a frame costs on a machine shared with other work.
  const auto processCpu = [] {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
  };
  const double cpu0 = processCpu();
  for (auto _ : state) {
    // Turning the view and drawing the frame: grabbing renders the scene into the widget's
    // framebuffer and reads it back, so every iteration draws a whole frame (a repaint of a
    // window that the platform does not expose would be skipped); the read-back of 800 x 600
    // pixels is included, as putting the frame on screen would be.
    view->setRotation({20, double(turn++ % 360)});
    const QImage frame = view->grabFramebuffer();
    pixel[0] = frame.isNull() ? 0 : static_cast<std::uint8_t>(qRed(frame.pixel(0, 0)));
    benchmark::DoNotOptimize(pixel[0]);
  }
  state.counters["all_threads_cpu_ms_per_frame"] =
      (processCpu() - cpu0) / double(std::max<benchmark::IterationCount>(1, state.iterations()));
  state.SetItemsProcessed(state.iterations());  // frames: items_per_second is the frame rate
}
BENCHMARK(BM_Redraw200kFacesAt800x600)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
