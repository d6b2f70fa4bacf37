#include "GameFileModelU.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>

#include "FileSystemU.h"
#include "GameFolderU.h"
#include "QtStringU.h"

TGameFileModel::TGameFileModel(QObject* parent)
    : QAbstractTableModel(parent),
      FFolderIcon(QApplication::style()->standardIcon(QStyle::SP_DirIcon)),
      FFileIcon(QApplication::style()->standardIcon(QStyle::SP_FileIcon)) {}

void TGameFileModel::SetFolder(std::shared_ptr<TGameFolder> game, TDirEntry* folder) {
  beginResetModel();
  FGame = std::move(game);
  FFolder = FGame ? folder : nullptr;
  MakeRows();
  endResetModel();
}

void TGameFileModel::SetShowHidden(bool on) {
  if (on == FShowHidden) return;
  beginResetModel();
  FShowHidden = on;
  MakeRows();
  endResetModel();
}

// The folder's index is sorted once the mount is done (the browser walks the tree on the worker
// thread), so reading it here changes nothing.
void TGameFileModel::MakeRows() {
  FRows.clear();
  if (!FFolder) return;
  const auto& index = FFolder->SortedIndex();
  for (const auto& [name, entry] : index)
    if (entry->IsDirectory()) FRows.push_back({static_cast<TDirEntry*>(entry), nullptr, nullptr});
  for (const auto& [name, entry] : index) {
    if (entry->IsDirectory()) continue;
    const auto* file = static_cast<const TFileEntry*>(entry);
    FRows.push_back({nullptr, file, nullptr});
    if (FShowHidden)
      for (const TFileEntry* copy : TGameFolder::HiddenCopies(*file))
        FRows.push_back({nullptr, copy, file});
  }
}

const TFileEntry* TGameFileModel::FileAt(int row) const {
  return row >= 0 && size_t(row) < FRows.size() ? FRows[size_t(row)].File : nullptr;
}

TDirEntry* TGameFileModel::DirAt(int row) const {
  return row >= 0 && size_t(row) < FRows.size() ? FRows[size_t(row)].Dir : nullptr;
}

bool TGameFileModel::IsHiddenCopy(int row) const {
  return row >= 0 && size_t(row) < FRows.size() && FRows[size_t(row)].HiddenBy;
}

int TGameFileModel::RowOf(const TFileEntry* file) const {
  for (size_t row = 0; row < FRows.size(); ++row)
    if (FRows[row].File == file) return int(row);
  return -1;
}

int TGameFileModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : int(FRows.size());
}

int TGameFileModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : colCount;
}

QString TGameFileModel::Note(const TRow& row) const {
  if (row.HiddenBy)
    return QStringLiteral("hidden by %1").arg(FromStd(FGame->OriginName(*row.HiddenBy)));
  QStringList origins;
  for (const TFileEntry* copy : TGameFolder::HiddenCopies(*row.File))
    origins << FromStd(FGame->OriginName(*copy));
  return origins.isEmpty() ? QString() : QStringLiteral("also in %1").arg(origins.join(", "));
}

QVariant TGameFileModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || size_t(index.row()) >= FRows.size()) return {};
  const TRow& row = FRows[size_t(index.row())];
  const int column = index.column();
  if (role == Qt::DisplayRole) {
    if (column == colName) return FromStd(row.Dir ? row.Dir->Name : row.File->Name);
    if (!row.File) return {};
    if (column == colSize) return QString::number(row.File->Size);
    if (column == colOrigin) return FromStd(FGame->OriginName(*row.File));
    if (column == colNote) return Note(row);
  } else if (role == Qt::DecorationRole && column == colName) {
    return row.Dir ? FFolderIcon : FFileIcon;
  } else if (role == Qt::ForegroundRole && row.HiddenBy) {
    return QApplication::palette().color(QPalette::Disabled, QPalette::Text);
  } else if (role == Qt::TextAlignmentRole && column == colSize) {
    return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
  }
  return {};
}

QVariant TGameFileModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  switch (section) {
    case colName:
      return QStringLiteral("Name");
    case colSize:
      return QStringLiteral("Size");
    case colOrigin:
      return QStringLiteral("Origin");
    case colNote:
      return QStringLiteral("Note");
    default:
      return {};
  }
}
