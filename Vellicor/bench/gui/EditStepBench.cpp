// One undo or redo of an edit in a view, measured the way a user meets it (the content changes,
// the file is read anew from its bytes and the frame is drawn at 16x on a 1600 x 1000 drawing
// area), and one step of a hot-spot drag. Beside it in the same run, BM_BaselineDrawImageOfTheArea
// (CanvasBench). A step has to fit in one frame of a 60 Hz screen (16.7 ms).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <memory>

#include "EditDocumentU.h"
#include "ImageLoaderU.h"
#include "PaintBoxU.h"
#include "PaletteModelU.h"
#include "QuvEditU.h"
#include "QuvSamplesU.h"
#include "QuvViewU.h"
#include "SettingsModelU.h"
#include "SpriteCanvasU.h"

namespace {

// The application and a view of a sprite file of 8 images of 8 frames that fill the area at 16x.
struct TEditBench {
  TEditBench() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "gui_bench";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);
    const QString file = Dir.filePath("sprites.quv");
    const std::vector<uint8_t> bytes = MakeSyntheticQuv(8, 8, 100, 62);
    QFile out(file);
    out.open(QIODevice::WriteOnly);
    out.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
    out.close();
    Settings = std::make_unique<TSettingsModel>(Dir.filePath("bench.ini"), Dir.path());
    Palettes =
        std::make_unique<TPaletteModel>(Settings.get(), BuiltInPalette(), BuiltInTransparentIndex);
    View = new TQuvView(Settings.get(), Palettes.get());
    View->show();
    View->LoadQuv(file, QString());
    View->ShowImageNamed(QStringLiteral("image0003"));
    View->Canvas()->setFixedSize(1600, 1000);
    View->Canvas()->SetZoom(16);
    QApplication::processEvents();
  }
  ~TEditBench() { delete View; }

  QTemporaryDir Dir;
  std::unique_ptr<TSettingsModel> Settings;
  std::unique_ptr<TPaletteModel> Palettes;
  TQuvView* View = nullptr;
};

void BM_UndoRedoOfAnEditAt16x(benchmark::State& state) {
  TEditBench bench;
  TQuvView* view = bench.View;
  view->PerformEdit([](const TQuvContent& content, size_t image) {
    return ShiftOffsets(content, image, {}, 1, 0);
  });
  QUndoStack* stack = view->Edits()->UndoStack();
  bool undo = true;
  for (auto _ : state) {
    if (undo)
      stack->undo();
    else
      stack->redo();
    undo = !undo;
    view->Canvas()->PaintBox()->repaint();
  }
}
BENCHMARK(BM_UndoRedoOfAnEditAt16x)->Unit(benchmark::kMillisecond);

// One mouse move of a hot-spot drag: the frame drawn a sprite pixel further, nothing read again.
void BM_DragStepAt16x(benchmark::State& state) {
  TEditBench bench;
  TSpriteCanvas* canvas = bench.View->Canvas();
  canvas->SetEditMode(true);
  QWidget* box = canvas->PaintBox();
  const QPointF from(400, 300);
  auto send = [box](QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
    QMouseEvent event(type, at, box->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(box, &event);
  };
  send(QEvent::MouseButtonPress, from, Qt::LeftButton);
  int step = 0;
  for (auto _ : state) {
    step = (step + 1) % 20;
    send(QEvent::MouseMove, from + QPointF(16.0 * step, 0), Qt::LeftButton);
    box->repaint();
  }
  send(QEvent::MouseButtonRelease, from, Qt::NoButton);
}
BENCHMARK(BM_DragStepAt16x)->Unit(benchmark::kMillisecond);

}  // namespace
