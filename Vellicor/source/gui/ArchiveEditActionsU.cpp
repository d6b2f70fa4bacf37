#include "ArchiveEditActionsU.h"

#include <QAction>
#include <QActionGroup>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QInputDialog>
#include <QMenu>
#include <QMimeData>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidgetItem>
#include <QUrl>
#include <QWidget>
#include <exception>
#include <thread>

#include "ArchiveEditsU.h"
#include "DialogsU.h"

namespace {

std::string Inner(const QString& path) {
  return QDir::fromNativeSeparators(path).toStdString();
}

QString Joined(const QString& folder, const QString& name) {
  return folder.isEmpty() ? name : folder + '/' + name;
}

QString FolderOf(const QString& path) {
  const qsizetype slash = path.lastIndexOf('/');
  return slash < 0 ? QString() : path.left(slash);
}

// Runs disk work on a thread of its own while the window goes on painting; input waits until
// it is done, so nothing acts on the changes meanwhile. Rethrows what the work raised.
template <class TWork>
void OffThread(const TWork& work) {
  std::exception_ptr failure;
  QEventLoop loop;
  std::thread worker([&] {
    try {
      work();
    } catch (...) {
      failure = std::current_exception();
    }
    QMetaObject::invokeMethod(
        &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
  });
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  worker.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace

TArchiveEditActions::TArchiveEditActions(IArchiveEditHost& host, QWidget* window)
    : QObject(window), FHost(host), FWindow(window) {
  CreateActions(window);
  UpdateActions();
}

TArchiveEditActions::~TArchiveEditActions() = default;

void TArchiveEditActions::CreateActions(QWidget* window) {
  const auto make = [this, window](const QString& text, const QString& tip, auto slot) {
    auto* action = new QAction(text, this);
    action->setToolTip(tip);
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this, slot);
    window->addAction(action);
    return action;
  };
  AddFilesAction = make(QStringLiteral("Add Files…"),
                        QStringLiteral("Add files to the folder shown"), [this] { AddFiles(); });
  AddFolderAction = make(QStringLiteral("Add Folder…"),
                         QStringLiteral("Add a folder with everything in it to the folder shown"),
                         [this] { AddFolder(); });
  ReplaceAction = make(QStringLiteral("Replace File…"),
                       QStringLiteral("Replace the chosen file with a file from disk"),
                       [this] { ReplaceFile(); });
  RenameAction = make(QStringLiteral("Rename…"), QStringLiteral("Rename the chosen entry"),
                      [this] { RenameEntry(); });
  RenameAction->setShortcut(Qt::Key_F2);
  DeleteAction = make(QStringLiteral("Delete"), QStringLiteral("Delete the chosen entries"),
                      [this] { DeleteEntries(); });
  DeleteAction->setShortcut(QKeySequence::Delete);
  NewFolderAction =
      make(QStringLiteral("New Folder…"), QStringLiteral("Make a folder in the folder shown"),
           [this] { NewFolder(); });
  SaveAction = make(QStringLiteral("Save Archive"),
                    QStringLiteral("Write the changes into the archive"), [this] { Save(); });
  SaveAction->setShortcut(QKeySequence::Save);

  Compression = new QActionGroup(this);
  Compression->setExclusive(true);
  const std::pair<QString, THpiPackCompression> kinds[] = {
      {QStringLiteral("None"), THpiPackCompression::None},
      {QStringLiteral("LZ77"), THpiPackCompression::LZ77},
      {QStringLiteral("zlib"), THpiPackCompression::ZLib}};
  for (const auto& [name, kind] : kinds) {
    QAction* action = Compression->addAction(name);
    action->setCheckable(true);
    action->setData(int(kind));
    action->setToolTip(QStringLiteral("Store new files: %1").arg(name));
    action->setChecked(kind == THpiPackCompression::LZ77);
  }
  connect(Compression, &QActionGroup::triggered, this, [this](QAction* action) {
    if (FEdits) FEdits->SetCompression(THpiPackCompression(action->data().toInt()));
  });
}

void TArchiveEditActions::AddTo(QToolBar* bar) {
  bar->addActions({AddFilesAction, AddFolderAction, NewFolderAction, ReplaceAction, RenameAction,
                   DeleteAction});
  auto* button = new QToolButton(bar);
  auto* menu = new QMenu(button);
  menu->addActions(Compression->actions());
  button->setMenu(menu);
  button->setPopupMode(QToolButton::InstantPopup);
  button->setToolTip(QStringLiteral("How new files are stored"));
  const auto label = [button, this] {
    button->setText(QStringLiteral("Compression: %1").arg(Compression->checkedAction()->text()));
  };
  label();
  connect(Compression, &QActionGroup::triggered, button, label);
  bar->addWidget(button);
  bar->addAction(SaveAction);
}

void TArchiveEditActions::SetArchive(const QString& archive) {
  FEdits.reset();
  if (!archive.isEmpty()) {
    FEdits = std::make_unique<TArchiveEdits>(archive.toStdString());
    FEdits->SetCompression(THpiPackCompression(Compression->checkedAction()->data().toInt()));
  }
  FWasModified = false;
  UpdateActions();
}

bool TArchiveEditActions::Modified() const {
  return FEdits && FEdits->Modified();
}

void TArchiveEditActions::UpdateActions() {
  const bool open = FEdits != nullptr;
  const QStringList chosen = open ? FHost.ChosenArchiveEntries() : QStringList();
  const TEditedEntry* one = chosen.size() == 1 ? FEdits->Find(Inner(chosen[0])) : nullptr;
  AddFilesAction->setEnabled(open);
  AddFolderAction->setEnabled(open);
  NewFolderAction->setEnabled(open);
  ReplaceAction->setEnabled(one && !one->IsFolder);
  RenameAction->setEnabled(one != nullptr);
  DeleteAction->setEnabled(!chosen.isEmpty());
  SaveAction->setEnabled(Modified());
}

void TArchiveEditActions::ShowError(const QString& caption, const QString& text) {
  Dialogs().Message(FWindow, caption, text, QMessageBox::Warning, QMessageBox::Ok);
}

template <class TChange>
bool TArchiveEditActions::Change(const QString& caption, const TChange& change) {
  if (!FEdits) return false;
  bool done = true;
  try {
    change();
  } catch (const std::exception& error) {
    ShowError(caption, QString::fromStdString(error.what()));
    done = false;
  }
  emit listingChanged();
  if (Modified() != FWasModified) {
    FWasModified = Modified();
    emit modifiedChanged(FWasModified);
  }
  UpdateActions();
  return done;
}

void TArchiveEditActions::AddPaths(const QStringList& paths, const QString& innerFolder) {
  if (!FEdits || paths.isEmpty()) return;
  QStringList failures;
  Change(QStringLiteral("Add"), [&] {
    OffThread([&] {
      for (const QString& path : paths) {
        try {
          FEdits->AddFromDisk(path.toStdString(), Inner(innerFolder));
        } catch (const std::exception& error) {
          failures << QString::fromStdString(error.what());
        }
      }
    });
  });
  if (!failures.isEmpty())
    ShowError(QStringLiteral("Add"), QStringLiteral("Not added:\n") + failures.join('\n'));
}

void TArchiveEditActions::AddFiles() {
  int filterIndex = 1;
  const QStringList files = Dialogs().GetOpenFileNames(
      FWindow, QStringLiteral("Add Files"), QString(), QStringLiteral("All Files|*"), filterIndex);
  AddPaths(files, FHost.CurrentArchiveFolder());
}

void TArchiveEditActions::AddFolder() {
  const QString folder = Dialogs().GetFolder(FWindow, QStringLiteral("Add Folder"), QString());
  if (!folder.isEmpty()) AddPaths({folder}, FHost.CurrentArchiveFolder());
}

void TArchiveEditActions::ReplaceFile() {
  const QStringList chosen = FHost.ChosenArchiveEntries();
  if (chosen.size() != 1) return;
  int filterIndex = 1;
  const QStringList files = Dialogs().GetOpenFileNames(
      FWindow, QStringLiteral("Replace %1").arg(QFileInfo(chosen[0]).fileName()), QString(),
      QStringLiteral("All Files|*"), filterIndex);
  if (files.isEmpty()) return;
  Change(QStringLiteral("Replace File"),
         [&] { OffThread([&] { FEdits->Replace(Inner(chosen[0]), files[0].toStdString()); }); });
}

void TArchiveEditActions::RenameEntry() {
  const QStringList chosen = FHost.ChosenArchiveEntries();
  if (chosen.size() != 1) return;
  const QString from = QDir::fromNativeSeparators(chosen[0]);
  bool ok = false;
  const QString name =
      QInputDialog::getText(FWindow, QStringLiteral("Rename"), QStringLiteral("New name:"),
                            QLineEdit::Normal, from.mid(from.lastIndexOf('/') + 1), &ok);
  if (!ok || name.isEmpty()) return;
  Change(QStringLiteral("Rename"),
         [&] { FEdits->Rename(Inner(from), Inner(Joined(FolderOf(from), name))); });
}

void TArchiveEditActions::DeleteEntries() {
  const QStringList chosen = FHost.ChosenArchiveEntries();
  if (chosen.isEmpty()) return;
  Change(QStringLiteral("Delete"), [&] {
    for (const QString& path : chosen) FEdits->Delete(Inner(path));
  });
}

void TArchiveEditActions::NewFolder() {
  bool ok = false;
  const QString name =
      QInputDialog::getText(FWindow, QStringLiteral("New Folder"), QStringLiteral("Name:"),
                            QLineEdit::Normal, QStringLiteral("New Folder"), &ok);
  if (!ok || name.isEmpty()) return;
  Change(QStringLiteral("New Folder"),
         [&] { FEdits->MakeFolder(Inner(Joined(FHost.CurrentArchiveFolder(), name))); });
}

bool TArchiveEditActions::CanDrop(const QMimeData* data) {
  if (!data || !data->hasUrls()) return false;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) return true;
  return false;
}

bool TArchiveEditActions::Drop(const QMimeData* data) {
  if (!FEdits || !CanDrop(data)) return false;
  QStringList paths;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) paths << url.toLocalFile();
  AddPaths(paths, FHost.CurrentArchiveFolder());
  return true;
}

bool TArchiveEditActions::Save() {
  if (!Modified()) return true;
  const bool saved =
      Change(QStringLiteral("Save Archive"), [this] { OffThread([this] { FEdits->Save(); }); });
  return saved;
}

bool TArchiveEditActions::AskToSave() {
  if (!Modified()) return true;
  const int answer = Dialogs().Question(
      FWindow, QStringLiteral("Save Changes"),
      QStringLiteral("Save changes to %1?")
          .arg(QFileInfo(QString::fromStdString(FEdits->Archive())).fileName()),
      QString(), {QStringLiteral("Save"), QStringLiteral("Discard"), QStringLiteral("Cancel")});
  if (answer == 0) return Save();
  return answer == 1;
}

// An entry the unsaved changes touch: bold, told in its tool tip; a deleted one struck out and
// not choosable.
void MarkEditedItem(QTreeWidgetItem* item, const TEditedEntry& entry) {
  if (entry.Mark == TEntryMark::Unchanged) return;
  QFont font = item->font(0);
  const bool deleted = entry.Mark == TEntryMark::Deleted;
  font.setBold(!deleted);
  font.setStrikeOut(deleted);
  const QString status =
      entry.Mark == TEntryMark::Renamed ? QStringLiteral("Renamed from %1, not saved yet")
                                              .arg(QString::fromStdString(entry.OldPath))
      : entry.Mark == TEntryMark::Added    ? QStringLiteral("Added, not saved yet")
      : entry.Mark == TEntryMark::Replaced ? QStringLiteral("Replaced, not saved yet")
                                           : QStringLiteral("Deleted, not saved yet");
  for (int column = 0; column < item->columnCount(); ++column) {
    item->setFont(column, font);
    if (column != 1) item->setToolTip(column, status);
    item->setStatusTip(column, status);
  }
  if (deleted) item->setFlags(item->flags() & ~Qt::ItemIsSelectable);
}
