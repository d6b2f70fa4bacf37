#pragma once
// The edits of a view's file: its content (read when the first edit asks for it), the steps the
// user can undo, and whether what is shown differs from what was last saved. Edits themselves are
// the data side's; this only applies, reverts and merges them.
#include <QObject>
#include <QUndoStack>
#include <functional>
#include <optional>

#include "QuvEditU.h"

class TEditDocument : public QObject {
  Q_OBJECT
 public:
  explicit TEditDocument(QObject* parent = nullptr);

  QUndoStack* UndoStack() const { return FStack; }
  bool HasContent() const { return FContent.has_value(); }
  // The content; read by `read` the first time it is asked for (which may raise).
  const TQuvContent& Content(const std::function<TQuvContent()>& read);
  const TQuvContent& Content() const { return *FContent; }
  // The palette index of empty pixels changed: the content reads it from now on (the pixels
  // themselves keep their indices).
  void SetTransparentIndex(uint8_t index);

  // Performs the edit as one step of the undo stack. Steps with the same merge key that follow
  // each other (the moves of one drag, a run of nudges) become one step; a step that ends where
  // it began leaves the stack.
  void Perform(TQuvEdit edit, int mergeKey = -1);
  // A key no earlier step has used: one per drag.
  int NewMergeKey() { return ++FLastMergeKey; }
  // Nudges by key merge with each other while nothing else comes between.
  static constexpr int NudgeMergeKey = 1;

  bool Modified() const { return !FStack->isClean(); }
  void MarkSaved() { FStack->setClean(); }

 signals:
  // The content changed by the edit, done (or undone): the view shows the new content.
  void contentChanged(const TQuvEdit& edit, bool undone);
  void modifiedChanged(bool modified);

 private:
  friend class TEditCommand;
  void Apply(const TQuvEdit& edit, bool undo);

  QUndoStack* FStack;
  std::optional<TQuvContent> FContent;
  int FLastMergeKey = NudgeMergeKey;
};
