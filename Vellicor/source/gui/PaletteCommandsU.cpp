#include "PaletteCommandsU.h"

#include <QAction>
#include <QFileInfo>
#include <QMainWindow>
#include <QStatusBar>
#include <QToolButton>

#include "DialogsU.h"
#include "ImageLoaderU.h"
#include "PaletteFileU.h"
#include "PaletteModelU.h"
#include "QtStringU.h"
#include "SettingsModelU.h"
#include "TransparentIndexDialogU.h"

TPaletteCommands::TPaletteCommands(QMainWindow* window, TSettingsModel* settings,
                                   TPaletteModel* palettes, QAction* loadPalette,
                                   QAction* builtInPalette, QAction* transparentIndex)
    : QObject(window), FWindow(window), FSettings(settings), FPalettes(palettes) {
  connect(loadPalette, &QAction::triggered, this, [this] { LoadPalette(); });
  connect(builtInPalette, &QAction::triggered, this, [this] { UseBuiltInPalette(); });
  connect(transparentIndex, &QAction::triggered, this, [this] { ChooseTransparentIndex(); });

  TransparentIndexButton = new QToolButton(window);
  TransparentIndexButton->setObjectName(QStringLiteral("TransparentIndexButton"));
  TransparentIndexButton->setAutoRaise(true);
  TransparentIndexButton->setFocusPolicy(Qt::NoFocus);  // keys stay with the views
  connect(TransparentIndexButton, &QToolButton::clicked, this,
          [this] { ChooseTransparentIndex(); });
  window->statusBar()->addPermanentWidget(TransparentIndexButton);
  connect(palettes, &TPaletteModel::paletteChanged, this,
          [this](const TPalette&, uint8_t index) { ShowIndex(index); });
  ShowIndex(palettes->TransparentIndex());
}

void TPaletteCommands::ShowIndex(int index) {
  TransparentIndexButton->setText(QStringLiteral("Transparent index: %1").arg(index));
  TransparentIndexButton->setToolTip(
      QStringLiteral("Pixels of palette index %1 are empty. Click to choose another index.")
          .arg(index));
}

void TPaletteCommands::LoadPalette() {
  int filterIndex = 1;
  const QStringList names = Dialogs().GetOpenFileNames(
      FWindow, QStringLiteral("Load Palette"), QFileInfo(FSettings->PaletteFile()).absolutePath(),
      QStringLiteral("Palettes|*.pal;*.act;*.gpl;*.txt|All Files|*.*"), filterIndex);
  if (names.isEmpty()) return;
  TPalette palette;
  try {
    palette = ReadPaletteFile(ToStd(names.front()));
  } catch (const std::exception& error) {
    // Nothing changes: the views keep the palette they show.
    Dialogs().Message(
        FWindow, QStringLiteral("Load Palette"),
        QStringLiteral("The palette was not loaded.\n\n%1").arg(QString::fromUtf8(error.what())),
        QMessageBox::Warning, QMessageBox::Ok);
    return;
  }
  const QString fileName = QFileInfo(names.front()).absoluteFilePath();
  const QString shownName = QFileInfo(fileName).fileName();
  // A palette file's own empty colour is its entry 0; the user may know better.
  int index = PaletteFileTransparentIndex;
  if (!AskTransparentIndex(
          FWindow,
          QStringLiteral("Which index of the palette \"%1\" means an empty pixel?").arg(shownName),
          palette, index))
    return;
  // A new file is read again on the signal; the same file again may have new colours.
  const bool sameFile = fileName == FSettings->PaletteFile();
  FSettings->SetPalette(fileName, index);
  if (sameFile) FPalettes->Apply(palette, uint8_t(index));
  Report(QStringLiteral("Palette \"%1\" loaded: empty pixels are index %2.")
             .arg(shownName)
             .arg(index));
}

void TPaletteCommands::UseBuiltInPalette() {
  FSettings->SetPaletteFile({});
  Report(QStringLiteral("Built-in palette in use: empty pixels are index %1.")
             .arg(FPalettes->TransparentIndex()));
}

void TPaletteCommands::ChooseTransparentIndex() {
  int index = FPalettes->TransparentIndex();
  if (!AskTransparentIndex(
          FWindow, QStringLiteral("Which index of the palette in use means an empty pixel?"),
          FPalettes->Palette(), index))
    return;
  FSettings->SetTransparentIndex(index);
  Report(QStringLiteral("Empty pixels are now palette index %1.").arg(index));
}

// Over the memory line for a while: the palette change itself changes the memory in use.
void TPaletteCommands::Report(const QString& text) {
  constexpr int ShownMs = 10000;
  FWindow->statusBar()->showMessage(text, ShownMs);
}
