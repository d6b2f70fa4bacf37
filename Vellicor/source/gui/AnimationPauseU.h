#pragma once
// Every view's animation stands still while a modal dialog runs over the views: the export
// dialog, the settings dialog, the load and close batches with the archive picker, the
// transparent index dialog, and every file dialog and message box (through Dialogs()). Neither the
// Animate setting nor a view's own play state changes, so views opened meanwhile play as soon as
// the last pause ends.
class TAnimationPause {
 public:
  TAnimationPause() { ++FCount; }
  ~TAnimationPause() { --FCount; }
  TAnimationPause(const TAnimationPause&) = delete;
  TAnimationPause& operator=(const TAnimationPause&) = delete;
  // True while any pause lives (they nest: a picker runs inside the load batch).
  static bool Active() { return FCount > 0; }

 private:
  static inline int FCount = 0;  // one thread: the user-interface thread
};
