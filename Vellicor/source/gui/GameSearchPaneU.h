#pragma once
// The search of a game folder's browser: a box that searches file names (and, once the index
// of image names is there, the names of the images in Quv files) over the whole merged tree as
// the user types, and a list of what it found with each file's path, origin and matching image
// names. Enter or a double-click asks for the file to be opened on the first matching image;
// Escape clears the search. The pane reads only what its owner gives it and never waits on
// files: the owner mounts the folder and builds the index in the background (TImageIndexJob).
#include <QString>
#include <QStringList>
#include <QWidget>
#include <cstddef>
#include <memory>
#include <vector>

class QLabel;
class QLineEdit;
class QModelIndex;
class QTreeView;
class TFileEntry;
class TGameFolder;
class TGameSearch;
class TImageNameIndex;

class TGameSearchPane : public QWidget {
  Q_OBJECT
 public:
  // At most this many results are listed; the status says how many more there are.
  static constexpr size_t MaxRows = 5000;
  // The list's columns.
  enum TColumn { ColPath, ColOrigin, ColImages, ColumnCount };

  explicit TGameSearchPane(QWidget* parent = nullptr);
  ~TGameSearchPane() override;

  // The folder to search (not owned: it must outlive the pane or be replaced first); null
  // empties the pane. The index of the previous folder is dropped, the text kept and searched.
  // search: the folder's list made elsewhere (TImageIndexJob::searchReady); without one it is
  // made here.
  void SetGameFolder(TGameFolder* folder, std::shared_ptr<TGameSearch> search = nullptr);
  // The image names of the present folder: searches use them from now on (null: file names
  // only). The indexing note gives way to a word on the files that could not be read, if any.
  void SetIndex(std::shared_ptr<const TImageNameIndex> index);
  // Shown small under the list until SetIndex: "Indexing image names… done of total".
  void SetIndexProgress(size_t done, size_t total);

  QLineEdit* SearchBox() const { return FSearchBox; }
  QTreeView* Results() const { return FResults; }
  QLabel* Status() const { return FStatus; }        // how many were found, or why none
  QLabel* IndexNote() const { return FIndexNote; }  // the index's progress or its failures
  int RowCount() const;
  // The text of a cell of the result list.
  QString Cell(int row, TColumn column) const;
  // What the chosen results open (all listed ones when none is chosen): for an export.
  QStringList OpenPaths() const;
  // The files listed, in list order (for thumbnails of the result).
  std::vector<const TFileEntry*> ResultFiles() const;

 signals:
  // The file to open (a disk path, or an archive's path joined with the inner path) and the
  // image to show first (empty when no image name matched).
  void openRequested(QString openPath, QString imageName);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  class TResultModel;

  void Search();
  void OpenRow(const QModelIndex& index);

  QLineEdit* FSearchBox;
  QTreeView* FResults;
  QLabel* FStatus;
  QLabel* FIndexNote;
  TResultModel* FModel;
  TGameFolder* FFolder = nullptr;
  std::shared_ptr<TGameSearch> FSearch;
  std::shared_ptr<const TImageNameIndex> FIndex;
};
