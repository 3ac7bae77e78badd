// Helpers of the motion module's widget tests: controls found by their ids, clicks on check
// boxes, and modal dialogs answered on a timer.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <functional>

namespace v3d::test {

template <class W>
W* control(QWidget& parent, int id) {
  W* w = parent.findChild<W*>(QString::number(id));
  EXPECT_NE(w, nullptr) << "control " << id;
  return w;
}

// A click on a radio button's or check box's indicator (the boxes are wider than their text,
// and only the indicator and the text take clicks).
inline void clickBox(QAbstractButton* b) {
  ASSERT_NE(b, nullptr);
  QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
}

// Runs `answer` on the first modal widget of type W (and object name `name`, when given) that
// appears: polled on a zero timer, so it also answers a dialog opened inside the call that
// follows.
template <class W>
void answerModal(std::function<void(W*)> answer, QString name = {}) {
  auto* timer = new QTimer;
  timer->setInterval(0);
  QObject::connect(timer, &QTimer::timeout, [timer, answer, name] {
    auto* w = dynamic_cast<W*>(QApplication::activeModalWidget());
    if (w == nullptr || (!name.isEmpty() && w->objectName() != name)) return;
    timer->stop();
    timer->deleteLater();
    answer(w);
  });
  timer->start();
}

// What a message box showed; it is answered with OK.
struct SeenBox {
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QWidget* parent = nullptr;
};
inline void answerMessageBox(SeenBox& seen) {
  answerModal<QMessageBox>([&seen](QMessageBox* box) {
    seen = {box->windowTitle(), box->text(), box->icon(), box->parentWidget()};
    box->accept();
  });
}

}  // namespace v3d::test
