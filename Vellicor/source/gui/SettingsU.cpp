#include "SettingsU.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QShowEvent>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

#include "AppSettingsU.h"
#include "AssertU.h"
#include "ColorPickerButtonU.h"
#include "DialogsU.h"
#include "ExportDialogU.h"
#include "ExportOptionListsU.h"
#include "SettingsModelU.h"

namespace {

constexpr int DefaultHistoryLimit = 5;
constexpr uint32_t DefaultBackground = 0x00FFFFFF;
constexpr int DefaultPreloadCount = 5;
constexpr int DefaultBitDepthIndex = 5;  // "24 bit"

QLabel* HintedLabel(const QString& caption, const QString& hint, QWidget* parent) {
  auto* label = new QLabel(caption, parent);
  label->setToolTip(hint);
  return label;
}

}  // namespace

TSettingsDialog::TSettingsDialog(TSettingsModel* settings, QWidget* parent, IRegistry* registry,
                                 IDesktopIntegration* desktop)
    : QDialog(parent), Settings(settings), FRegistry(registry), FDesktop(desktop) {
  setWindowTitle(QStringLiteral("Settings"));
  // The classic size as the least; the layout grows with the font.
  setMinimumSize(320, 408);
  CreateControls();
  CreateOptionControls();
  LayOutControls();
  connect(OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  connect(ResetBtn, &QPushButton::clicked, this, [this] { FormActivate(); });
  connect(DefaultBtn, &QPushButton::clicked, this, [this] { DefaultBtnClick(); });
  connect(ClearHistory, &QPushButton::clicked, this, [this] { ClearHistoryClick(); });
}

void TSettingsDialog::CreateControls() {
  FirstStartLbl = new QLabel(
      QStringLiteral(
          "This is the first start: these settings can be changed later under Settings."),
      this);
  FirstStartLbl->setWordWrap(true);
  FirstStartLbl->hide();
  MaxHistoryListSizeLbl = HintedLabel(
      QStringLiteral("Max history list size:"),
      QStringLiteral(
          "The Max size the history list will grow to before items are dropped of the end."),
      this);
  MaxHistoryListSize = new QSpinBox(this);
  MaxHistoryListSize->setRange(0, 255);
  MaxHistoryListSize->setToolTip(
      QStringLiteral("Allows the max size of the history list to be changed"));

  BackgroundColorLbl =
      HintedLabel(QStringLiteral("Background color"),
                  QStringLiteral("The background color on which the images are rendered on"), this);
  ColorPickerButton1 = new TColorPickerButton(this);
  ColorPickerButton1->setToolTip(
      QStringLiteral("Allows the selection of the background color on which the images are "
                     "rendered on. Choose from prefined colors or select a color."));

  ArchiveSearchFilterLbl =
      HintedLabel(QStringLiteral("Archive search filter"),
                  QStringLiteral("The search filter to use when search archive files"), this);
  ArchiveSearchFilter = new QLineEdit(this);
  ArchiveSearchFilter->setToolTip(
      QStringLiteral("Allows the search filter when search archive files to be changed. "
                     "Seperate entires are seperated by a ';'"));
}

void TSettingsDialog::CreateOptionControls() {
  PreLoadFrameCountLbl = new QLabel(QStringLiteral("Preload frame count :"), this);
  PreLoadFrameCount = new QSpinBox(this);
  PreLoadFrameCount->setRange(INT_MIN, INT_MAX);
  PreLoadFrameCount->setToolTip(
      QStringLiteral("The number of frames to load before they are used"));

  ImageBitDepthLbl = new QLabel(QStringLiteral("Export image bit depth"), this);
  ImageBitDepth = new QComboBox(this);
  ImageBitDepth->addItems(BitDepthItems());
  ImageBitDepth->setToolTip(QStringLiteral("The bitdepth to export images as"));

  FrameDataExportTypeLbl = new QLabel(QStringLiteral("Frame Data export type"), this);
  FrameDataExportType = new QComboBox(this);
  FrameDataExportType->addItems(FrameDataTypeItems());
  FrameDataExportType->setToolTip(
      QStringLiteral("The amount of information to include in export frame data"));

  // The menu command's setting: a click changes it at once, as the command does.
  CheckBox1 = new QCheckBox(ToggleCaption(tgExportFrameWhenExportFrameData), this);
  CheckBox1->setToolTip(ToggleHint(tgExportFrameWhenExportFrameData));
  CheckBox1->setChecked(Settings->ExportFrameWhenExportFrameData());
  connect(Settings, &TSettingsModel::toggleChanged, CheckBox1, [this](TToggle toggle, bool on) {
    if (toggle != tgExportFrameWhenExportFrameData) return;
    const QSignalBlocker block(CheckBox1);
    CheckBox1->setChecked(on);
  });
  connect(CheckBox1, &QCheckBox::clicked, this, [this](bool on) {
    if (Settings->ExportFrameWhenExportFrameData() != on)
      Settings->ToggleCommand(tgExportFrameWhenExportFrameData);
    const QSignalBlocker block(CheckBox1);
    CheckBox1->setChecked(Settings->ExportFrameWhenExportFrameData());
  });

  FitNewViews = new QCheckBox(QStringLiteral("Fit new views"), this);
  FitNewViews->setToolTip(
      QStringLiteral("New views show the image at the largest zoom at which every frame fits"));

  RegQuvs = new QCheckBox(QStringLiteral("Register Quvs with Vellicor"), this);
  RegQuvs->setToolTip(
      QStringLiteral("Registers quv files with the windows shell to be opened with Vellicor"));

  ClearHistory = new QPushButton(QStringLiteral("Clear History"), this);
  ClearHistory->setToolTip(QStringLiteral("Clears the history, non reversable"));
  OKBtn = new QPushButton(QStringLiteral("OK"), this);
  CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
  ResetBtn = new QPushButton(QStringLiteral("Reset to current settings"), this);
  ResetBtn->setToolTip(
      QStringLiteral("Shows the settings in use again, undoing the changes made in this dialog"));
  DefaultBtn = new QPushButton(QStringLiteral("Reset to default settings"), this);
  // Enter means OK wherever the focus is: no other button takes over the default when it gets
  // the focus.
  for (QPushButton* button : {ClearHistory, CancelBtn, ResetBtn, DefaultBtn})
    button->setAutoDefault(false);
  OKBtn->setDefault(true);
}

void TSettingsDialog::LayOutControls() {
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(FirstStartLbl);
  auto* grid = new QGridLayout;
  int row = 0;
  auto add = [&](QWidget* label, QWidget* field) {
    grid->addWidget(label, row, 0);
    grid->addWidget(field, row, 1);
    ++row;
  };
  add(MaxHistoryListSizeLbl, MaxHistoryListSize);
  add(BackgroundColorLbl, ColorPickerButton1);
  add(ArchiveSearchFilterLbl, ArchiveSearchFilter);
  add(PreLoadFrameCountLbl, PreLoadFrameCount);
  add(ImageBitDepthLbl, ImageBitDepth);
  add(FrameDataExportTypeLbl, FrameDataExportType);
  layout->addLayout(grid);
  layout->addWidget(CheckBox1);
  layout->addWidget(FitNewViews);
  layout->addWidget(RegQuvs);
  layout->addWidget(ClearHistory);
  layout->addStretch(1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);
  layout->addLayout(buttons);
  layout->addWidget(ResetBtn);
  layout->addWidget(DefaultBtn);
}

TSettingsDialog::~TSettingsDialog() {
  FileAssociate.reset();  // it refers to the registry
}

IRegistry& TSettingsDialog::Registry() {
  if (FRegistry) return *FRegistry;
  if (!FOwnRegistry) FOwnRegistry = std::make_unique<TFileRegistry>(DefaultRegistryFileName());
  return *FOwnRegistry;
}

void TSettingsDialog::PrepareFileAssociate() {
  if (!FRegistry) {
    // Read afresh: another copy of the program may have changed it meanwhile.
    FileAssociate.reset();
    FOwnRegistry.reset();
  }
  FileAssociate = std::make_unique<TFileAssociate>(Registry(), &Desktop());
  FileAssociate->KeyName = "QuvFile";
  FileAssociate->ShellCmd = "Open";
  FileAssociate->Shell = "&Open";
  FileAssociate->OpenWith = ProgramFilePath();
  FileAssociate->UseDDE = true;
  FileAssociate->DDEMessage = "[Open(%1)]";
  FileAssociate->DDETopic = "VellicorSeries";
  FileAssociate->Global = false;
}

IDesktopIntegration& TSettingsDialog::Desktop() {
  if (FDesktop) return *FDesktop;
  if (!FOwnDesktop) FOwnDesktop = std::make_unique<TXdgDesktopIntegration>();
  return *FOwnDesktop;
}

bool TSettingsDialog::IsQuvAssociationShown() {
  if (!FileAssociate) PrepareFileAssociate();
  const std::optional<std::string> handler =
      Desktop().DefaultApplication(MimeTypeForExtension(".QUV"));
  if (!handler) return IsFileTypeRegistered(Registry());
  return *handler == FileAssociate->DesktopId + ".desktop";
}

void TSettingsDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous()) return;
  if (QWidget* owner = parentWidget()) {
    const QRect area = owner->frameGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  FormActivate();
}

void TSettingsDialog::FormActivate() {
  PrepareFileAssociate();
  MaxHistoryListSize->setMaximum(255);
  MaxHistoryListSize->setValue(Settings->MaxHistoryListSize());
  ColorPickerButton1->SetColor(Settings->BackGroundColor());
  ArchiveSearchFilter->setText(Settings->ArchiveSearchFilter());
  PreLoadFrameCount->setValue(Settings->PreLoadCount());
  ImageBitDepth->setCurrentIndex(TExportDialog::BitDepthIndex(Settings->ExportBitDepth()));
  FrameDataExportType->setCurrentIndex(Settings->FrameDataExportType());
  FitNewViews->setChecked(Settings->FitNewViews());
  const bool firstStart = !QFileInfo::exists(Settings->FileName());
  FirstStartLbl->setVisible(firstStart);
  if (firstStart) DefaultBtnClick();
  RegQuvs->setChecked(IsQuvAssociationShown());
}

void TSettingsDialog::DefaultBtnClick() {
  RegQuvs->setChecked(false);
  MaxHistoryListSize->setMaximum(255);
  MaxHistoryListSize->setValue(DefaultHistoryLimit);
  ColorPickerButton1->SetColor(DefaultBackground);
  ArchiveSearchFilter->setText(QStringLiteral("*.quv"));
  PreLoadFrameCount->setValue(DefaultPreloadCount);
  ImageBitDepth->setCurrentIndex(DefaultBitDepthIndex);
  FrameDataExportType->setCurrentIndex(0);
  FitNewViews->setChecked(false);
}

void TSettingsDialog::OKBtnClick() {
  Settings->SetMaxHistoryListSize(MaxHistoryListSize->value());
  Settings->SetBackGroundColor(ColorPickerButton1->Color());
  Settings->SetArchiveSearchFilter(ArchiveSearchFilter->text());
  Settings->SetPreLoadCount(PreLoadFrameCount->value());
  Settings->SetExportBitDepth(TExportDialog::BitDepthFormat(ImageBitDepth->currentIndex()));
  Settings->SetFrameDataExportType(std::max(FrameDataExportType->currentIndex(), 0));
  Settings->SetFitNewViews(FitNewViews->isChecked());
  if (!FileAssociate) PrepareFileAssociate();
  ApplyAssociation(RegQuvs->isChecked());
  Settings->Save();
  accept();
}

void TSettingsDialog::ApplyAssociation(bool on) {
  if (!FileAssociate) PrepareFileAssociate();
  const bool registered = IsFileTypeRegistered(Registry());
  if (!on) {
    // Never registered by this program: the extension may well belong to another one, whose
    // keys removing "ours" would delete.
    if (!registered) {
      // The desktop may still name the program (an earlier install chose it): no longer.
      if (IsQuvAssociationShown()) {
        Desktop().DissociateExtension(FileAssociate->DesktopId, ".QUV");
        Desktop().NotifyAssociationsChanged();
      }
      return;
    }
    FileAssociate->UnregisterExtension(".QUV");
    FileAssociate->UnregisterFileType();
    return;
  }
  if (registered) ApplyAssociation(false);
  if (FileAssociate->RegisterFileType() && FileAssociate->RegisterExtension(".QUV")) return;
  Dialogs().Message(this, QStringLiteral("Error registering Quv file type"),
                    QStringLiteral("Unable to register quv file extention"), QMessageBox::Critical,
                    QMessageBox::Ok);
}

void TSettingsDialog::ClearHistoryClick() {
  const int limit = Settings->MaxHistoryListSize();
  if (limit == 0) return;
  Settings->SetMaxHistoryListSize(0);
  Settings->SetMaxHistoryListSize(limit);
}
