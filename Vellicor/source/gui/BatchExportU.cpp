#include "BatchExportU.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "AnimationPauseU.h"
#include "DialogsU.h"
#include "ExceptionsU.h"
#include "ExportOptionListsU.h"
#include "ImageLoaderU.h"
#include "PaletteFileU.h"
#include "PaletteModelU.h"
#include "QtStringU.h"
#include "QuvConvertU.h"

namespace {

enum TPaletteChoice { pcViewer, pcBuiltIn, pcFile };

const QString Caption = QStringLiteral("Export");

// A line edit with a "Browse…" button beside it.
QHBoxLayout* WithBrowse(QLineEdit* edit, QPushButton* browse) {
  auto* row = new QHBoxLayout;
  row->addWidget(edit, 1);
  row->addWidget(browse);
  return row;
}

}  // namespace

TBatchExportDialog::TBatchExportDialog(const TBatchExportChoices& choices, int sourceCount,
                                       QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(sourceCount == 1 ? QStringLiteral("Export 1 Item")
                                  : QStringLiteral("Export %1 Items").arg(sourceCount));
  Folder = new QLineEdit(choices.Folder, this);
  BrowseFolderBtn = new QPushButton(QStringLiteral("Browse…"), this);
  Format = new QComboBox(this);
  Format->addItems(ExportFormatItems());
  Format->setCurrentIndex(int(choices.Format));
  Scale = new QSpinBox(this);
  Scale->setRange(1, MaxExportScale);
  Scale->setValue(choices.Scale);
  Palette = new QComboBox(this);
  Palette->addItems({QStringLiteral("The viewer's palette"), QStringLiteral("Built-in palette"),
                     QStringLiteral("Palette file")});
  Palette->setCurrentIndex(choices.Palette);
  PaletteFile = new QLineEdit(choices.PaletteFile, this);
  BrowsePaletteBtn = new QPushButton(QStringLiteral("Browse…"), this);
  SubFolders = new QCheckBox(QStringLiteral("Include sub-folders"), this);
  SubFolders->setChecked(choices.SubFolders);
  ExportBtn = new QPushButton(QStringLiteral("Export"), this);
  ExportBtn->setDefault(true);
  CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
  // Enter anywhere in the dialog exports.
  CancelBtn->setAutoDefault(false);
  BrowseFolderBtn->setAutoDefault(false);
  BrowsePaletteBtn->setAutoDefault(false);
  LayOutControls();
  ConnectControls();
  UpdateState();
}

void TBatchExportDialog::LayOutControls() {
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Output folder"), WithBrowse(Folder, BrowseFolderBtn));
  form->addRow(QStringLiteral("Format"), Format);
  form->addRow(QStringLiteral("Scale"), Scale);
  form->addRow(QStringLiteral("Palette"), Palette);
  form->addRow(QString(), WithBrowse(PaletteFile, BrowsePaletteBtn));
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ExportBtn);
  buttons->addWidget(CancelBtn);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(SubFolders);
  layout->addStretch(1);
  layout->addLayout(buttons);
}

void TBatchExportDialog::ConnectControls() {
  connect(BrowseFolderBtn, &QPushButton::clicked, this, [this] {
    const QString folder =
        Dialogs().GetFolder(this, QStringLiteral("Export to Folder"), Folder->text());
    if (!folder.isEmpty()) Folder->setText(folder);
  });
  connect(BrowsePaletteBtn, &QPushButton::clicked, this, [this] {
    int filterIndex = 1;
    const QStringList names = Dialogs().GetOpenFileNames(
        this, QStringLiteral("Load Palette"), QFileInfo(PaletteFile->text()).absolutePath(),
        QStringLiteral("Palettes|*.pal;*.act;*.gpl;*.txt|All Files|*.*"), filterIndex);
    if (!names.isEmpty()) PaletteFile->setText(names.front());
  });
  connect(Folder, &QLineEdit::textChanged, this, [this] { UpdateState(); });
  connect(PaletteFile, &QLineEdit::textChanged, this, [this] { UpdateState(); });
  connect(Format, &QComboBox::currentIndexChanged, this, [this] { UpdateState(); });
  connect(Palette, &QComboBox::currentIndexChanged, this, [this] { UpdateState(); });
  connect(ExportBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

// The scale is for the formats beyond BMP; the file for the palette-file choice.
void TBatchExportDialog::UpdateState() {
  Scale->setEnabled(Format->currentIndex() != efBmp);
  const bool file = Palette->currentIndex() == pcFile;
  PaletteFile->setEnabled(file);
  BrowsePaletteBtn->setEnabled(file);
  ExportBtn->setEnabled(!Folder->text().trimmed().isEmpty() &&
                        (!file || !PaletteFile->text().trimmed().isEmpty()));
}

TBatchExportChoices TBatchExportDialog::Choices() const {
  TBatchExportChoices choices;
  choices.Folder = Folder->text().trimmed();
  choices.Format = TExportFormat(std::clamp(Format->currentIndex(), 0, int(efSheet)));
  choices.Scale = Scale->value();
  choices.Palette = std::clamp(Palette->currentIndex(), 0, int(pcFile));
  choices.PaletteFile = PaletteFile->text().trimmed();
  choices.SubFolders = SubFolders->isChecked();
  return choices;
}

TBatchExportProgress::TBatchExportProgress(QWidget* parent) : QDialog(parent) {
  setWindowTitle(Caption);
  Current = new QLabel(QStringLiteral("Collecting files…"), this);
  Current->setMinimumWidth(360);
  Bar = new QProgressBar(this);
  Bar->setRange(0, 0);  // busy until the files are counted
  AbortBtn = new QPushButton(QStringLiteral("Abort"), this);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Current);
  layout->addWidget(Bar);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(AbortBtn);
  layout->addLayout(buttons);
  connect(AbortBtn, &QPushButton::clicked, this, &TBatchExportProgress::reject);
}

void TBatchExportProgress::Show(size_t done, size_t total, const QString& name) {
  if (total == 0 || FAbort) return;
  Bar->setRange(0, int(std::min<size_t>(total, INT32_MAX)));
  Bar->setValue(int(std::min(done, total)));
  Current->setText(QStringLiteral("%1 of %2: %3").arg(done).arg(total).arg(name));
}

void TBatchExportProgress::reject() {
  if (FAbort) return;
  FAbort = true;
  AbortBtn->setEnabled(false);
  Current->setText(QStringLiteral("Stopping…"));
}

namespace {

// The palette the files are drawn with; raises why a palette file cannot be read.
void ChoosePalette(const TBatchExportChoices& choices, const TPaletteModel* palettes,
                   TConvertSettings& settings) {
  if (choices.Palette == pcFile) {
    settings.Palette = ReadPaletteFile(ToStd(choices.PaletteFile));
    settings.TransparentIndex = PaletteFileTransparentIndex;
  } else if (choices.Palette == pcViewer && palettes) {
    settings.Palette = palettes->Palette();
    settings.TransparentIndex = palettes->TransparentIndex();
  } else {
    settings.Palette = BuiltInPalette();
    settings.TransparentIndex = BuiltInTransparentIndex;
  }
}

// What the workers tell the window, read by it a few times a second.
struct TRunState {
  std::mutex Lock;
  size_t Done = 0, Total = 0;
  std::string Name;
  bool Finished = false;
  std::string Error;  // the batch could not start
};

// Converts on a thread of its own while the progress dialog keeps the event loop running.
// Raises (Exception) what kept the batch from starting.
TConvertReport RunWithProgress(QWidget* parent, const std::vector<std::string>& inputs,
                               bool recursive, const TConvertSettings& settings,
                               const std::string& out) {
  TBatchExportProgress progress(parent);
  TRunState state;
  TConvertReport report;
  TConvertControl control;
  control.Abort = &progress.AbortFlag();
  control.OnProgress = [&state](size_t done, size_t total, const std::string& name) {
    const std::lock_guard<std::mutex> guard(state.Lock);
    state.Done = done;
    state.Total = total;
    state.Name = name;
  };
  std::thread worker([&] {
    std::string error;
    try {
      report = ConvertQuvFiles(inputs, recursive, settings, out, control);
    } catch (const std::exception& e) {
      error = e.what();
    }
    const std::lock_guard<std::mutex> guard(state.Lock);
    state.Error = error;
    state.Finished = true;
  });
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &progress, [&] {
    const std::lock_guard<std::mutex> guard(state.Lock);
    progress.Show(state.Done, state.Total, FromStd(state.Name));
    if (state.Finished) progress.accept();
  });
  poll.start(40);
  progress.exec();
  poll.stop();
  progress.reject();  // should the dialog have closed before the end: nothing more starts
  worker.join();
  if (!state.Error.empty()) throw Exception(state.Error);
  return report;
}

void ShowSummary(QWidget* parent, const TConvertReport& report) {
  QString text = QStringLiteral("%1 converted, %2 files written, %3 failed")
                     .arg(report.Converted)
                     .arg(report.FilesWritten)
                     .arg(report.Failures.size());
  if (report.NotDone > 0) text += QStringLiteral("\nAborted: %1 not converted").arg(report.NotDone);
  QStringList details;
  for (const TConvertFailure& failure : report.Failures)
    details << FromStd(failure.Name + ": " + failure.Reason);
  for (const TConvertFailure& renamed : report.Renamed)
    details << FromStd(renamed.Name + ": " + renamed.Reason);
  const bool bad = !report.Failures.empty() || report.NotDone > 0;
  const TAnimationPause pause;
  QMessageBox box(bad ? QMessageBox::Warning : QMessageBox::Information, Caption, text,
                  QMessageBox::Ok, parent);
  box.setObjectName(QStringLiteral("BatchExportSummary"));
  if (!details.isEmpty()) box.setDetailedText(details.join('\n'));
  box.exec();
}

}  // namespace

std::optional<TConvertReport> RunBatchExport(QWidget* parent, const QStringList& sources,
                                             TSettingsModel* settings,
                                             const TPaletteModel* palettes) {
  TBatchExportChoices choices = settings ? settings->BatchExport() : TBatchExportChoices{};
  if (choices.Folder.isEmpty() && settings) choices.Folder = settings->SaveLastDir();
  {
    const TAnimationPause pause;
    TBatchExportDialog dialog(choices, int(sources.size()), parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    choices = dialog.Choices();
  }
  choices.Folder = QFileInfo(choices.Folder).absoluteFilePath();
  if (settings) settings->SetBatchExport(choices);

  TConvertSettings convert;
  convert.Format.Format = choices.Format;
  convert.Format.Scale = choices.Format == efBmp ? 1 : choices.Scale;
  try {
    ChoosePalette(choices, palettes, convert);
  } catch (const std::exception& error) {
    Dialogs().Message(
        parent, Caption,
        QStringLiteral("The palette was not loaded.\n\n%1").arg(QString::fromUtf8(error.what())),
        QMessageBox::Warning, QMessageBox::Ok);
    return std::nullopt;
  }
  std::vector<std::string> inputs;
  for (const QString& source : sources) inputs.push_back(ToStd(source));
  TConvertReport report;
  try {
    report = RunWithProgress(parent, inputs, choices.SubFolders, convert, ToStd(choices.Folder));
  } catch (const std::exception& error) {
    Dialogs().Message(
        parent, Caption,
        QStringLiteral("Nothing was exported.\n\n%1").arg(QString::fromUtf8(error.what())),
        QMessageBox::Warning, QMessageBox::Ok);
    return std::nullopt;
  }
  ShowSummary(parent, report);
  return report;
}
