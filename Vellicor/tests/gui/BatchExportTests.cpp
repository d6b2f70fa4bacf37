// Export… of many files from a window: the options answered as a user answers them, the files
// the batch writes read back, the summary the user reads, Abort, and a window that keeps
// handling events while the workers convert.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

#include "BatchExportU.h"
#include "GuiTestMain.h"
#include "HpiBuilderU.h"
#include "ImageLoaderU.h"
#include "PaletteModelU.h"
#include "QuvSamplesU.h"
#include "SettingsModelU.h"

namespace {

// What the summary box said.
struct TSummary {
  QString Text, Details;
};

class BatchExport : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    GuiTestDialogs().Reset();
    Settings = std::make_unique<TSettingsModel>(Dir.filePath("Vellicor.ini"), Dir.path());
    Settings->Load();
    Palettes =
        std::make_unique<TPaletteModel>(Settings.get(), BuiltInPalette(), SampleTransparentIndex);
    Window.resize(400, 300);
    Window.show();
    // The event loop's pulse: the longest wait between two ticks while a batch runs.
    QObject::connect(&Pulse, &QTimer::timeout, [this] {
      if (Beat.isValid()) LongestGap = std::max(LongestGap, Beat.restart());
    });
  }
  void TearDown() override { GuiTestDialogs().Reset(); }

  QString Write(const QString& name, const std::vector<uint8_t>& bytes) {
    const QString path = Dir.filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    EXPECT_TRUE(WriteTestFile(path, bytes));
    return path;
  }
  // Runs the batch with the options dialog answered: the output folder chosen through Browse,
  // then Enter. The summary is read and closed with Enter; duringRun acts on the progress dialog.
  std::optional<TConvertReport> Run(const QStringList& sources,
                                    std::function<bool(TBatchExportProgress*)> duringRun = {}) {
    GuiTestDialogs().FolderAnswers.push_back(Out());
    TAnswerModal<TBatchExportDialog> options([](TBatchExportDialog* dialog) {
      QTest::mouseClick(dialog->BrowseFolderBtn, Qt::LeftButton);
      QTest::keyClick(dialog->Folder, Qt::Key_Return);
    });
    QTimer watch;  // the progress dialog, then the summary, as the user sees them in turn
    bool acted = !duringRun;
    QObject::connect(&watch, &QTimer::timeout, [&] {
      QWidget* modal = QApplication::activeModalWidget();
      if (auto* progress = qobject_cast<TBatchExportProgress*>(modal)) {
        if (!Beat.isValid()) Beat.start();
        if (!acted) acted = duringRun(progress);
      } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        if (box->objectName() != "BatchExportSummary") return;
        Summary = {box->text(), box->detailedText()};
        QTest::keyClick(box, Qt::Key_Return);
      }
    });
    watch.start(5);
    Pulse.start(5);
    std::optional<TConvertReport> report =
        RunBatchExport(&Window, sources, Settings.get(), Palettes.get());
    Pulse.stop();
    EXPECT_TRUE(options.Answered());
    EXPECT_TRUE(Beat.isValid());  // the progress dialog showed
    return report;
  }
  QString Out() const { return Dir.filePath("out"); }
  int FilesBelow(const QString& folder) {
    int count = 0;
    for (QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories); it.hasNext();
         it.next())
      ++count;
    return count;
  }

  QTemporaryDir Dir;
  std::unique_ptr<TSettingsModel> Settings;
  std::unique_ptr<TPaletteModel> Palettes;
  QWidget Window;
  QTimer Pulse;
  QElapsedTimer Beat;
  qint64 LongestGap = 0;
  TSummary Summary;
};

TEST_F(BatchExport, FilesOfFoldersAndArchivesAreWrittenWithTheViewersPaletteAndFailuresNamed) {
  // Index 200 is pure green in the viewer's palette, and the file is drawn with it.
  TPalette palette = BuiltInPalette();
  palette[200] = {0, 255, 0, 255};
  Palettes->Apply(palette, SampleTransparentIndex);
  Write("game/units/dot.quv", BuildQuvFile({{"dot", {SolidFrame(2, 1, 0, 0, 200)}}}));
  for (int i = 0; i < 3; ++i)
    Write(QStringLiteral("game/units/f%1.quv").arg(i),
          BuildQuvFile(SyntheticImages(1, 2, 8, 8, 1, i)));
  Write("game/units/bad.quv", {'n', 'o', 't', ' ', 'q', 'u', 'v'});
  THpiBuilder builder;
  builder.AddFile("anims/tank.quv", MakeSampleQuv());
  builder.WriteFile(Dir.filePath("units.hpi").toStdString());

  const std::optional<TConvertReport> report =
      Run({Dir.filePath("game"), Dir.filePath("units.hpi/anims/tank.quv")});
  ASSERT_TRUE(report);
  EXPECT_EQ(report->Converted, 5);
  const int written = FilesBelow(Out());
  EXPECT_GT(written, 8);
  EXPECT_EQ(report->FilesWritten, written);
  EXPECT_EQ(Summary.Text, QStringLiteral("5 converted, %1 files written, 1 failed").arg(written));
  EXPECT_TRUE(Summary.Details.startsWith(Dir.filePath("game") + "/units/bad.quv: "))
      << Summary.Details.toStdString();

  // PNG (the format offered first time), mirrored below the output folder.
  const QImage dot(Out() + "/game/units/dot/dot_0.png");
  ASSERT_FALSE(dot.isNull()) << FilesBelow(Out() + "/game/units/dot");
  EXPECT_EQ(dot.size(), QSize(2, 1));
  EXPECT_EQ(dot.pixelColor(1, 0), QColor(0, 255, 0));
  EXPECT_GT(FilesBelow(Out() + "/units.hpi/anims/tank"), 0);

  // The choices are the batch export's own settings.
  QFile ini(Dir.filePath("Vellicor.ini"));
  ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
  const QString text = QString::fromUtf8(ini.readAll());
  EXPECT_TRUE(text.contains("[BatchExport]\nFolder=" + Out() + "\n")) << text.toStdString();
  EXPECT_LT(LongestGap, 250);
}

TEST_F(BatchExport, AbortStopsTheBatchEarlyAndTheSummarySaysSo) {
  constexpr int Count = 200;
  for (int i = 0; i < Count; ++i)
    Write(QStringLiteral("many/f%1.quv").arg(i, 3, 10, QChar('0')),
          BuildQuvFile(SyntheticImages(1, 4, 48, 48, 1, i)));
  Settings->SetBatchExport({Out(), efPng, 4, 0, QString(), true});
  // Escape once the first files are done: the files running finish, the others never start.
  const std::optional<TConvertReport> report =
      Run({Dir.filePath("many")}, [](TBatchExportProgress* progress) {
        if (progress->Bar->value() < 1) return false;
        QTest::keyClick(progress, Qt::Key_Escape);
        return true;
      });
  ASSERT_TRUE(report);
  EXPECT_GT(report->NotDone, 0);
  EXPECT_EQ(report->Converted + report->NotDone, Count);
  EXPECT_TRUE(report->Failures.empty());
  EXPECT_EQ(Summary.Text, QStringLiteral("%1 converted, %2 files written, 0 failed\nAborted: %3 "
                                         "not converted")
                              .arg(report->Converted)
                              .arg(report->FilesWritten)
                              .arg(report->NotDone));
  EXPECT_EQ(FilesBelow(Out()), 4 * report->Converted);
  // The window kept handling events while the workers ran.
  EXPECT_LT(LongestGap, 250);
}

}  // namespace
