// Single-instance open: requests received by the running viewer, the hand-over of a second
// start, a name held by a live viewer, and the socket file of a viewer that crashed.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "FileOpenU.h"
#include "GuiTestMain.h"
#include "HpiBuilderU.h"
#include "ImageLoaderU.h"
#include "MainU.h"
#include "QuvLoadU.h"
#include "QuvSamplesU.h"
#include "QuvViewU.h"
#include "SingleInstanceServerU.h"
#include "SingleInstanceU.h"

namespace {

class SingleInstanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    GuiTestDialogs().Reset();
    Name = Dir.filePath(QStringLiteral("viewer.sock"));  // absolute: kept inside the test folder
  }
  void TearDown() override { GuiTestDialogs().Reset(); }

  // A server that records what it would open; "bad" names fail.
  std::unique_ptr<TSingleInstanceServer> RecordingServer() {
    auto server = std::make_unique<TSingleInstanceServer>();
    server->Open = [this](const std::string& name) {
      if (name.find("bad") != std::string::npos) throw std::runtime_error("Could not open " + name);
      Opened << QString::fromStdString(name);
    };
    server->OnError = [this](const std::exception& error) { Errors << error.what(); };
    return server;
  }

  static void Send(const QString& name, const QByteArray& bytes) {
    QLocalSocket client;
    client.connectToServer(name);
    ASSERT_TRUE(client.waitForConnected(2000));
    client.write(bytes);
    ASSERT_TRUE(client.waitForBytesWritten(2000));
    client.disconnectFromServer();
  }

  static QProcessEnvironment ViewerEnvironment(const QString& runtimeDir) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
    return environment;
  }
  static QString Program() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/vellicor");
  }
  QString WriteSample(const QString& relativeName) {
    const QString path = Dir.filePath(relativeName);
    QDir().mkpath(QFileInfo(path).absolutePath());
    const std::vector<uint8_t> bytes = MakeSampleQuv();
    EXPECT_TRUE(WriteTestFile(path, bytes));
    return path;
  }
  // The history a viewer wrote into its settings file, most recent first.
  static QStringList StoredHistory(const QString& settings) {
    QFile file(settings);
    if (!file.open(QIODevice::ReadOnly)) return {};
    for (const QString& line : QString::fromUtf8(file.readAll()).split('\n'))
      if (line.startsWith(QStringLiteral("HistoryList=")))
        return line.mid(12).trimmed().split(';', Qt::SkipEmptyParts);
    return {};
  }
  // Waits until the history holds `count` entries (false after `ms`).
  static bool WaitForHistory(const QString& settings, qsizetype count, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (StoredHistory(settings).size() < count) {
      if (clock.elapsed() > ms) return false;
      QThread::msleep(50);
    }
    return true;
  }

  QTemporaryDir Dir;
  QString Name;
  QStringList Opened, Errors;
};

TEST_F(SingleInstanceTest, RequestsFromTwoClientsOpenEachOpenLineInOrder) {
  auto server = RecordingServer();
  ASSERT_TRUE(server->Listen(Name));
  QSignalSpy executed(server.get(), &TSingleInstanceServer::RequestExecuted);
  Send(Name, "[open(/data/a.quv)]\r\n[Open(/data/bad.quv)]\nnot a request\n[OPEN(/data/b c.quv)]");
  Send(Name, "[Open(/data/d.quv)]\n");
  while (executed.size() < 2) ASSERT_TRUE(executed.wait(3000));
  EXPECT_EQ(Opened, (QStringList{"/data/a.quv", "/data/b c.quv", "/data/d.quv"}));
  EXPECT_EQ(Errors, QStringList{"Could not open /data/bad.quv"});
}

TEST_F(SingleInstanceTest, SecondStartHandsOverAbsolutePathsOrFindsNobody) {
  EXPECT_FALSE(TSingleInstanceServer::SendToRunning({"x.quv"}, "/work", Name, 500));
  auto server = RecordingServer();
  ASSERT_TRUE(server->Listen(Name));
  QSignalSpy executed(server.get(), &TSingleInstanceServer::RequestExecuted);
  EXPECT_TRUE(
      TSingleInstanceServer::SendToRunning({"x.quv", "/abs/y.quv", "sub/../z.quv"}, "/work", Name));
  ASSERT_TRUE(executed.wait(3000));
  EXPECT_EQ(Opened, (QStringList{"/work/x.quv", "/abs/y.quv", "/work/z.quv"}));
}

TEST_F(SingleInstanceTest, NameHeldByALiveViewerIsNotTakenOver) {
  auto first = RecordingServer();
  ASSERT_TRUE(first->Listen(Name));
  TSingleInstanceServer second;
  EXPECT_FALSE(second.Listen(Name));
  QSignalSpy executed(first.get(), &TSingleInstanceServer::RequestExecuted);
  EXPECT_TRUE(TSingleInstanceServer::SendToRunning({"/a.quv"}, "/", Name));
  ASSERT_TRUE(executed.wait(3000));
  EXPECT_EQ(Opened, QStringList{"/a.quv"});
}

TEST_F(SingleInstanceTest, SocketFileOfACrashedViewerDoesNotStopTheNextStart) {
  // A bound socket nobody listens on any more, as a viewer that crashed leaves it.
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const QByteArray path = QFile::encodeName(Name);
  ASSERT_LT(size_t(path.size()), sizeof(address.sun_path));
  std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  ::close(fd);
  ASSERT_TRUE(QFileInfo::exists(Name));

  EXPECT_FALSE(TSingleInstanceServer::SendToRunning({"/a.quv"}, "/", Name, 500));
  auto server = RecordingServer();
  ASSERT_TRUE(server->Listen(Name));
  QSignalSpy executed(server.get(), &TSingleInstanceServer::RequestExecuted);
  EXPECT_TRUE(TSingleInstanceServer::SendToRunning({"/a.quv"}, "/", Name));
  ASSERT_TRUE(executed.wait(3000));
  EXPECT_EQ(Opened, QStringList{"/a.quv"});
}

TEST_F(SingleInstanceTest, OversizedRequestIsRefusedUnexecuted) {
  auto server = RecordingServer();
  ASSERT_TRUE(server->Listen(Name));
  QSignalSpy executed(server.get(), &TSingleInstanceServer::RequestExecuted);
  QLocalSocket client;
  client.connectToServer(Name);
  ASSERT_TRUE(client.waitForConnected(2000));
  QByteArray big = "[Open(/a.quv)]\n";
  big += QByteArray(2 * 1024 * 1024, 'x');
  client.write(big);
  for (int i = 0; i < 200 && client.state() == QLocalSocket::ConnectedState; ++i) {
    client.waitForBytesWritten(20);
    QApplication::processEvents();
  }
  client.abort();
  QApplication::processEvents();
  EXPECT_FALSE(executed.wait(300));
  EXPECT_TRUE(Opened.isEmpty());
}

// The program itself as the second start: it finds this "viewer", hands over and ends with 0.
TEST_F(SingleInstanceTest, SecondProgramStartHandsItsFilesOverAndExits) {
  const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/vellicor");
  if (!QFileInfo(program).isExecutable()) GTEST_SKIP() << "vellicor not built beside the tests";
  // The instance of that settings file on this display, with the runtime folder of the test.
  const QString settings = Dir.filePath(QStringLiteral("Vellicor.ini"));
  const QString runtime = Dir.filePath(QStringLiteral("run"));
  ASSERT_TRUE(QDir().mkpath(runtime));
  qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
  const QString name = TSingleInstanceServer::ServerName(settings, program);
  qunsetenv("XDG_RUNTIME_DIR");
  EXPECT_TRUE(name.startsWith(runtime + '/')) << name.toStdString();
  auto server = RecordingServer();
  ASSERT_TRUE(server->Listen(name));
  QSignalSpy executed(server.get(), &TSingleInstanceServer::RequestExecuted);
  QProcess second;
  second.setWorkingDirectory(Dir.path());
  second.setProcessEnvironment(ViewerEnvironment(runtime));
  second.start(program, {QStringLiteral("one.quv"), QStringLiteral("sub/two.quv"),
                         QStringLiteral("--settings=Vellicor.ini")});
  ASSERT_TRUE(second.waitForStarted(10000));
  while (executed.isEmpty() && second.state() != QProcess::NotRunning) executed.wait(100);
  if (executed.isEmpty()) executed.wait(1000);
  ASSERT_TRUE(second.waitForFinished(20000));
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_EQ(Opened, (QStringList{Dir.filePath("one.quv"), Dir.filePath("sub/two.quv")}));
}

// A first start from another folder opens a name relative to that folder.
TEST_F(SingleInstanceTest, FirstStartOpensARelativeNameAgainstTheFolderItWasStartedFrom) {
  if (!QFileInfo(Program()).isExecutable()) GTEST_SKIP() << "vellicor not built beside the tests";
  const QString sprite = WriteSample(QStringLiteral("mods/units/arm.quv"));
  const QString settings = Dir.filePath(QStringLiteral("viewer.ini"));
  QFile ini(settings);
  ASSERT_TRUE(ini.open(QIODevice::WriteOnly));  // not a first run: no dialogs
  ini.write("[Settings]\n");
  ini.close();
  const QString runtime = Dir.filePath(QStringLiteral("run"));
  ASSERT_TRUE(QDir().mkpath(runtime));
  QProcess viewer;
  viewer.setWorkingDirectory(Dir.filePath(QStringLiteral("mods")));
  viewer.setProcessEnvironment(ViewerEnvironment(runtime));
  viewer.start(Program(),
               {QStringLiteral("units/arm.quv"), QStringLiteral("--settings=") + settings});
  ASSERT_TRUE(viewer.waitForStarted(10000));
  const bool opened = WaitForHistory(settings, 1, 30000);
  viewer.kill();
  viewer.waitForFinished(10000);
  ASSERT_TRUE(opened) << "no file opened";
  EXPECT_EQ(StoredHistory(settings), QStringList{sprite});
}

// A file manager opening several files starts the program once per file, all at once.
TEST_F(SingleInstanceTest, ThreeStartsAtOnceEndAsOneViewerWithThreeViews) {
  if (!QFileInfo(Program()).isExecutable()) GTEST_SKIP() << "vellicor not built beside the tests";
  QStringList files;
  for (const char* name : {"a.quv", "b.quv", "c.quv"}) files << WriteSample(QLatin1String(name));
  const QString settings = Dir.filePath(QStringLiteral("viewer.ini"));
  QFile ini(settings);
  ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
  ini.write("[Settings]\n");
  ini.close();
  const QString runtime = Dir.filePath(QStringLiteral("run"));
  ASSERT_TRUE(QDir().mkpath(runtime));
  std::vector<std::unique_ptr<QProcess>> starts;
  for (const QString& file : files) {
    auto start = std::make_unique<QProcess>();
    start->setProcessEnvironment(ViewerEnvironment(runtime));
    start->start(Program(), {file, QStringLiteral("--settings=") + settings});
    starts.push_back(std::move(start));
  }
  for (auto& start : starts) ASSERT_TRUE(start->waitForStarted(10000));
  const bool allOpened = WaitForHistory(settings, 3, 60000);
  int running = 0, handedOver = 0;
  for (auto& start : starts) {
    if (start->state() != QProcess::NotRunning) start->waitForFinished(3000);
    if (start->state() != QProcess::NotRunning)
      ++running;
    else if (start->exitStatus() == QProcess::NormalExit && start->exitCode() == 0)
      ++handedOver;
  }
  for (auto& start : starts) {
    start->kill();
    start->waitForFinished(10000);
  }
  EXPECT_TRUE(allOpened) << StoredHistory(settings).join(';').toStdString();
  EXPECT_EQ(running, 1);
  EXPECT_EQ(handedOver, 2);
  QStringList history = StoredHistory(settings);
  history.sort();
  EXPECT_EQ(history, files);
}

TEST_F(SingleInstanceTest, MainWindowOpensRequestedFilesAndReportsEachFailure) {
  Palette = BuiltInPalette();
  TransparentIndex = SampleTransparentIndex;
  TMainForm main(Dir.filePath(QStringLiteral("Vellicor.ini")));
  main.Settings()->SetAnimationSpeed(100000000);
  const QString good = Dir.filePath(QStringLiteral("good.quv"));
  const std::vector<uint8_t> bytes = MakeSampleQuv();
  ASSERT_TRUE(WriteTestFile(good, bytes));

  TSingleInstanceServer server;
  main.Opener()->ServeRequests(server);  // the main window's own open and error report
  ASSERT_TRUE(server.Listen(Name));
  QSignalSpy executed(&server, &TSingleInstanceServer::RequestExecuted);
  ASSERT_TRUE(TSingleInstanceServer::SendToRunning(
      {Dir.filePath(QStringLiteral("missing.quv")), good}, Dir.path(), Name));
  ASSERT_TRUE(executed.wait(3000));
  QApplication::processEvents();
  EXPECT_EQ(GuiTestDialogs().Messages.size(), 1u);
  ASSERT_EQ(main.Views().size(), 1);
  EXPECT_EQ(QFileInfo(main.Views().front()->FileName()).fileName(), "good.quv");
}

// A request brings the viewer to the front and reads an archive as an archive.
TEST_F(SingleInstanceTest, RequestRaisesTheMainWindowAndHandsArchivesToThePicker) {
  Palette = BuiltInPalette();
  TransparentIndex = SampleTransparentIndex;
  TMainForm main(Dir.filePath(QStringLiteral("Vellicor.ini")));
  main.Settings()->SetAnimationSpeed(100000000);
  main.FirstActivation({});
  THpiBuilder builder;
  builder.AddFile("units/a.quv", MakeSampleQuv());
  const QString archive = Dir.filePath(QStringLiteral("pack.hpi"));
  builder.WriteFile(archive.toStdString());
  main.Opener()->QuvLoader()->PickFiles = [](QString&, QStringList& results, const QString&, bool) {
    results = {"units\\a.quv"};
    return true;
  };
  main.show();
  main.showMinimized();
  QWidget other;
  other.show();
  other.activateWindow();
  QApplication::processEvents();

  TSingleInstanceServer server;
  main.Opener()->ServeRequests(server);
  ASSERT_TRUE(server.Listen(Name));
  QSignalSpy executed(&server, &TSingleInstanceServer::RequestExecuted);
  ASSERT_TRUE(TSingleInstanceServer::SendToRunning({archive}, Dir.path(), Name));
  ASSERT_TRUE(executed.wait(3000));
  for (int i = 0; i < 20; ++i) QApplication::processEvents(QEventLoop::AllEvents, 10);
  EXPECT_TRUE(GuiTestDialogs().Messages.empty());
  ASSERT_EQ(main.Views().size(), 1);
  EXPECT_EQ(main.Views().front()->ArchiveSource(), archive);
  EXPECT_FALSE(main.isMinimized());
  EXPECT_EQ(QApplication::activeWindow(), &main);
}

// Requests that come while the viewer is still starting wait for it, then run in order.
TEST_F(SingleInstanceTest, HeldRequestsRunInOrderOnRelease) {
  auto server = RecordingServer();
  server->Hold();
  ASSERT_TRUE(server->Listen(Name));
  QSignalSpy executed(server.get(), &TSingleInstanceServer::RequestExecuted);
  Send(Name, "[Open(/a.quv)]\n");
  Send(Name, "[Open(/b.quv)]\n");
  for (int i = 0; i < 20; ++i) QApplication::processEvents(QEventLoop::AllEvents, 10);
  EXPECT_TRUE(Opened.isEmpty());
  server->Release();
  EXPECT_EQ(Opened, (QStringList{"/a.quv", "/b.quv"}));
}

}  // namespace
