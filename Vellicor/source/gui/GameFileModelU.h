#pragma once
// The rows of one folder of a mounted game folder: its sub-folders, then its files with size,
// origin and the copies each hides ("also in base.hpi, mod.ufo"); on request the hidden copies
// too, each below the file that hides it, greyed and marked "hidden by ...". Rows are made when
// the folder is chosen and their texts only when shown, so a folder of thousands of files
// lists at once.
#include <QAbstractTableModel>
#include <QIcon>
#include <memory>
#include <vector>

class TDirEntry;
class TFileEntry;
class TGameFolder;

class TGameFileModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum TColumn { colName, colSize, colOrigin, colNote, colCount };

  explicit TGameFileModel(QObject* parent = nullptr);

  // Lists folder of game (both null: nothing). The model keeps the game alive while it lists it.
  void SetFolder(std::shared_ptr<TGameFolder> game, TDirEntry* folder);
  TDirEntry* Folder() const { return FFolder; }
  // Whether the hidden copies are listed too.
  void SetShowHidden(bool on);
  bool ShowHidden() const { return FShowHidden; }

  // The row's file (a hidden copy included), or null for a folder row.
  const TFileEntry* FileAt(int row) const;
  // The row's folder, or null for a file row.
  TDirEntry* DirAt(int row) const;
  // Whether the row lists a copy that another file hides.
  bool IsHiddenCopy(int row) const;
  // The row of the file (or hidden copy) shown, -1 when it is not listed.
  int RowOf(const TFileEntry* file) const;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 private:
  struct TRow {
    TDirEntry* Dir = nullptr;
    const TFileEntry* File = nullptr;
    const TFileEntry* HiddenBy = nullptr;  // the standing file, for a hidden copy
  };
  void MakeRows();
  QString Note(const TRow& row) const;

  std::shared_ptr<TGameFolder> FGame;
  TDirEntry* FFolder = nullptr;
  bool FShowHidden = false;
  std::vector<TRow> FRows;
  QIcon FFolderIcon, FFileIcon;  // made once: the style draws them anew on every request
};
