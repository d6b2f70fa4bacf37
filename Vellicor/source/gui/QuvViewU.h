#pragma once
// The window of one open Quv file (an MDI child of the main window): the open document (its own
// file system and image manager), assembled from its parts: the load-warnings bar, the image list
// pane, the frame panel, the sprite canvas with the frame strip under it, the frame player, the
// exports and the edit commands. It reads and changes the settings model it is given, and tells
// its owner what happened through signals; the owner puts its zoom, image-manipulation and edit
// actions into its menus.
#include <QAction>
#include <QList>
#include <QString>
#include <QTreeWidget>
#include <QWidget>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "ImageManagerU.h"
#include "QuvEditU.h"
#include "QuvSaveU.h"

class QLabel;
class QMenu;
class QPoint;
class QSplitter;
class QStatusBar;
class TEditDocument;
class TFrameCursor;
class TFrameInfoPanel;
class TFramePlayer;
class TFrameStrip;
class TFrontEndImages;
class TImageClass;
class TImageListPane;
class TPaletteModel;
class TLoadWarningsBar;
class TSettingsModel;
class TSpriteCanvas;
class TViewEdits;
class TViewExports;
struct TQuvDocument;

class TQuvView : public QWidget {
  Q_OBJECT
 public:
  // FormCreate: the view shows and changes `settings`, and its collection decodes through a
  // copy of the palette `palettes` holds, which it follows from then on.
  TQuvView(TSettingsModel* settings, const TPaletteModel* palettes);
  ~TQuvView() override;  // FormDestroy

  // Loads one file (on disk, or inside an archive through the archive path rule). False: the
  // window has closed itself and will be freed; LastError says why.
  bool LoadQuv(const QString& fileName, const QString& archiveSource);
  QString FileName() const { return FFileName; }
  QString ArchiveSource() const { return FArchiveSource; }
  QString BaseCaption() const { return FBaseCaption; }
  QString LastError() const { return FLastError; }  // message of the last failed load
  TImageClass* Collection() const;
  TSettingsModel* Settings() const { return FSettings; }
  TFrontEndImages* FrontEnd() const;

  // The parts the view is made of.
  TFrameCursor* Cursor() const { return FCursor; }
  TImageListPane* ListPane() const { return FListPane; }
  TFrameInfoPanel* InfoPanel() const { return FInfoPanel; }
  TSpriteCanvas* Canvas() const { return FCanvas; }
  TFrameStrip* Strip() const { return FStrip; }
  TFramePlayer* Player() const { return FPlayer; }
  TViewExports* Exports() const { return FExports; }
  TViewEdits* EditCommands() const { return FEditCommands; }
  TLoadWarningsBar* WarningsBar() const { return FWarningsBar; }
  QTreeWidget* ImageList() const;
  TEditDocument* Edits() const { return FEdits; }

  // ---- Editing ----
  // The content of the file as the view shows it (read from the file at the first call).
  // Raises when a frame cannot be read.
  const TQuvContent& Content();
  // The position in the content of the image shown; false when none is shown.
  bool ShownImageIndex(size_t& index);
  // Makes an edit of the shown image (make gets the content and the image's position) and
  // performs it as one undoable step; a refusal (or a frame the file holds damaged) is told in a
  // box and changes nothing. False when nothing was done.
  bool PerformEdit(const std::function<TQuvEdit(const TQuvContent&, size_t image)>& make,
                   int mergeKey = -1);
  // The frames of the shown image the frame commands act on: the shown frame; none when no
  // image is shown.
  TFrameList SelectedFrames() const;
  // Moves the frames of the shown image before position `to` (the strip's drag), as one step;
  // the first of them is then shown.
  void MoveFrames(const std::vector<int32_t>& frames, int32_t to);
  // The edit commands, for the main window's Edit menu (groups led by separators); their keys
  // work while the focus is in this view.
  QList<QAction*> EditActions() const;
  // The caption's file part: the file name, marked "*" while changed since it was saved.
  QString ShownCaption() const;
  // Edit Hot Spots: dragging the frame on the canvas, or the arrow keys there, move it over its
  // hot spot. Starting it pauses the animation.
  bool EditMode() const;
  void SetEditMode(bool on);

  // ---- Saving ----
  // The file's full path, on disk or through an archive.
  QString FullFileName() const;
  // Writes the content where the file came from (asking first when someone changed the file
  // since it was opened); a failure is told in a box. True when written.
  bool Save();
  // Writes the content to a file the user chooses, which the view then shows.
  bool SaveAs();
  // Before the view closes: "Save changes to NAME?" when changed. True: it may close.
  bool AskToSaveChanges();

  // Puts the export actions of the present state on show and tells the owner (menusMerged),
  // who shows "Image Manipulation" with ImageManipulationActions(); off: the menu goes.
  void MergeMenus(bool on);
  // The items of "Image Manipulation" in order: the exports, then "Copy frame", with separators
  // between the groups; empty: no menu.
  QList<QAction*> ImageManipulationActions() const;
  bool MenuShown() const { return FMenuShown; }
  // "Zoom In", "Zoom Out", "Actual Size" and "Fit", for the main window's View menu; their keys
  // work while the focus is in this view.
  QList<QAction*> ZoomActions() const;
  void Activate();  // FormActivate

  void SelectImage(const QString& name);
  // Makes the named image the list's one selection (and so the one shown); false, with a
  // status message, when the file has no image of that name.
  bool ShowImageNamed(const QString& name);
  void ClearImage();
  void RepaintImage();  // draws the paint area anew
  void SetListWidth(int width);
  int ListWidth() const;
  void Splitter1Moved();
  QString StatusText() const;
  void SetStatusText(const QString& text);
  // An error of this view, with the animation stopped meanwhile: a programming error goes to the
  // owner's error dialog; a data error (a damaged file, a failing disk) to the status bar and a
  // plain box.
  void ReportError(const std::exception& error);
  // Decodes the frames through this palette from now on; the shown frame is drawn again.
  void SetPalette(const TPalette& palette, uint8_t transparentIndex);
  // "tank.quv — data/units" for "data/units/tank.quv": the name first, then the folder.
  // A changed file's name is followed by `marker` ("*").
  static QString FileCaption(const QString& fileName, const QString& marker = QString());

 signals:
  void fileOpened(const QString& fileName);  // loaded: the name for history and Window menu
  void statusChanged(const QString& text);   // for the owner's status bar
  void errorRaised(const std::exception& error);
  void nextWindowRequested();
  void previousWindowRequested();
  void menusMerged(bool on);
  void exportDialogRequested();  // "Export ..."
  void editModeChanged(bool on);

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void CreateControls();
  QStatusBar* CreateStatusBar();
  void CreateMenus();
  void CreateKeys();
  void ConnectParts();
  void ConnectSettings();
  // Opens a Quv file by its full path, on disk or inside an archive; the name shown in the
  // status bar comes back in `shownName`. Raises the reason it could not.
  TImageClass* OpenQuvDocument(const QString& fullName, QString& shownName);
  void CloseAfterFailure();
  // Shows the content after an edit (or its undo): the file is read anew from the content's
  // bytes; the image and frame shown stay, or follow the edit.
  void ShowContent(const TQuvEdit& edit, bool undone);
  // The file read anew from these bytes, showing the named image at that frame.
  void ShowBytes(std::vector<uint8_t> bytes, const QString& name, int frame);
  // The shown frame moved by `shift` on the canvas: its hot spot moves the other way.
  void MoveShownFrame(const QPoint& shift, bool nudge);
  void SetShownOffset(Qt::Orientation which, int value);
  // Writes the content to path; true when written, else the reason was told in a box.
  bool SaveTo(const TQuvSaveTarget& target);
  // The name the view keeps for a full path: relative to the program's folder below it.
  QString KeptName(const QString& fullName) const;
  // Window title: the file part, then the image shown.
  void UpdateCaption();
  // The list's one selected row, with the status saying what loads.
  void ShowChosenImage(const QString& name);
  // Runs f; an error goes to ReportError.
  void Guarded(const std::function<void()>& f);

  TSettingsModel* FSettings;
  TPalette FPalette;  // copied into the document's manager
  uint8_t FTransparentIndex;
  std::unique_ptr<TQuvDocument> FDocument;
  TEditDocument* FEdits;
  QString FFileName;
  QString FArchiveSource;
  QString FBaseCaption;
  QString FLastError;
  TFrameCursor* FCursor;
  TLoadWarningsBar* FWarningsBar = nullptr;
  QSplitter* FSplitter = nullptr;
  TImageListPane* FListPane = nullptr;
  TFrameInfoPanel* FInfoPanel = nullptr;
  TSpriteCanvas* FCanvas = nullptr;
  TFrameStrip* FStrip = nullptr;
  TFramePlayer* FPlayer = nullptr;
  TViewExports* FExports = nullptr;
  TViewEdits* FEditCommands = nullptr;
  QLabel* FStatusText = nullptr;
  QLabel* FPixelStatus = nullptr;  // the pixel under the pointer
  QLabel* FZoomStatus = nullptr;   // "Zoom 4×"
  QMenu* FImageMenu = nullptr;     // PopupMenu_Image: the canvas's right-click menu
  bool FMenuShown = false;
  bool FLoaded = false;
  QString FLastDataError;  // told in a box once, so a repeated failure does not ask again
  // The disk file (or archive) as it was when opened or last saved: a change by someone else
  // is asked about before it is overwritten.
  std::optional<TFileStamp> FStamp;
};
