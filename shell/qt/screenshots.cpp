// velmora3d-screenshots OUTDIR: renders the frame with each main menu open and every dialog
// of the shell, on the demo volume, into PNG files, so that they can be looked at as a user
// sees them. Runs on any Qt platform, offscreen included.
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstring>
#include <functional>

#include "core/samples.h"
#include "core/strings.h"
#include "core/table.h"
#include "core/text_ids.h"
#include "shell/alignment_toolbox.h"
#include "shell/commands.h"
#include "shell/coordinates.h"
#include "shell/demo_volume.h"
#include "shell/dialogs.h"
#include "shell/exports.h"
#include "shell/qt/align_toolbox_view.h"
#include "shell/projection_model.h"
#include "shell/qt/control_ids.h"
#include "shell/qt/exports.h"
#include "shell/qt/frame.h"
#include "shell/qt/open_view.h"
#include "shell/qt/progress_dialog.h"
#include "shell/qt/qt_desk.h"
#include "shell/qt/views.h"
#include "shell/qt/window_registry.h"
#include "algorithms/edges.h"
#include "shell/command_ids.h"
#include "shell/contour_following.h"
#include "shell/labelled_view.h"
#include "shell/qt/labelled_view_dialog.h"
#include "shell/qt/updating_box.h"
#include <QMdiArea>
#include <QMouseEvent>
#include "shell/scripted_desk.h"

using namespace v3d;
using namespace v3d::shell;

namespace {

QString g_dir;

void save(QWidget* w, const QString& name) {
  w->adjustSize();
  w->show();
  QApplication::processEvents();
  w->grab().save(g_dir + "/" + name + ".png");
  w->hide();
}

void volumeDialog(VolumeDialogKind kind, const std::string& title, const QString& name,
                  const std::function<void(VolumeDialog&)>& setup = {}) {
  VolumeDialog d(kind);
  d.title = title;
  d.suggestedX = 128;
  d.suggestedY = 128;
  d.suggestedZ = 64;
  qt::VolumeDialogView view(d);
  if (setup) setup(d);
  save(&view, name);
}

// The labelled volume view on eight ball-shaped objects with a few recoloured and one hidden,
// beside a display of its output; the "Updating projections ..." box; a frame gallery with
// its red marker on the tile under the pointer.
void labelledViewShots(qt::Frame& frame) {
  frame.mdiArea()->closeAllSubWindows();
  Volume* labels = nullptr;
  Volume* colours = nullptr;
  if (CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 8, 200, 320, nullptr, &labels) != 0 ||
      CreateVolumeEx(V3D_UC, V3D_THREE_CHANNELS, 8, 200, 320, nullptr, &colours) != 0)
    return;
  for (int k = 0; k < 8; ++k) {
    const int cx = 45 + (k % 4) * 76, cy = 52 + (k / 4) * 96, r = 24 + (k * 7) % 13;
    for (int z = 0; z < 8; ++z)
      for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x)
          if ((x - cx) * (x - cx) + (y - cy) * (y - cy) + (z - 4) * (z - 4) * 16 <= r * r)
            static_cast<unsigned char***>(labels->channel[0])[z][y][x] =
                static_cast<unsigned char>(k + 1);
  }
  auto view = std::make_unique<LabelledView>(GetVolumeIndex(labels), GetVolumeIndex(colours), 8);
  if (view->open() != 0) return;
  view->select(2);
  view->setComponent(0, 255), view->setComponent(1, 40), view->setComponent(2, 40);
  view->select(5);
  view->setComponent(0, 30), view->setComponent(1, 200), view->setComponent(2, 60);
  view->select(7);
  view->setVisible(false);
  view->updateAll();
  view->select(4);
  view->setComponent(2, 0);  // edited, not yet written: the update buttons are enabled
  frame.desk().openDisplay(colours, true, 4, 7, 0.0f);
  frame.desk().openLabelledView(std::move(view));
  QApplication::processEvents();
  if (auto* d = frame.desk().labelledViewDialog()) {
    d->adjustSize();
    QApplication::processEvents();
    const QPixmap dialog = d->grab();
    dialog.save(g_dir + "/dialog-122.png");
    QPixmap shot = frame.grab();
    QPainter p(&shot);
    p.drawPixmap(shot.width() - dialog.width() - 10, shot.height() - dialog.height() - 10, dialog);
    p.end();
    shot.save(g_dir + "/labelled-view.png");
    delete d;
  }
  freedisWin(colours);
  {
    qt::UpdatingBox box(&frame);
    box.name("Frame Gallery of Volume  0.");
    save(&box, "dialog-125");
  }
  Volume* demo = volumeSlot(0);
  const GalleryParameters gp{0, demo->Y, 0, demo->X, 0, std::min(12, demo->Z), 4, 0};
  int w = 0, h = 0;
  ProjectionPtr p(CreateProjection(kFrameGalleryType, demo, sizeof gp));
  if (!p || !galleryPictureSize(gp, &w, &h)) return;
  std::memcpy(p->extra, &gp, sizeof gp);
  BufferPtr b(
      CreateBuffer(demo->colorType == V3D_ONE_CHANNEL ? V3D_BUFFER_GREY : V3D_BUFFER_COLOUR, w, h));
  if (!b || produceGalleryPicture(*p, *b) != 0) return;
  if (!frame.desk().showProjection(std::move(p), std::move(b), "Frame Gallery of Volume  0."))
    return;
  auto galleries = frame.windows().projectionsOf(demo);
  if (galleries.empty()) return;
  QWidget* pane = galleries.back()->pane();
  const QPointF at(150, 40);
  QMouseEvent move(QEvent::MouseMove, at, pane->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QApplication::sendEvent(pane, &move);
  QApplication::processEvents();
  frame.grab().save(g_dir + "/frame-gallery-marker.png");
  freedisWin(demo);
}

// The scripted desk's answers, with the frame's status bar and the Qt desk's long work.
class ShotDesk : public ScriptedDesk {
 public:
  explicit ShotDesk(qt::Frame& frame) : frame_(frame) {}
  void showStatus(const std::string& text) override { frame_.desk().showStatus(text); }
  int runLong(LongWork& work) override { return qt::runWithProgress(work, &frame_, 0); }

 private:
  qt::Frame& frame_;
};

// The daily-use additions: a magnified display, the Window menu with its list, the progress
// dialog of a long median, and the status bar after a command.
void daily(qt::Frame& frame, Volume* demo) {
  auto displays = frame.windows().displaysOf(demo);
  if (!displays.empty()) {
    displays[0]->zoomIn();
    displays[0]->magnify(4);
    QApplication::processEvents();
    frame.grab().save(g_dir + "/display-magnified.png");
    displays[0]->magnify(1);
  }
  frame.desk().openSectionView(demo);
  QApplication::processEvents();
  QMenu* windowMenu = frame.menuBar()->actions().last()->menu();
  if (windowMenu) {
    const QRect r = frame.menuBar()->actionGeometry(frame.menuBar()->actions().last());
    windowMenu->popup(frame.menuBar()->mapToGlobal(r.bottomLeft()));
    QApplication::processEvents();
    QPixmap shot = frame.grab();
    QPainter p(&shot);
    p.drawPixmap(frame.menuBar()->mapTo(&frame, r.bottomLeft()), windowMenu->grab());
    p.end();
    shot.save(g_dir + "/window-menu.png");
    windowMenu->hide();
  }
  ShotDesk desk(frame);
  Volume* big = nullptr;
  if (CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 64, 256, 256, nullptr, &big) == 0) {
    const int bigIndex = GetVolumeIndex(big);
    for (int z = 0; z < big->Z; ++z)
      for (int y = 0; y < big->Y; ++y)
        for (int x = 0; x < big->X; ++x)
          channelData<UC>(*big, 0)[z][y][x] = static_cast<UC>((x * 7 + y * 13 + z * 29) % 251);
    // The dialog is taken once it tells of a few frames, then the run is cancelled.
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
      for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == qt::kProgressDialog && w->isVisible()) {
          auto* bar = w->findChild<QProgressBar*>(qt::kProgressBar);
          auto* cancel = w->findChild<QPushButton*>(QString::number(kCtlCancel));
          if (bar && bar->value() >= 3 && cancel && cancel->isEnabled()) {
            QPixmap shot = frame.grab();
            QPainter p(&shot);
            p.drawPixmap(frame.width() / 2 - w->width() / 2, frame.height() / 3, w->grab());
            p.end();
            shot.save(g_dir + "/progress.png");
            cancel->click();
          }
        }
    });
    watch.start(20);
    desk.script({pick(std::to_string(bigIndex)), pickNew(GetNewVolumeIndex(), 256, 256, 64),
                 values({"7", "7", "7"})});
    dispatch(desk, kCmdStandardMedian);
    watch.stop();
    DestroyVolume(big);
  }
  desk.script({pick("0"), pickNew(GetNewVolumeIndex(), demo->X, demo->Y, demo->Z),
               values({"3", "3", "3"})});
  dispatch(desk, kCmdStandardMedian);
  QApplication::processEvents();
  frame.grab().save(g_dir + "/status-bar.png");
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  g_dir = argc > 1 ? argv[1] : "screenshots";
  QDir().mkpath(g_dir);
  qt::Frame frame;
  frame.resize(1000, 700);
  createDemoVolume(nullptr);
  Volume* second = nullptr;
  CreateVolumeEx(V3D_F, V3D_THREE_CHANNELS, 16, 32, 48, nullptr, &second);
  frame.show();
  QApplication::processEvents();
  frame.grab().save(g_dir + "/frame.png");

  // The frame with each top-level menu open, the menu drawn into the frame's picture.
  int k = 0;
  for (QAction* top : frame.menuBar()->actions()) {
    QMenu* menu = top->menu();
    if (!menu) continue;
    const QRect r = frame.menuBar()->actionGeometry(top);
    menu->popup(frame.menuBar()->mapToGlobal(r.bottomLeft()));
    QApplication::processEvents();
    QPixmap shot = frame.grab();
    QPainter p(&shot);
    p.drawPixmap(frame.menuBar()->mapTo(&frame, r.bottomLeft()), menu->grab());
    // Open the first submenu too, so that nested popups are seen.
    for (QAction* a : menu->actions())
      if (a->menu()) {
        const QRect ar = menu->actionGeometry(a);
        p.drawPixmap(frame.menuBar()->mapTo(&frame, r.bottomLeft()) + ar.topRight(),
                     a->menu()->grab());
        break;
      }
    p.end();
    shot.save(g_dir + QString("/menu-%1.png").arg(k++));
    menu->hide();
  }

  volumeDialog(VolumeDialogKind::Input, "Select Input Volume", "dialog-102",
               [](VolumeDialog& d) { d.select(0); });
  volumeDialog(VolumeDialogKind::Choice, std::string(text(kTitleDialog104)), "dialog-104");
  volumeDialog(VolumeDialogKind::OpenTarget, "Select Volume to Open", "dialog-105");
  volumeDialog(VolumeDialogKind::Output, "Select Output Volume", "dialog-106");
  volumeDialog(VolumeDialogKind::Create, std::string(text(kTitleDialog113)), "dialog-113");
  volumeDialog(VolumeDialogKind::Voi, std::string(text(kTitleDialog115)), "dialog-115");
  volumeDialog(VolumeDialogKind::State, std::string(text(kTitleDialog117)), "dialog-117");
  volumeDialog(VolumeDialogKind::Destroy, "Select Volume to Free", "dialog-126");

  for (int n = 1; n <= 4; ++n) {
    ValueDialog d(n);
    d.title = std::string(text(n == 3 ? kTitleWindowDimensions : kTitleDialog107 + n - 1));
    const int prompts[4] = {kPromptXDimension, kPromptYDimension, kPromptZDimension,
                            kPromptNoiseVariance};
    for (int i = 0; i < n; ++i)
      d.prompts[static_cast<std::size_t>(i)] = std::string(text(prompts[i]));
    qt::ValueDialogView view(d);
    save(&view, QString("dialog-%1").arg(106 + n));
  }
  {
    DisplayLevelsDialog d(64);
    qt::DisplayLevelsView view(d);
    save(&view, "dialog-114");
  }
  {
    InterpolationDialog d(false);
    d.title = std::string(text(kTitleInterpolation3d));
    qt::InterpolationView view(d);
    save(&view, "dialog-116");
  }
  {
    WeightsSourceDialog d;
    qt::WeightsSourceView view(d);
    save(&view, "dialog-118");
  }
  {
    BinaryInterpolationDialog d;
    qt::BinaryInterpolationView view(d);
    save(&view, "dialog-119");
  }
  {
    AboutDialog d;
    d.text = std::string(text(kTextAbout));
    qt::AboutView view(d);
    save(&view, "dialog-120");
  }
  {
    AlignmentDialog d(64);
    qt::AlignmentView view(d);
    save(&view, "dialog-121");
  }
  {
    FrameGalleryDialog d;
    qt::FrameGalleryView view(d);
    save(&view, "dialog-111");
  }
  // A display window on the demo volume at two zooms, the section view, the coordinates
  // window with a readout.
  Volume* demo = volumeSlot(0);
  DisplayVolume(demo);
  QApplication::processEvents();
  auto displays = frame.windows().displaysOf(demo);
  if (!displays.empty()) {
    displays[0]->button(kNextFrame);
    for (int i = 0; i < 30; ++i) displays[0]->button(kNextFrame);
    QApplication::processEvents();
    frame.grab().save(g_dir + "/display-zoom1.png");
    displays[0]->zoomOut();
    QApplication::processEvents();
    frame.grab().save(g_dir + "/display-zoom2.png");
  }
  daily(frame, demo);
  freedisWin(demo);
  // A frame gallery of the demo volume's first 12 frames, 4 to a row.
  {
    const GalleryParameters gp{0, demo->Y, 0, demo->X, 0, std::min(12, demo->Z), 4, 0};
    int w = 0, h = 0;
    ProjectionPtr p(CreateProjection(kFrameGalleryType, demo, sizeof gp));
    if (p && galleryPictureSize(gp, &w, &h)) {
      std::memcpy(p->extra, &gp, sizeof gp);
      BufferPtr b(CreateBuffer(
          demo->colorType == V3D_ONE_CHANNEL ? V3D_BUFFER_GREY : V3D_BUFFER_COLOUR, w, h));
      if (b && produceGalleryPicture(*p, *b) == 0 &&
          DisplayProjection(p.get(), b.get(), "Frame Gallery of Volume  0.") != nullptr) {
        p.release();
        b.release();
        QApplication::processEvents();
        frame.grab().save(g_dir + "/frame-gallery.png");
      }
    }
  }
  freedisWin(demo);
  // A colour contour following pair in use on the demo's edges: chains followed in two
  // colours and one drawn across, on frame 32.
  {
    Volume *edges = nullptr, *chains = nullptr;
    CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, demo->Z, demo->Y, demo->X, nullptr, &edges);
    CreateVolumeEx(V3D_UC, V3D_THREE_CHANNELS, demo->Z, demo->Y, demo->X, nullptr, &chains);
    int code = -1;
    std::unique_ptr<ContourSession> s;
    if (edges && chains && Sobel_3D(demo, edges) == 0 && convertToColour(edges) == 0)
      s = ContourSession::start(kCmdColorContourFollowing, edges, chains, &code);
    if (s && frame.desk().openContourPair(*s, [] { contourMode().clear(); })) {
      ContourSession* cs = s.get();
      contourMode().begin(std::move(s));
      frame.desk().checkCommand(kCmdColorContourFollowing, true);
      if (auto windows = frame.windows().displaysOf(edges); !windows.empty())
        for (int i = 0; i < 32; ++i) windows[0]->button(kNextFrame);
      cs->setColour({255, 70, 70});
      cs->follow(91, 64);
      cs->setColour({80, 200, 255});
      cs->follow(100, 80);
      cs->setColour({90, 255, 90});
      cs->follow(49, 86);
      cs->setColour({255, 220, 0});
      cs->draw(8, 116, 120, 100);
      DisplayVolume(edges);
      DisplayVolume(chains);
      QApplication::processEvents();
      frame.grab().save(g_dir + "/contour-pair.png");
      frame.desk().closeContourPair();
      frame.desk().checkCommand(kCmdColorContourFollowing, false);
      contourMode().clear();
    }
  }
  frame.desk().openSectionView(demo);
  QApplication::processEvents();
  frame.grab().save(g_dir + "/section-view.png");
  frame.desk().toggleCoordinates();
  PrintCoordinates(kReadoutColour, 64, 70, 32, 200, 120, 40);
  if (QWidget* w = frame.windows().coordinates()) {
    QApplication::processEvents();
    w->grab().save(g_dir + "/coordinates.png");
  }
  for (int kind : {1, 6, 7}) {
    OpenDialog d;
    d.setKind(kind);
    if (kind == 6) d.setColorRow(1);
    qt::OpenDialogView view(d);
    view.resize(760, 520);
    view.show();
    QApplication::processEvents();
    view.grab().save(g_dir + QString("/open-kind%1.png").arg(kind));
    view.hide();
  }
  // A manual alignment of the demo volume in progress: a middle frame shifted and turned over
  // the blue frame before it, with the tool box drawn beside its window.
  freedisWin(demo);
  {
    Volume* aligned = nullptr;
    if (CreateVolumeEx(V3D_UC, demo->colorType, demo->Z, demo->Y, demo->X, nullptr, &aligned) ==
            kSuccess &&
        startAlignment(frame.desk(), demo, aligned, demo->Z / 2 - 1, demo->Z - 1) == kSuccess) {
      AlignmentToolBox* box = runningAlignment();
      for (int b : {AlignmentToolBox::kNext, AlignmentToolBox::kLeft10, AlignmentToolBox::kUp10,
                    AlignmentToolBox::kCw5, AlignmentToolBox::kCw5, AlignmentToolBox::kCw5})
        box->press(b);
      QApplication::processEvents();
      QPixmap shot = frame.grab();
      for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QString::number(kDialogAlignToolBox) && w->isVisible()) {
          const QPixmap tools = w->grab();
          tools.save(g_dir + "/dialog-112.png");
          QPainter p(&shot);
          p.drawPixmap(shot.width() - tools.width() - 20, 60, tools);
        }
      shot.save(g_dir + "/alignment.png");
      endAlignment();
      QApplication::processEvents();
    }
  }
  labelledViewShots(frame);
  resetVolumeTable();
  return 0;
}
