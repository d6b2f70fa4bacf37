#pragma once
// Single-instance open over a per-user local socket: the running viewer listens and opens the
// files named by each request; a later start hands its files over and ends.
#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <exception>
#include <functional>
#include <string>
#include <vector>

class TSingleInstanceServer : public QObject {
  Q_OBJECT
 public:
  // Each request line opens its file through Open; an error of one line goes to OnError and
  // the next line follows. Without Open requests are not served.
  explicit TSingleInstanceServer(QObject* parent = nullptr);
  ~TSingleInstanceServer() override;

  std::function<void(const std::string& fileName)> Open;
  // Each game-folder line opens its folder through OpenGame (when set).
  std::function<void(const std::string& folder)> OpenGame;
  std::function<void(const std::exception& error)> OnError;

  // Starts listening under `name` (empty: the program's own name). A socket file left behind
  // by a viewer that crashed is removed; false when another viewer answers under the name.
  bool Listen(const QString& name = QString());
  bool IsListening() const;
  QString FullServerName() const;
  // The name of the instance that keeps its settings in `settingsFile` on this display.
  // `programFile` empty: the running program.
  static QString ServerName(const QString& settingsFile, const QString& programFile = QString());
  static QString DefaultServerName();  // with the default settings file

  // A start of the program: with files (or game folders), hands them to the viewer listening under
  // `name` (empty: the default) if there is one; otherwise listens. A lock file beside the socket
  // makes the two steps one, so that of several starts at the same moment exactly one listens and
  // none removes another's socket.
  enum TStartResult { srHandedOver, srListening, srNotListening };
  TStartResult Start(const QStringList& fileNames, const QString& currentDir,
                     const QString& name = QString(), int timeoutMs = 3000,
                     const QStringList& gameFolders = {});

  // While held, requests are kept and run in order on Release: the viewer listens at once but
  // opens handed-over files only once its own start-up is done.
  void Hold() { FHeld = true; }
  void Release();

  // A second start: sends one open line per file (then one per game folder) to the viewer
  // listening under `name` and returns true, or returns false at once when none answers.
  static bool SendToRunning(const QStringList& fileNames, const QString& currentDir,
                            const QString& name = QString(), int timeoutMs = 3000,
                            const QStringList& gameFolders = {});

 signals:
  void RequestExecuted();

 private:
  void NewConnection();
  void Execute(const QByteArray& request);

  QLocalServer* FServer;
  bool FHeld = false;
  std::vector<QByteArray> FHeldRequests;
};
