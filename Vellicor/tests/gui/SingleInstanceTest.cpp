// Single-instance open: requests received by the running viewer, the hand-over of a second
// start, a name held by a live viewer, and the socket file of a viewer that crashed.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "GuiTestMain.h"
#include "ImageLoaderU.h"
#include "MainU.h"
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
  const QString name =
      QString::fromStdString(SingleInstanceServerName(program.toStdString(), unsigned(::getuid())));
  auto server = RecordingServer();
  if (!server->Listen(name)) GTEST_SKIP() << "a viewer of this user is running";
  QSignalSpy executed(server.get(), &TSingleInstanceServer::RequestExecuted);
  QProcess second;
  second.setWorkingDirectory(Dir.path());
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  second.setProcessEnvironment(environment);
  second.start(program, {QStringLiteral("one.quv"), QStringLiteral("sub/two.quv")});
  ASSERT_TRUE(second.waitForStarted(10000));
  while (executed.isEmpty() && second.state() != QProcess::NotRunning) executed.wait(100);
  if (executed.isEmpty()) executed.wait(1000);
  ASSERT_TRUE(second.waitForFinished(20000));
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_EQ(Opened, (QStringList{Dir.filePath("one.quv"), Dir.filePath("sub/two.quv")}));
}

TEST_F(SingleInstanceTest, MainWindowOpensRequestedFilesAndReportsEachFailure) {
  Palette = BuiltInPalette();
  TransparentIndex = SampleTransparentIndex;
  TMainForm main(Dir.filePath(QStringLiteral("Vellicor.ini")));
  main.Settings()->SetAnimationSpeed(100000000);
  const QString good = Dir.filePath(QStringLiteral("good.quv"));
  const std::vector<uint8_t> bytes = MakeSampleQuv();
  QFile file(good);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
  file.close();

  TSingleInstanceServer server;
  main.ServeRequests(server);  // the main window's own open and error report
  ASSERT_TRUE(server.Listen(Name));
  QSignalSpy executed(&server, &TSingleInstanceServer::RequestExecuted);
  ASSERT_TRUE(TSingleInstanceServer::SendToRunning(
      {Dir.filePath(QStringLiteral("missing.quv")), good}, Dir.path(), Name));
  ASSERT_TRUE(executed.wait(3000));
  QApplication::processEvents();
  EXPECT_EQ(GuiTestDialogs().Messages.size(), 1u);
  ASSERT_EQ(main.Views().size(), 1);
  EXPECT_EQ(QFileInfo(main.Views().front()->FileName).fileName(), "good.quv");
}

}  // namespace
