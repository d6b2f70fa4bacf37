#pragma once
// The dismissible bar above a view that tells of the warnings the reader logged while the file
// loaded, of frames the file holds damaged, and of a file without images; the details open
// under "show".
#include <QFrame>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <string>

class QLabel;

class TLoadWarningsBar : public QFrame {
  Q_OBJECT
 public:
  explicit TLoadWarningsBar(QWidget* parent = nullptr);

  // After a load: its warnings, and whether the file holds no images. The bar shows when there
  // is anything to tell, with the details closed.
  void ShowLoadWarnings(const QStringList& warnings, bool noImages);
  // A damaged frame met while the file is viewed; the details stay open or closed as the user
  // left them.
  void AddFrameError(const QString& sentence);
  const QStringList& LoadWarnings() const { return FLoadWarnings; }
  const QStringList& FrameErrors() const { return FFrameErrors; }
  QLabel* Summary() const { return FSummary; }
  QLabel* Details() const { return FDetails; }

 private:
  void UpdateSummary();

  QLabel* FSummary;
  QLabel* FDetails;
  QStringList FLoadWarnings;
  QStringList FFrameErrors;
  bool FNoImages = false;
};

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
