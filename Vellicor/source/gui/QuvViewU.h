#pragma once
// The window of one open Quv file (an MDI child of the main window): the open document (its own
// file system and image manager), the list of the file's named images, the attributes and animation
// panels, the paint area that shows the current frame at its hot spot (or centred), and the export
// actions. It reads and changes the settings model it is given, and tells its owner what happened
// through signals; the owner puts its export actions into its menus.
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QScopeGuard>
#include <QScrollArea>
#include <QSlider>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QTreeWidget>
#include <QWidget>
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "BitmapImageU.h"
#include "ImageLoaderU.h"
#include "SettingsModelU.h"

class QFrame;
class QLineEdit;
class QToolButton;
class TPaintBox;
class TPaletteModel;
class TImage;
class TImageClass;
struct TQuvDocument;
class TFrontEndImages;
class TFrontEndImage;
class TFrontEndImageFrame;

// The front end's export format for the life of a scope; the former one comes back after.
// The one-file-per-frame exports write a per-image format's frames as PNG, and the frame-data
// exports write their bitmaps as BMP.
class TExportFormatScope {
 public:
  TExportFormatScope(TFrontEndImages* frontEnd, TExportFormat format);
  ~TExportFormatScope();
  TExportFormatScope(const TExportFormatScope&) = delete;
  TExportFormatScope& operator=(const TExportFormatScope&) = delete;
  // The format of a per-frame export in the chosen format.
  static TExportFormat FrameFormat(TExportFormat chosen) {
    return IsFrameFormat(chosen) ? chosen : efPng;
  }

 private:
  TFrontEndImages* FFrontEnd;
  TExportFormat FWas;
};

// A row of the image list; it keeps the image object made for it.
class TQuvImageListItem : public QTreeWidgetItem {
 public:
  using QTreeWidgetItem::QTreeWidgetItem;
  bool operator<(const QTreeWidgetItem& other) const override;
  TFrontEndImage* Image = nullptr;
};

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
  // Puts the export actions of the present state on show and tells the owner (menusMerged),
  // who fills "Image Manipulation" with ImageManipulationActions(); off: the menu goes.
  void MergeMenus(bool on);
  // The items of "Image Manipulation" in order (1..11 the exports, then "Copy frame"), null
  // for a separator; empty: no menu.
  QList<QAction*> MenuActions() const { return FMenuActions; }
  bool MenuShown() const { return FMenuShown; }
  // The same in the order of "Image Manipulation", separators as separator actions; empty
  // while the view shows no menu.
  QList<QAction*> ImageManipulationActions() const;
  void SetSubFrameMode(bool on);
  void ShowFrame(int index);
  // Shows the frame (or, viewing sub-frames, the sub-frame) the view is at.
  void ShowCurrentFrame();
  void PreloadFrames(bool on);
  void RepaintImage();  // draws the paint area anew
  void SetAnimationSpeedSelector(int speed);
  TSettingsModel* Settings() const { return FSettings; }
  TFrontEndImages* FrontEnd() const { return FFrontEnd; }
  // The export options of the settings into the front end (after a dialog changed them).
  void CopyExportOptions();
  QTreeWidget* ImageList() const { return QuvImageList; }
  void SetListWidth(int width);
  int ListWidth() const;
  void Activate();  // FormActivate

  // ---- Handlers (public so the main window and tests can drive them) ----
  void SelectImage(const QString& name);
  // Makes the named image the list's one selection (and so the one shown); false, with a
  // status message, when the file has no image of that name.
  bool ShowImageNamed(const QString& name);
  void ClearImage();
  void SetMultiSelect(bool on);
  void QuvImageListSelectItem(QTreeWidgetItem* item, bool selected);
  void QuvImageListColumnClick(int column);
  int QuvImageListCompare(const QTreeWidgetItem* a, const QTreeWidgetItem* b) const;
  void PaintBoxPaint();
  void TimerTimer();
  void FrameTrackBarChange();
  void SubFrameTrackBarChange();
  void AnimationSpeedSelectorChange();
  void Splitter1Moved();
  // The next- and previous-window commands: the main window does the switching.
  void RequestNextChild();
  void RequestPreviousChild();
  // Where a frame or sub-frame object lands in the paint area.
  QPoint FramePlacement(TFrontEndImageFrame* frame) const;
  QString StatusText() const;
  void SetStatusText(const QString& text);
  // An error of this view, with the animation stopped meanwhile: a programming error goes to the
  // owner's error dialog; a data error (a damaged file, a failing disk) to the status bar and a
  // plain box.
  void ReportError(const std::exception& error);
  // Decodes the frames through this palette from now on; the shown frame is drawn again.
  void SetPalette(const TPalette& palette, uint8_t transparentIndex);
  // "tank.quv — data/units" for "data/units/tank.quv": the name first, then the folder.
  static QString FileCaption(const QString& fileName);

  // ---- Zoom, playback keys, pixel inspector ----
  // "Zoom In", "Zoom Out", "Actual Size" and "Fit", for the main window's View menu; their keys
  // work while the focus is in this view.
  QList<QAction*> ZoomActions() const { return {acZoomIn, acZoomOut, acZoomReset, acFit}; }
  int Zoom() const { return FZoom; }  // the step shown: one of ZoomSteps (-2 is 1/2)
  bool FitZoomOn() const { return FFit; }
  // A step chosen by the user: fit ends, and the step becomes the default of new views. With
  // `anchor` (a point of the drawing area's viewport) the pixel under it stays there.
  void SetZoom(int step, std::optional<QPoint> anchor = std::nullopt);
  void StepZoom(int steps, std::optional<QPoint> anchor = std::nullopt);
  void SetFit(bool on);
  // The largest step at which every frame of the image fits the drawing area.
  int FitZoom() const;
  // The image's frames on their common hot-spot canvas (or, centred, the largest frame).
  QSize ImageCanvas() const { return FImageCanvas; }
  // Playing: the Animate setting and the view's own play state (on when the view opens) both.
  bool Playing() const { return FPlaying && FSettings->Animated(); }
  void SetPlaying(bool on);
  // Space and the play button: pauses, or plays (switching the Animate setting on if need be).
  void TogglePlaying();
  // Left/Right: one frame (one sub-frame while viewing sub-frames) back or on, and pause.
  void StepFrame(int delta);
  void ShowEndFrame(bool last);     // Home/End
  void SelectNeighbour(int delta);  // Up/Down: the previous or next image of the list
  // What the pointer over canvas pixel `pixel` shows in the status bar; empty off the frame.
  QString PixelInfo(const QPoint& pixel);
  // Runs an export routine: first without writing, to ask once before it replaces files that are
  // there already ("Replace 8 existing files?"; `confirmed`, a file a save dialog has confirmed,
  // is not counted), then for real with the hourglass and `message` in the status bar, which
  // afterwards says how many files were written where. False when the user kept the files.
  // The routine's errors pass through.
  bool WriteExport(const std::function<void()>& routine, const QString& message,
                   const QString& confirmed = QString());

  // ---- State ----
  QString FileName;
  QString ArchiveSource;
  QString BaseCaption;
  QString LastError;         // message of the last failed load
  QStringList LoadWarnings;  // the warnings the reader logged while the file loaded
  // "Frame 4 of ‘tank’ cannot be read: ...", once per frame the file holds damaged.
  QStringList FrameErrors;
  TImageClass* Collection = nullptr;
  TFrontEndImage* CurrentImage = nullptr;
  TFrontEndImageFrame* CurrentFrameObject = nullptr;
  TFrontEndImageFrame* DisplayedFrame = nullptr;
  bool MultiSelectMode = false;
  QString LastSelectedName;
  bool ImageReady = false;
  bool SubFrameMode = false;
  int LastTrackPosition = -1;
  QStringList ImageNames;
  int SortColumn = 0;
  int SortDirection = 0;

  // ---- Controls ----
  QSplitter* Splitter1;
  QTreeWidget* QuvImageList;
  QStatusBar* StatusBar;
  QWidget* Panel1;
  QWidget* ImageAttributesPanel;
  QWidget* ImageAttributes;
  QWidget* AnimationPanel;
  QLabel *FrameCount, *CurrentFrame, *SubFrameCount, *CurrentSubFrame, *CurrentSubFrameLabel,
      *ImageWidth, *ImageHeight, *XOffSet, *YOffSet;
  QCheckBox *TransparentCheck, *AnimateCheck, *ViewSubFramesCheck, *AutoCentreCheck;
  // The view's own commands of the toggles it offers (check boxes and right-click menu).
  QAction *acAnimate, *acViewSubFrames, *acAutoCentre, *acTransparent, *acPreLoad;
  QSlider* FrameTrackBar;
  QSlider* SubFrameTrackBar;
  QSpinBox* AnimationSpeedSelector;
  QScrollArea* PaintScroll;  // the drawing area; scrolls the zoomed canvas
  TPaintBox* PaintBox;
  QTimer* Timer;
  // The dismissible bar above the view that tells of load warnings and of a file without
  // images; the details open under "show".
  QFrame* WarningsBar = nullptr;
  QLabel* WarningsSummary = nullptr;
  QLabel* WarningsDetails = nullptr;
  QLabel* AnimationSpeedUnit = nullptr;  // "ms per frame (15.0 fps)"
  QLabel* ZoomValue;                     // attributes: "4×"
  QLabel* FramePosition;                 // attributes: "Frame 3 / 8"
  QLabel* ZoomStatus;                    // status bar: "Zoom 4×"
  QLabel* PixelStatus;                   // status bar: the pixel under the pointer
  QAction *acZoomIn, *acZoomOut, *acZoomReset, *acFit;
  // The frame panel's playback buttons, and the state they leave beside the speed's caption
  // ("Paused", or empty).
  QToolButton *PlayButton = nullptr, *StepBackButton = nullptr, *StepOnButton = nullptr;
  QLabel* PlayState = nullptr;
  // Above the list: narrows it to the images whose names hold the text, in any letter case.
  QLineEdit* ImageFilter = nullptr;

  // ---- Menus and actions ----
  QMenu* PopUpMenu_Selection;
  QMenu* PopUpMenu_MultiSelected;
  QMenu* PopupMenu_Image;
  QMenu* PopupMenu_ImageAttributes;
  QMenu* ListPopupMenu;  // the list's current right-click menu
  QAction *acExportFrames, *acExportSubFrames, *acExportImageSubFrames, *acExportFrame,
      *acExportSubFrame, *acExportAll, *acExportSelected, *acExportFrameData, *acExportFramesData,
      *acExportSelectedFramesData, *acExportAllFramesData, *acExportGeneric;
  // "Copy frame": the shown frame (or sub-frame) to the clipboard with its transparency.
  QAction* acCopyFrame;
  QList<QAction*> ExportActions() const;

  // ---- Export action handlers ----
  void acExportFrameExecute();
  void acExportFramesExecute();
  void acExportSubFrameExecute();
  void acExportSubFramesExecute();
  void acExportImageSubFramesExecute();
  void acExportAllExecute();
  void acExportSelectedExecute();
  void acExportFrameDataExecute();
  void acExportFramesDataExecute();
  void acExportSelectedFramesDataExecute();
  void acExportAllFramesDataExecute();
  void acCopyFrameExecute();

 signals:
  void fileOpened(const QString& fileName);  // loaded: the name for history and Window menu
  void statusChanged(const QString& text);   // for the owner's status bar
  void errorRaised(const std::exception& error);
  void nextWindowRequested();
  void previousWindowRequested();
  void menusMerged(bool on);
  void exportDialogRequested();  // "Export ..."

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void CreateControls();
  void CreateWarningsBar();
  void ShowLoadWarnings();
  void UpdateWarningsSummary();
  void UpdateSpeedUnit();
  QWidget* CreatePlayControls(QWidget* parent);
  void UpdatePlayControls();
  void FilterImages(const QString& text);
  // Gathers the load warnings the console is told while it lives.
  class TLoadWarningCollector {
   public:
    explicit TLoadWarningCollector(QStringList& warnings);
    ~TLoadWarningCollector();
    TLoadWarningCollector(const TLoadWarningCollector&) = delete;
    TLoadWarningCollector& operator=(const TLoadWarningCollector&) = delete;

   private:
    QStringList& FWarnings;
    std::function<void(const std::string&, uint8_t)> FPrevious;
    bool FInstalled = false;
  };
  QTreeWidget* CreateListPane();
  QWidget* CreateAttributesGrid(QWidget* parent);
  QWidget* CreateAnimationPanel(QWidget* parent);
  void ConnectSettings();
  // Opens a Quv file by its full path, on disk or inside an archive; the name shown in the
  // status bar comes back in `shownName`. Raises the reason it could not.
  TImageClass* OpenQuvDocument(const QString& fullName, QString& shownName);
  void CreateActions();
  void CreateMenus();
  QCheckBox* BoundCheckBox(QAction* action);
  void ShowPopup(QMenu* menu, QWidget* widget, const QPoint& pos);
  void CloseAfterFailure();
  void AddRows();
  void OnSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
  TQuvImageListItem* FindRow(const QString& name) const;
  TFrontEndImage* RowImage(QTreeWidgetItem* row);
  // The selection handler is detached until the guard ends.
  QScopeGuard<std::function<void()>> DetachSelectHandler();
  int SelectedRowCount() const;
  void DrawFrame(TFrontEndImageFrame* frame);
  // Frame `index` of the current image, read on its first request. A frame the file holds
  // damaged comes back as far as it was read, its error noted in FrameErrors; null when not even
  // that is there.
  TFrontEndImageFrame* FetchFrame(int index);
  void NoteFrameError(int index, const std::string& message);
  // A frame (or sub-frame) whose frame could not be read: it is not drawn, the canvas says why.
  static bool IsDamaged(const TFrontEndImageFrame* frame);
  QString FrameErrorAt(const TImage* image, int index) const;
  QString DamageOf(const TFrontEndImageFrame* frame) const;
  void EraseFrame(TFrontEndImageFrame* frame);
  void UpdateFrameLabels(TFrontEndImageFrame* frame);
  void CreateViewActions();
  void CreateKeys();
  QWidget* CreateDrawingArea(QWidget* parent);
  // The canvas at the present zoom: scale and size of the paint area, labels, fit.
  void UpdateCanvasLayout();
  void ApplyZoom(int step, std::optional<QPoint> anchor);
  void UpdateImageCanvas();
  void UpdateBackground();
  void UpdateZoomLabels();
  void DrawBitmap(TFrontEndImageFrame* frame, bool transparent, qreal opacity);
  TFrontEndImageFrame* OnionFrame(TFrontEndImageFrame* frame);
  void UpdateMarks(TFrontEndImageFrame* frame);
  void UpdatePixelStatus();
  bool CanvasKeyEvent(QKeyEvent* event);
  bool CanvasMouseEvent(QEvent* event);
  void SetTimerInterval(int speed);
  // Runs f; an error goes to ReportError.
  void Guarded(const std::function<void()>& f);

  // The frame of every export action: animation paused, dialogs asked (askNames returns false
  // when cancelled), the routine run with the hourglass and the action's status message.
  void RunExport(QAction* action, const std::function<bool()>& askNames,
                 const std::function<QString()>& message, const std::function<void()>& routine);
  bool AskSaveFile(const QString& title, const QString& filter, const QString& proposedName,
                   QString& chosen);
  bool AskFolder(QString& chosen);
  QString FSavedFile;  // the file the last save dialog of an export confirmed
  // The current frame's file name and the save dialog's filter in a frame format.
  QString FrameFileNameIn(TExportFormat format, int subFrame) const;
  static QString FrameFilter(TExportFormat format);
  bool AskFrameDataFile(QString& file, QString& folder);
  void ExportDataOfRows(const QList<QTreeWidgetItem*>& rows);
  QList<QTreeWidgetItem*> SelectedRowsInListOrder() const;
  QList<QTreeWidgetItem*> AllRowsInListOrder() const;

  TSettingsModel* FSettings;
  TPalette FPalette;  // copied into the document's manager
  uint8_t FTransparentIndex;
  std::unique_ptr<TQuvDocument> FDocument;
  TFrontEndImages* FFrontEnd = nullptr;  // the document's
  TFrameImageCache FImages;
  QList<QAction*> FMenuActions;
  QAction* FMenuSeparators[2] = {};  // the lines between the groups of "Image Manipulation"
  bool FMenuShown = false;
  bool FSelectHandlerAttached = false;
  bool FLoaded = false;
  uint64_t FShowSerial = 0;  // counts ShowFrame calls, to notice one run by a track bar handler
  int FZoom = 1;
  bool FFit = false;
  bool FPlaying = true;
  QSize FImageCanvas{1, 1};
  QSize FContent{1, 1};  // the canvas the scroll range covers: the image's, grown by what is drawn
  QRect FOnionRect;      // where the onion skin was drawn, erased with the frame
  std::map<std::pair<const TImage*, int>, QString> FFrameErrors;  // by image and frame index
  QString FLastDataError;          // told in a box once, so a repeated failure does not ask again
  std::optional<QPoint> FPointer;  // the pointer over the canvas, in canvas pixels
  bool FSpaceHeld = false;
  bool FSpacePanned = false;
  std::optional<QPoint> FPanFrom;  // global position while panning
  int FWheelRest = 0;              // wheel turns short of a notch
  bool FLayingOut = false;
};
