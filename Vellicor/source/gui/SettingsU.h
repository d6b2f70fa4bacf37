#pragma once
// The settings that have no menu command of their own, clearing the history, and the desktop
// association of Quv files with this program.
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <memory>

#include "DesktopIntegrationU.h"
#include "FileAssociateU.h"
#include "RegistryU.h"

class TColorPickerButton;
class TSettingsModel;

class TSettingsDialog : public QDialog {
  Q_OBJECT
 public:
  // `registry` and `desktop` null: the per-user file-backed registry and the XDG desktop,
  // looked up afresh at each showing (so a changed environment is followed).
  TSettingsDialog(TSettingsModel* settings, QWidget* parent, IRegistry* registry = nullptr,
                  IDesktopIntegration* desktop = nullptr);
  ~TSettingsDialog() override;

  TSettingsModel* Settings;
  std::unique_ptr<TFileAssociate> FileAssociate;

  QLabel* FirstStartLbl;  // shown only while no settings file exists yet
  QLabel* MaxHistoryListSizeLbl;
  QSpinBox* MaxHistoryListSize;
  QLabel* BackgroundColorLbl;
  TColorPickerButton* ColorPickerButton1;
  QLabel* ArchiveSearchFilterLbl;
  QLineEdit* ArchiveSearchFilter;
  QLabel* PreLoadFrameCountLbl;
  QSpinBox* PreLoadFrameCount;
  QLabel* ImageBitDepthLbl;
  QComboBox* ImageBitDepth;
  QLabel* FrameDataExportTypeLbl;
  QComboBox* FrameDataExportType;
  QCheckBox* CheckBox1;
  QCheckBox* FitNewViews;
  QCheckBox* RegQuvs;
  QPushButton *ClearHistory, *OKBtn, *CancelBtn, *ResetBtn, *DefaultBtn;

  void FormActivate();  // also "Reset to current settings"
  void DefaultBtnClick();
  void OKBtnClick();
  void ClearHistoryClick();
  // Registers (on) or removes (off) the association; a failed registration is reported.
  void ApplyAssociation(bool on);
  // What the desktop says: the program opens Quv files by default. Where the desktop cannot
  // tell, the file type's registration.
  bool IsQuvAssociationShown();
  IRegistry& Registry();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void CreateControls();
  void CreateOptionControls();
  void LayOutControls();
  void PrepareFileAssociate();
  IDesktopIntegration& Desktop();

  IRegistry* FRegistry;
  IDesktopIntegration* FDesktop;
  std::unique_ptr<IRegistry> FOwnRegistry;
  std::unique_ptr<IDesktopIntegration> FOwnDesktop;
};
