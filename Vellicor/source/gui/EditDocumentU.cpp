#include "EditDocumentU.h"

#include <QString>

// One step of the undo stack: an edit of the content, applied on redo and reverted on undo.
class TEditCommand : public QUndoCommand {
 public:
  TEditCommand(TEditDocument* document, TQuvEdit edit, int mergeKey)
      : QUndoCommand(QString::fromStdString(edit.Name)),
        FDocument(document),
        FEdit(std::move(edit)),
        FMergeKey(mergeKey) {}

  void redo() override { FDocument->Apply(FEdit, false); }
  void undo() override { FDocument->Apply(FEdit, true); }
  int id() const override { return FMergeKey; }

  // The later edit of the same images follows this one: together they go from this one's
  // Before to the later one's After.
  bool mergeWith(const QUndoCommand* other) override {
    const auto* later = static_cast<const TEditCommand*>(other);
    if (later->FEdit.First != FEdit.First || later->FEdit.Before.size() != FEdit.After.size())
      return false;
    FEdit.After = later->FEdit.After;
    setObsolete(FEdit.After == FEdit.Before);
    return true;
  }

 private:
  TEditDocument* FDocument;
  TQuvEdit FEdit;
  int FMergeKey;
};

TEditDocument::TEditDocument(QObject* parent) : QObject(parent), FStack(new QUndoStack(this)) {
  connect(FStack, &QUndoStack::cleanChanged, this,
          [this](bool clean) { emit modifiedChanged(!clean); });
}

const TQuvContent& TEditDocument::Content(const std::function<TQuvContent()>& read) {
  if (!FContent) FContent = read();
  return *FContent;
}

void TEditDocument::SetTransparentIndex(uint8_t index) {
  if (FContent) FContent->TransparentIndex = index;
}

void TEditDocument::Perform(TQuvEdit edit, int mergeKey) {
  FStack->push(new TEditCommand(this, std::move(edit), mergeKey));
}

void TEditDocument::Apply(const TQuvEdit& edit, bool undo) {
  if (undo)
    RevertEdit(*FContent, edit);
  else
    ApplyEdit(*FContent, edit);
  emit contentChanged(edit, undo);
}
