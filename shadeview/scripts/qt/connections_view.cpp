#include "shadeview/scripts/qt/connections_view.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "shadeview/scripts/texts.h"

namespace v3d::shade {
namespace {

QPointer<ConnectionsView> g_open;

// The wait cursor for a scope, ended early before a message is shown.
class WaitCursor {
 public:
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { end(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
  void end() {
    if (on_) QApplication::restoreOverrideCursor();
    on_ = false;
  }

 private:
  bool on_ = true;
};

QString id(int control) {
  return QString::number(control);
}

void paintPreview(QLabel* preview, Rgb c) {
  QPalette pal = preview->palette();
  pal.setColor(QPalette::Window, QColor(c.r, c.g, c.b));
  preview->setPalette(pal);
}

}  // namespace

ConnectionsView::ConnectionsView(std::unique_ptr<ConnectionsPresenter> presenter,
                                 ConnectionsServices services, QWidget* parent)
    : QDialog(parent), p_(std::move(presenter)), services_(std::move(services)) {
  setObjectName("103");
  setWindowTitle(kConnectionsTitle);
  setAttribute(Qt::WA_DeleteOnClose);
  setModal(false);

  auto* type = new QGroupBox(kConnectionTypeGroup, this);
  lower_ = new QRadioButton(kConnectLower, type);
  lower_->setObjectName(id(kIdConnectLower));
  upper_ = new QRadioButton(kConnectUpper, type);
  upper_->setObjectName(id(kIdConnectUpper));
  auto* typeLayout = new QVBoxLayout(type);
  typeLayout->addWidget(lower_);
  typeLayout->addWidget(upper_);

  auto* objects = new QHBoxLayout;
  const int listIds[2] = {kIdListA, kIdListB};
  const int componentIds[2][3] = {{kIdRedA, kIdGreenA, kIdBlueA}, {kIdRedB, kIdGreenB, kIdBlueB}};
  const int previewIds[2] = {kIdPreviewA, kIdPreviewB};
  for (int side = 0; side < 2; ++side) {
    auto* group = new QGroupBox(side == 0 ? kObjectAGroup : kObjectBGroup, this);
    auto* grid = new QGridLayout(group);
    lists_[side] = new QListWidget(group);
    lists_[side]->setObjectName(id(listIds[side]));
    for (int k = 0; k < p_->objects(); ++k)
      lists_[side]->addItem(QString::fromStdString(ConnectionsPresenter::itemText(k)));
    lists_[side]->setMinimumWidth(150);
    grid->addWidget(lists_[side], 0, 0, 5, 1);
    const char* names[3] = {"R", "G", "B"};
    for (int c = 0; c < 3; ++c) {
      grid->addWidget(new QLabel(names[c], group), c, 1);
      components_[side][c] = new QLineEdit(group);
      components_[side][c]->setObjectName(id(componentIds[side][c]));
      components_[side][c]->setReadOnly(true);
      components_[side][c]->setMaximumWidth(48);
      grid->addWidget(components_[side][c], c, 2);
    }
    previews_[side] = new QLabel(group);
    previews_[side]->setObjectName(id(previewIds[side]));
    previews_[side]->setAutoFillBackground(true);
    previews_[side]->setFrameShape(QFrame::Box);
    previews_[side]->setFixedSize(72, 40);
    paintPreview(previews_[side], Rgb{});
    grid->addWidget(previews_[side], 3, 1, 1, 2);
    grid->setRowStretch(4, 1);
    objects->addWidget(group);
    const bool a = side == 0;
    connect(lists_[side], &QListWidget::currentRowChanged, this,
            [this, a](int row) { choose(a, row); });
    connect(lists_[side], &QListWidget::itemDoubleClicked, this,
            [this, a, side](QListWidgetItem* item) { choose(a, lists_[side]->row(item)); });
  }

  auto* countRow = new QHBoxLayout;
  countRow->addWidget(new QLabel(kConnectionsLabel, this));
  count_ = new QLabel(this);
  count_->setObjectName(id(kIdCount));
  countRow->addWidget(count_);
  countRow->addStretch();

  const auto button = [this](const char* text, int control) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(id(control));
    b->setAutoDefault(false);
    return b;
  };
  save_ = button(kSaveConnection, kIdSave);
  undo_ = button(kUndoConnection, kIdUndo);
  reset_ = button(kResetConnections, kIdReset);
  auto* cancel = button(kCancel, kIdCancel);
  finish_ = button(kFinish, kIdFinish);
  auto* buttons = new QHBoxLayout;
  for (QPushButton* b : {save_, undo_, reset_}) buttons->addWidget(b);
  buttons->addStretch();
  buttons->addWidget(cancel);
  buttons->addWidget(finish_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(type);
  layout->addLayout(objects);
  layout->addLayout(countRow);
  layout->addLayout(buttons);

  connect(lower_, &QRadioButton::toggled, this, [this](bool on) {
    if (on) p_->setType(ConnectionsPresenter::Type::Lower);
    refresh();
  });
  connect(upper_, &QRadioButton::toggled, this, [this](bool on) {
    if (on) p_->setType(ConnectionsPresenter::Type::Upper);
    refresh();
  });
  connect(save_, &QPushButton::clicked, this, [this] {
    if (p_->save()) finish_->setFocus();
    refresh();
  });
  connect(undo_, &QPushButton::clicked, this, [this] {
    p_->undo();
    refresh();
  });
  connect(reset_, &QPushButton::clicked, this, [this] {
    p_->reset();
    refresh();
  });
  connect(cancel, &QPushButton::clicked, this, [this] {
    quiet_ = true;
    close();
  });
  connect(finish_, &QPushButton::clicked, this, [this] {
    finish();
    quiet_ = true;
    close();
  });

  lower_->setChecked(true);
  refresh();
  lower_->setFocus();
}

ConnectionsView::~ConnectionsView() {
  // The temporary files go with the presenter, before the rendering window reads the script.
  const std::string script = p_->job().scriptPath;
  p_.reset();
  if (render_ && services_.render) services_.render(script);
}

void ConnectionsView::choose(bool a, int row) {
  if (a)
    p_->selectA(row);
  else
    p_->selectB(row);
  const int side = a ? 0 : 1;
  const int object = a ? p_->objectA() : p_->objectB();
  const Rgb c = p_->colour(object);
  const int values[3] = {c.r, c.g, c.b};
  for (int k = 0; k < 3; ++k)
    components_[side][k]->setText(object < 0 ? QString() : QString::number(values[k]));
  paintPreview(previews_[side], c);
  refresh();
}

void ConnectionsView::refresh() {
  count_->setText(QString::number(p_->count()));
  save_->setEnabled(p_->canSave());
  undo_->setEnabled(p_->canUndo());
  reset_->setEnabled(p_->canReset());
}

ConnectionsAnswer ConnectionsView::ask(ConnectionsQuestion q) {
  if (services_.ask) return services_.ask(q);
  if (q == ConnectionsQuestion::RenderScript)
    return QMessageBox::question(this, kAskRenderCaption, kAskRender,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes
               ? ConnectionsAnswer::Yes
               : ConnectionsAnswer::No;
  const auto b = QMessageBox::question(this, kAskBuildCaption, kAskBuildBeforeClosing,
                                       QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  return b == QMessageBox::Yes  ? ConnectionsAnswer::Yes
         : b == QMessageBox::No ? ConnectionsAnswer::No
                                : ConnectionsAnswer::Cancel;
}

void ConnectionsView::finish() {
  WaitCursor wait;
  const int code = p_->finish();
  wait.end();
  if (code != 0) {
    if (services_.errorHandler) services_.errorHandler(code);
  } else {
    render_ = ask(ConnectionsQuestion::RenderScript) == ConnectionsAnswer::Yes;
  }
}

void ConnectionsView::closeEvent(QCloseEvent* event) {
  if (quiet_) {
    event->accept();
    return;
  }
  switch (ask(ConnectionsQuestion::BuildBeforeClosing)) {
    case ConnectionsAnswer::Yes:
      finish();
      event->accept();
      return;
    case ConnectionsAnswer::No:
      event->accept();
      return;
    case ConnectionsAnswer::Cancel:
      event->ignore();
      return;
  }
}

void ConnectionsView::reject() {
  close();
}

QWidget* OpenConnectionsDialog(QWidget* parent, const ConnectionsServices& services,
                               SurfaceJob job) {
  if (g_open) {
    g_open->show();
    g_open->raise();
    g_open->activateWindow();
    return g_open;
  }
  auto presenter = std::make_unique<ConnectionsPresenter>(services.checkVolume, std::move(job));
  WaitCursor wait;
  const int code = presenter->open();
  wait.end();
  if (code != 0) {
    presenter.reset();  // its temporary files go before the message
    if (services.errorHandler) services.errorHandler(code);
    return nullptr;
  }
  auto* view = new ConnectionsView(std::move(presenter), services, parent);
  g_open = view;
  view->show();
  view->raise();
  view->activateWindow();
  view->findChild<QRadioButton*>(id(kIdConnectLower))->setFocus();
  return view;
}

QWidget* CurrentConnectionsDialog() {
  return g_open.data();
}

}  // namespace v3d::shade
