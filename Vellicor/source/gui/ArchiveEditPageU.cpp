#include "ArchiveEditPageU.h"

#include <QComboBox>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ArchiveEditsU.h"
#include "DialogsU.h"
#include "GameFolderU.h"

namespace {

constexpr int PathRole = Qt::UserRole;

QString ParentOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? QString() : QString::fromStdString(path.substr(0, slash));
}

QString NameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return QString::fromStdString(slash == std::string::npos ? path : path.substr(slash + 1));
}

}  // namespace

TArchiveEditPage::TArchiveEditPage(QWidget* parent) : QWidget(parent) {
  FActions = new TArchiveEditActions(*this, this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel(QStringLiteral("Archive:"), this));
  FChooser = new QComboBox(this);
  FChooser->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  top->addWidget(FChooser);
  FNote = new QLabel(this);
  top->addWidget(FNote, 1);
  layout->addLayout(top);
  auto* bar = new QToolBar(this);
  bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  FActions->AddTo(bar);
  layout->addWidget(bar);
  FList = new QTreeWidget(this);
  FList->setHeaderLabels(
      {QStringLiteral("Name"), QStringLiteral("Size"), QStringLiteral("Status")});
  FList->setRootIsDecorated(false);
  FList->setSelectionMode(QAbstractItemView::ExtendedSelection);
  FList->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  FList->setAcceptDrops(true);
  FList->viewport()->setAcceptDrops(true);
  FList->viewport()->installEventFilter(this);
  layout->addWidget(FList, 1);

  connect(FChooser, &QComboBox::activated, this, &TArchiveEditPage::ChooserActivated);
  connect(FList, &QTreeWidget::itemSelectionChanged, FActions, &TArchiveEditActions::UpdateActions);
  connect(FActions, &TArchiveEditActions::listingChanged, this, &TArchiveEditPage::FillList);
  connect(FActions, &TArchiveEditActions::modifiedChanged, this, [this](bool modified) {
    if (FSwitching) return;
    const bool saved = FModified && !modified;
    FModified = modified;
    emit modifiedChanged(modified);
    if (saved) emit archiveSaved();
  });
  SetGame(nullptr);
}

TArchiveEditPage::~TArchiveEditPage() = default;

void TArchiveEditPage::SetGame(const TGameFolder* game) {
  const QString kept = Archive();
  FChooser->clear();
  if (game)
    for (const auto& [path, shown] : game->Archives())
      FChooser->addItem(QString::fromStdString(shown), QString::fromStdString(path));
  FChooser->setEnabled(FChooser->count() > 0);
  FNote->setText(FChooser->count() ? QString() : QStringLiteral("The game has no archive."));
  const int index = kept.isEmpty() ? -1 : FChooser->findData(kept);
  if (index >= 0) {
    FChooser->setCurrentIndex(index);
    FillList();
    return;
  }
  FSwitching = true;
  FActions->SetArchive(QString());
  FSwitching = false;
  FillList();
  // An archive's listing is read when the page is first looked at, not at every mount.
  if (isVisible()) TakeFirstArchive();
}

void TArchiveEditPage::TakeFirstArchive() {
  if (!FActions->Edits() && FChooser->count() > 0) ChooseArchive(FChooser->itemData(0).toString());
}

void TArchiveEditPage::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  TakeFirstArchive();
}

void TArchiveEditPage::SetFolder(const QString& treePath) {
  FFolder = QString(treePath).replace('\\', '/');
  FillList();
}

QString TArchiveEditPage::Archive() const {
  return FActions->Edits() ? QString::fromStdString(FActions->Edits()->Archive()) : QString();
}

bool TArchiveEditPage::ChooseArchive(const QString& archive) {
  if (archive == Archive()) return true;
  if (!FActions->AskToSave()) {
    FChooser->setCurrentIndex(FChooser->findData(Archive()));
    return false;
  }
  FSwitching = true;
  bool done = true;
  try {
    FActions->SetArchive(archive);
  } catch (const std::exception& error) {
    Dialogs().Message(this, QStringLiteral("Edit Archive"), QString::fromStdString(error.what()),
                      QMessageBox::Warning, QMessageBox::Ok);
    FActions->SetArchive(QString());
    done = false;
  }
  FSwitching = false;
  if (FModified) {
    FModified = false;
    emit modifiedChanged(false);
  }
  FChooser->setCurrentIndex(FChooser->findData(Archive()));
  FillList();
  return done;
}

void TArchiveEditPage::ChooserActivated(int index) {
  ChooseArchive(FChooser->itemData(index).toString());
}

bool TArchiveEditPage::AskToSave() {
  return FActions->AskToSave();
}

QStringList TArchiveEditPage::ChosenArchiveEntries() const {
  QStringList paths;
  for (QTreeWidgetItem* item : FList->selectedItems()) paths << item->data(0, PathRole).toString();
  return paths;
}

void TArchiveEditPage::FillList() {
  FList->clear();
  if (!FActions->Edits()) return;
  const QString folder = FFolder;
  QList<QTreeWidgetItem*> rows;
  for (const TEditedEntry& entry : FActions->Edits()->Listing()) {
    if (ParentOf(entry.Path).compare(folder, Qt::CaseInsensitive) != 0) continue;
    const QString size =
        entry.IsFolder ? QString() : QLocale().formattedDataSize(qint64(entry.Size));
    auto* row = new QTreeWidgetItem(
        {NameOf(entry.Path) + (entry.IsFolder ? QStringLiteral("/") : QString()), size,
         QString::fromLatin1(EntryMarkName(entry.Mark))});
    row->setData(0, PathRole, QString::fromStdString(entry.Path));
    row->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    MarkEditedItem(row, entry);
    rows << row;
  }
  FList->addTopLevelItems(rows);
  FActions->UpdateActions();
}

bool TArchiveEditPage::eventFilter(QObject* watched, QEvent* event) {
  if (watched != FList->viewport()) return QWidget::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDropEvent*>(event);
      if (!FActions->Edits() || !TArchiveEditActions::CanDrop(drag->mimeData())) return false;
      drag->setDropAction(Qt::CopyAction);
      drag->accept();
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      if (!FActions->Edits() || !TArchiveEditActions::CanDrop(drop->mimeData())) return false;
      drop->setDropAction(Qt::CopyAction);
      drop->accept();
      FActions->Drop(drop->mimeData());
      return true;
    }
    default:
      return QWidget::eventFilter(watched, event);
  }
}
