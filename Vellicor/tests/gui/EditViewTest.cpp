#include "EditViewTest.h"

#include <QApplication>
#include <QMouseEvent>

#include "ImageLoaderU.h"
#include "MainU.h"
#include "PaintBoxU.h"
#include "QuvDocumentU.h"
#include "QuvSamplesU.h"
#include "QuvViewU.h"
#include "SettingsModelU.h"
#include "SpriteCanvasU.h"

void EditViewTest::SetUp() {
  TViewTest::SetUp();
  StartMain(QSize(1000, 800));
  Main->Settings()->SetBackGroundColor(0x00000000);  // black
}

std::vector<uint8_t> EditViewTest::TankFile() {
  TSampleFrame pattern = SolidFrame(8, 6, 2, 3, 0);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) pattern.Pixels[size_t(y * 8 + x)] = PatternIndex(x, y);
  return BuildQuvFile({{"tank", {pattern, SolidFrame(4, 4, 10, 10, 100)}}});
}

TQuvView* EditViewTest::OpenTank(const QString& name) {
  return OpenInRoom(Write(name, TankFile()), QSize(400, 300));
}

TQuvContent EditViewTest::FreshContent(const QString& path) {
  TQuvDocumentOptions options;
  options.Palette = Palette;
  options.TransparentIndex = SampleTransparentIndex;
  TQuvDocumentResult opened = OpenQuvDocument(path.toStdString(), options);
  if (!opened.Document) {
    ADD_FAILURE() << opened.Error;
    return {};
  }
  return ReadQuvContent(*opened.Document->Images, SampleTransparentIndex);
}

QPoint EditViewTest::FrameOffsets(const TQuvContent& content, int frame) {
  if (content.Images.empty() || size_t(frame) >= content.Images[0].Frames.size()) return {};
  const TQuvFrameModel& model = content.Images[0].Frames[size_t(frame)];
  return QPoint(model.XOffset, model.YOffset);
}

void EditViewTest::KeyToMain(Qt::Key key, Qt::KeyboardModifiers modifiers) {
  QTest::keyClick(Main.get(), key, modifiers);
  QApplication::processEvents();
}

void EditViewTest::KeyToCanvas(TQuvView* view, Qt::Key key, Qt::KeyboardModifiers modifiers) {
  QTest::keyClick(view->Canvas()->PaintBox(), key, modifiers);
}

void EditViewTest::DragOnCanvas(TQuvView* view, QPoint from, QPoint by,
                                const std::function<void()>& beforeRelease) {
  QWidget* box = view->Canvas()->PaintBox();
  QTest::mousePress(box, Qt::LeftButton, Qt::NoModifier, from);
  // Through two points, as a hand moves.
  for (const QPoint& at : {from + by / 2, from + by}) {
    QMouseEvent move(QEvent::MouseMove, QPointF(at), QPointF(box->mapToGlobal(at)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(box, &move);
  }
  if (beforeRelease) beforeRelease();
  QTest::mouseRelease(box, Qt::LeftButton, Qt::NoModifier, from + by);
}

QImage EditViewTest::Rendered(TQuvView* view) {
  return view->Canvas()->PaintBox()->grab().toImage();
}

QRgb EditViewTest::CanvasPixel(TQuvView* view, QPoint canvas) {
  const TPaintBox* box = view->Canvas()->PaintBox();
  return Rendered(view).pixel(box->WidgetRect(QRect(canvas, QSize(1, 1))).center());
}
