#include "SingleInstanceServerU.h"

#include <unistd.h>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocalSocket>
#include <QLockFile>
#include <QPointer>

#include <cstdlib>
#include <memory>

#include "ProgramPathsU.h"
#include "SingleInstanceU.h"

TSingleInstanceServer::TSingleInstanceServer(QObject* parent)
    : QObject(parent), FServer(new QLocalServer(this)) {
  // Only this user may hand files over.
  FServer->setSocketOptions(QLocalServer::UserAccessOption);
  connect(FServer, &QLocalServer::newConnection, this, [this] { NewConnection(); });
}

TSingleInstanceServer::~TSingleInstanceServer() = default;

QString TSingleInstanceServer::ServerName(const QString& settingsFile, const QString& programFile) {
  const QString display = qEnvironmentVariableIsSet("WAYLAND_DISPLAY")
                              ? qEnvironmentVariable("WAYLAND_DISPLAY")
                              : qEnvironmentVariable("DISPLAY");
  const QString key = QFileInfo(settingsFile).absoluteFilePath() + '\n' +
                      QGuiApplication::platformName() + '\n' + display;
  if (programFile.isEmpty())
    return QString::fromStdString(SingleInstanceServerName(key.toStdString()));
  const char* runtimeDir = std::getenv("XDG_RUNTIME_DIR");
  return QString::fromStdString(
      SingleInstanceServerName(programFile.toStdString(), unsigned(::getuid()),
                               runtimeDir ? runtimeDir : "", key.toStdString()));
}

QString TSingleInstanceServer::DefaultServerName() {
  return ServerName(QString::fromStdString(::SettingsFileName(ProgramDir())));
}

TSingleInstanceServer::TStartResult TSingleInstanceServer::Start(const QStringList& fileNames,
                                                                 const QString& currentDir,
                                                                 const QString& name, int timeoutMs,
                                                                 const QStringList& gameFolders) {
  const QString serverName = name.isEmpty() ? DefaultServerName() : name;
  // A bare name lives in the temporary folder, as QLocalServer puts it there.
  const QString socketPath =
      QFileInfo(serverName).isAbsolute() ? serverName : QDir::tempPath() + '/' + serverName;
  QLockFile lock(socketPath + QStringLiteral(".lock"));
  // A lock whose holder died is taken over (QLockFile checks the process).
  const bool locked = lock.tryLock(10000);  // without it: go on as before the lock existed
  if ((!fileNames.isEmpty() || !gameFolders.isEmpty()) &&
      SendToRunning(fileNames, currentDir, serverName, timeoutMs, gameFolders))
    return srHandedOver;
  const bool listening = Listen(serverName);
  if (locked) lock.unlock();
  return listening ? srListening : srNotListening;
}

void TSingleInstanceServer::Release() {
  FHeld = false;
  std::vector<QByteArray> requests;
  requests.swap(FHeldRequests);
  for (const QByteArray& request : requests) Execute(request);
}

bool TSingleInstanceServer::Listen(const QString& name) {
  const QString serverName = name.isEmpty() ? DefaultServerName() : name;
  // Asked first: listening may replace the socket file of a live viewer without a word.
  QLocalSocket probe;
  probe.connectToServer(serverName);
  if (probe.waitForConnected(1000)) {
    probe.abort();
    return false;
  }
  if (FServer->listen(serverName)) return true;
  if (FServer->serverError() != QAbstractSocket::AddressInUseError) return false;
  // Nobody answers: the socket file of a viewer that did not end cleanly.
  QLocalServer::removeServer(serverName);
  return FServer->listen(serverName);
}

bool TSingleInstanceServer::IsListening() const {
  return FServer->isListening();
}

QString TSingleInstanceServer::FullServerName() const {
  return FServer->fullServerName();
}

void TSingleInstanceServer::NewConnection() {
  while (QLocalSocket* socket = FServer->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    auto buffer = std::make_shared<QByteArray>();
    auto done = std::make_shared<bool>(false);
    auto collect = [this, socket, buffer, done] {
      if (*done) return;
      buffer->append(socket->readAll());
      if (qsizetype(buffer->size()) > qsizetype(MaxExecuteRequestSize)) {
        *done = true;  // refused unread: nobody needs a request this large
        socket->abort();
        return;
      }
    };
    connect(socket, &QLocalSocket::readyRead, this, collect);
    // The sender ends its request by disconnecting.
    connect(socket, &QLocalSocket::disconnected, this, [this, socket, buffer, done, collect] {
      collect();
      if (*done) return;
      *done = true;
      Execute(*buffer);
    });
    if (socket->state() != QLocalSocket::ConnectedState) {
      collect();
      if (!*done) {
        *done = true;
        Execute(*buffer);
      }
    }
  }
}

void TSingleInstanceServer::Execute(const QByteArray& request) {
  if (request.isEmpty()) return;  // a start that only asked whether a viewer runs
  if (FHeld) {
    FHeldRequests.push_back(request);
    return;
  }
  const std::vector<std::string> lines =
      SplitRequestLines(std::string_view(request.constData(), size_t(request.size())));
  const auto onError = OnError ? OnError : [](const std::exception&) {};
  if (Open) ExecuteOpenRequest(lines, Open, onError);
  if (OpenGame) ExecuteGameFolderRequest(lines, OpenGame, onError);
  emit RequestExecuted();
}

bool TSingleInstanceServer::SendToRunning(const QStringList& fileNames, const QString& currentDir,
                                          const QString& name, int timeoutMs,
                                          const QStringList& gameFolders) {
  const QString serverName = name.isEmpty() ? DefaultServerName() : name;
  QLocalSocket socket;
  socket.connectToServer(serverName);
  if (!socket.waitForConnected(timeoutMs)) return false;
  std::vector<std::string> files, folders;
  for (const QString& file : fileNames) files.push_back(file.toStdString());
  for (const QString& folder : gameFolders) folders.push_back(folder.toStdString());
  const std::string request = EncodeOpenRequest(files, currentDir.toStdString()) +
                              EncodeGameFolderRequest(folders, currentDir.toStdString());
  socket.write(request.data(), qint64(request.size()));
  while (socket.bytesToWrite() > 0)
    if (!socket.waitForBytesWritten(timeoutMs)) break;
  socket.disconnectFromServer();
  if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(timeoutMs);
  return true;
}
