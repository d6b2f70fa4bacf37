#pragma once
// A view's exports: the twelve export actions and "Copy frame", which of them a state puts on
// show (and so in the view's menus), the dialogs that ask for names, and the run that asks once
// before replacing files and says in the status line what was written where.
#include <QList>
#include <QObject>
#include <QString>
#include <exception>
#include <functional>

#include "ExportFormatU.h"
#include "ImageLoaderU.h"

class QAction;
class QLabel;
class QTreeWidgetItem;
class QWidget;
class TFrameCursor;
class TImageListPane;
class TSettingsModel;
class TExportPlan;

class TViewExports : public QObject {
  Q_OBJECT
 public:
  // `owner` is the view the dialogs belong to; `status`, its status line.
  TViewExports(TSettingsModel* settings, TFrameCursor* cursor, TImageListPane* list, QLabel* status,
               QWidget* owner);

  QAction* acExportFrames() const { return FExportFrames; }
  QAction* acExportSubFrames() const { return FExportSubFrames; }
  QAction* acExportImageSubFrames() const { return FExportImageSubFrames; }
  QAction* acExportFrame() const { return FExportFrame; }
  QAction* acExportSubFrame() const { return FExportSubFrame; }
  QAction* acExportAll() const { return FExportAll; }
  QAction* acExportSelected() const { return FExportSelected; }
  QAction* acExportFrameData() const { return FExportFrameData; }
  QAction* acExportFramesData() const { return FExportFramesData; }
  QAction* acExportSelectedFramesData() const { return FExportSelectedFramesData; }
  QAction* acExportAllFramesData() const { return FExportAllFramesData; }
  QAction* acExportGeneric() const { return FExportGeneric; }
  // "Copy frame": the shown frame (or sub-frame) to the clipboard with its transparency.
  QAction* acCopyFrame() const { return FCopyFrame; }
  QList<QAction*> ExportActions() const;  // all of the above

  // Puts on show the actions of the state: with the menu, those of a multi-selection or of a
  // shown image (the sub-frame's only while sub-frames are viewed); without, none.
  void ShowActionsFor(bool menuShown, bool multiSelect, bool imageShown, bool subFrameMode);
  // The items of "Image Manipulation" for that state in order; empty: no menu.
  QList<QAction*> MenuActions() const { return FMenuActions; }
  // The export options of the settings into the front end (after a dialog changed them).
  void CopyExportOptions();

  // Runs an export routine: first without writing, to ask once before it replaces files that are
  // there already ("Replace 8 existing files?"; `confirmed`, a file a save dialog has confirmed,
  // is not counted), then for real with the hourglass and `message` in the status bar, which
  // afterwards says how many files were written where. False when the user kept the files.
  // The routine's errors pass through, and so, once the rest is written, do the frames it left
  // out (one EImageFileError naming them).
  bool WriteExport(const std::function<void(TExportPlan&)>& routine, const QString& message,
                   const QString& confirmed = QString());

  // ---- Action handlers ----
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
  void failed(const std::exception& error);  // for the view to report
  void exportDialogRequested();              // "Export ..."

 private:
  void CreateActions();
  // The frame of every export action: animation paused, dialogs asked (askNames returns false
  // when cancelled), the routine run with the hourglass and the action's status message.
  void RunExport(QAction* action, const std::function<bool()>& askNames,
                 const std::function<QString()>& message,
                 const std::function<void(TExportPlan&)>& routine);
  bool AskSaveFile(const QString& title, const QString& filter, const QString& proposedName,
                   QString& chosen);
  bool AskFolder(QString& chosen);
  // The current frame's file name and the save dialog's filter in a frame format.
  QString FrameFileNameIn(TExportFormat format, int subFrame) const;
  static QString FrameFilter(TExportFormat format);
  bool AskFrameDataFile(QString& file, QString& folder);
  void ExportDataOfRows(TExportPlan& plan, const QList<QTreeWidgetItem*>& rows);
  void CopyFrame();
  TFrontEndImages* FrontEnd() const;
  TFrontEndImage* Image() const;
  QString StatusText() const;
  void SetStatusText(const QString& text);

  TSettingsModel* FSettings;
  TFrameCursor* FCursor;
  TImageListPane* FList;
  QLabel* FStatus;
  QWidget* FOwner;
  QAction *FExportFrames, *FExportSubFrames, *FExportImageSubFrames, *FExportFrame,
      *FExportSubFrame, *FExportAll, *FExportSelected, *FExportFrameData, *FExportFramesData,
      *FExportSelectedFramesData, *FExportAllFramesData, *FExportGeneric, *FCopyFrame;
  QAction* FSeparators[2];  // between the menu's groups
  QList<QAction*> FMenuActions;
  QString FSavedFile;  // the file the last save dialog of an export confirmed
};
