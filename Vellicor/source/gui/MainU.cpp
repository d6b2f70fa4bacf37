#include "MainU.h"
#include "FileSystemU.h"
#include "HistoryListU.h"

namespace {
TMainForm* TheMainForm = nullptr;
}

TMyMenuItem::TMyMenuItem(const QString& fileName, QObject* parent)
    : QAction(fileName, parent), FileName(fileName) {}

TMainForm::TMainForm(const QString& settingsFile, QWidget* parent)
    : QMainWindow(parent), FSettingsFile(settingsFile) {
  TheMainForm = this;
  MdiArea = new QMdiArea(this);
  setCentralWidget(MdiArea);
}

TMainForm::~TMainForm() {
  if (TheMainForm == this) TheMainForm = nullptr;
}

TMainForm* TMainForm::Instance() {
  return TheMainForm;
}

TQuvView* TMainForm::OpenQuvFile(const QString&, const QString&) {
  return nullptr;
}
void TMainForm::AddToHistory(const QString&) {}
void TMainForm::SetMaxHistoryListSize(int) {}
QStringList TMainForm::HistoryEntries() const {
  return {};
}
QList<TMyMenuItem*> TMainForm::HistoryMenuItems() const {
  return {};
}
void TMainForm::SaveSettings() {}
void TMainForm::SaveSettings(Qt::WindowStates, bool) {}
void TMainForm::LoadSettings() {}
void TMainForm::SetBackGroundColor(uint32_t) {}
void TMainForm::SetAnimationSpeed(int) {}
void TMainForm::SetExportBitDepth(TPixelFormat) {}
void TMainForm::SetFrameDataExportType(int) {}
void TMainForm::RepaintViews() {}
void TMainForm::ProcessPendingWindowMenu(int) {}
bool TMainForm::ResolveArchivePath(const QString&, const QString&, QString&, QString&) {
  return false;
}
void TMainForm::ApplicationException(const std::exception&) {}
QList<TQuvView*> TMainForm::Views() const {
  return {};
}
TQuvView* TMainForm::ActiveView() const {
  return nullptr;
}
QString TMainForm::ProgramFolder() const {
  return {};
}
void TMainForm::SetStatusText(const QString&) {}
QString TMainForm::StatusText() const {
  return {};
}
void TMainForm::FirstActivation(const QStringList&) {}
void TMainForm::TimerTimer() {}
void TMainForm::SwitchToNextChild() {}
void TMainForm::SwitchToPreviousChild() {}
void TMainForm::ProcessChildSwitchRequest() {}
void TMainForm::ShowSettingsDialog() {}
void TMainForm::ShowAboutBox() {}
void TMainForm::LoadFiles(const QStringList&, int) {}
void TMainForm::CloseAllViews() {}
TQuvLoader* TMainForm::QuvLoader() {
  return nullptr;
}
TQuvCloser* TMainForm::QuvCloser() {
  return nullptr;
}
void TMainForm::closeEvent(QCloseEvent* event) {
  QMainWindow::closeEvent(event);
}
void TMainForm::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
}
void TMainForm::moveEvent(QMoveEvent* event) {
  QMainWindow::moveEvent(event);
}
void TMainForm::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
}
void TMainForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
}
bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  return QMainWindow::eventFilter(watched, event);
}
