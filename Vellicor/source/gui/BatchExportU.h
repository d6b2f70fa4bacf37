#pragma once
// Export… of many Quv files at once (a folder of the game-folder browser, a selection, a search
// result): the conversion vellicor-cli convert runs, with the same formats, scale, palette and
// mirrored output folders, on every core. First the options, then a progress dialog with Abort
// while worker threads convert and the window stays responsive, then a summary that names the
// failures.
#include <QDialog>
#include <QStringList>
#include <atomic>
#include <optional>

#include "BatchConvertU.h"
#include "SettingsModelU.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class TPaletteModel;

// The options: output folder, format, scale, palette and whether folders' sub-folders count.
// Export (the default button: Enter) is possible once a folder is named, and a palette file
// when that is the palette chosen.
class TBatchExportDialog : public QDialog {
  Q_OBJECT
 public:
  // sourceCount: how many sources were handed over, for the caption.
  TBatchExportDialog(const TBatchExportChoices& choices, int sourceCount,
                     QWidget* parent = nullptr);
  TBatchExportChoices Choices() const;

  QLineEdit* Folder;
  QPushButton* BrowseFolderBtn;  // asks for the folder
  QComboBox* Format;             // positions in TExportFormat order
  QSpinBox* Scale;
  QComboBox* Palette;  // positions: the viewer's, the built-in one, a file
  QLineEdit* PaletteFile;
  QPushButton* BrowsePaletteBtn;  // asks for the palette file
  QCheckBox* SubFolders;
  QPushButton *ExportBtn, *CancelBtn;

 private:
  void LayOutControls();
  void ConnectControls();
  void UpdateState();
};

// The running batch: a bar of items done, the item converted last, and Abort (Escape and the
// close box abort too). Abort leaves out the items not started; those running finish.
class TBatchExportProgress : public QDialog {
  Q_OBJECT
 public:
  explicit TBatchExportProgress(QWidget* parent = nullptr);
  const std::atomic<bool>& AbortFlag() const { return FAbort; }
  bool Aborted() const { return FAbort; }
  // done of total items finished, the last one's name; total 0 while the files are collected.
  void Show(size_t done, size_t total, const QString& name);

  QProgressBar* Bar;
  QLabel* Current;
  QPushButton* AbortBtn;

 public slots:
  void reject() override;  // aborts; the dialog closes when the workers are done

 private:
  std::atomic<bool> FAbort{false};
};

// The one call: asks for the options (remembered in [BatchExport] of settings), converts
// sources — what vellicor-cli convert takes: Quv files, folders, archives and archive paths
// ("data/units.hpi/anims" or ".../tank.quv", TGameFolder::OpenPathOf) — showing the progress,
// then the summary "N converted, M files written, K failed" with the failures in its details.
// palettes: the viewer's palette, one of the palette choices (null: the built-in one stands in).
// Returns the report, or nothing when the user cancelled the options, the chosen palette file
// could not be read or the output folder could not be made (said in a box).
std::optional<TConvertReport> RunBatchExport(QWidget* parent, const QStringList& sources,
                                             TSettingsModel* settings,
                                             const TPaletteModel* palettes);
