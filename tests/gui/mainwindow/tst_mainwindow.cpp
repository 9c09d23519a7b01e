#include <QApplication>
#include <QBuffer>
#include <QGraphicsScene>
#include <QImage>
#include <QLabel>
#include <QPluginLoader>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QToolBar>
#include <QtEndian>
#include <QtPlugin>

#include <zlib.h>

#include "common/common.h"
#include "common/plugininterfaces.h"
#include "gui/gui.h"
#include "gui/mainwindow/loginwidget.h"
#include "gui/mainwindow/mainview.h"
#include "gui/mainwindow/mainwindow.h"
#include "gui/mainwindow/pluginwindowlist.h"
#include "gui/mainwindow/pluginwindowpage.h"
#include "gui/mainwindow/serverlogo.h"
#include "logcapture.h"
#include "testconfigplugin.h"
#include "testenv.h"
#include "testloginplugin.h"
#include "testmain.h"

Q_IMPORT_PLUGIN(TestLoginPlugin)
Q_IMPORT_PLUGIN(TestConfigPlugin)

namespace {

TestLoginPlugin* loginPlugin()
{
    for (QObject* o : QPluginLoader::staticInstances()) {
        if (auto* p = qobject_cast<TestLoginPlugin*>(o))
            return p;
    }
    return nullptr;
}

TestConfigPlugin* configPlugin()
{
    for (QObject* o : QPluginLoader::staticInstances()) {
        if (auto* p = qobject_cast<TestConfigPlugin*>(o))
            return p;
    }
    return nullptr;
}

void settle()
{
    // Let slides and fades end.
    QTest::qWait(700);
}

} // namespace

// The main window of both GUI modes, the controller that builds it, and the
// stand-alone login window, with the test plugins linked in statically.
class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void fullModeLayout();
    void signInBar_data();
    void signInBar();
    void buttonsForward();
    void runPutsLoginWindowOnStage();
    void minimalMode();
    void bannerImage_data();
    void bannerImage();
    void pluginsReachable();

    void controllerFullMode();
    void controllerMinimalMode();

    void loginWidget();
    void loginWidgetFollowsSize();
    void loginWidgetWithoutPlugin();

    void screenshots();

private:
    orvotest::TestEnv env;
};

void TestMainWindow::initTestCase()
{
    Q_INIT_RESOURCE(resources);
    QDir::setSearchPaths(QStringLiteral("rc"), {QStringLiteral(":/rc"), QStringLiteral(":/")});
    QVERIFY(env.isValid());
    QVERIFY(loginPlugin());
    QVERIFY(configPlugin());
}

// 578 x 660, fixed; banner 120 and bottom bar 85 high, the view between.
void TestMainWindow::fullModeLayout()
{
    MainWindow w(nullptr, false);
    QVERIFY(w.isValid());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    QCOMPARE(w.size(), QSize(578, 660));
    QCOMPARE(w.minimumSize(), QSize(578, 660));
    QCOMPARE(w.maximumSize(), QSize(578, 660));
    QCOMPARE(w.objectName(), QStringLiteral("MainWindow"));

    QWidget* central = w.centralWidget();
    QCOMPARE(central->geometry(), QRect(0, 0, 578, 660));
    QCOMPARE(w.bannerWidget->objectName(), QStringLiteral("bannerWidget"));
    QCOMPARE(w.bannerWidget->geometry(), QRect(0, 0, 578, 120));
    QCOMPARE(w.mainView->geometry(), QRect(0, 120, 578, 660 - 120 - 85));
    QCOMPARE(w.bottomBar->objectName(), QStringLiteral("bottomBar"));
    QCOMPARE(w.bottomBar->geometry(), QRect(0, 660 - 85, 578, 85));
    QCOMPARE(w.mainView->objectName(), QStringLiteral("MainView"));
    // The scene follows the view and belongs to it.
    QCOMPARE(w.mainView->scene()->sceneRect(), QRectF(0, 0, 578, 455));
    QCOMPARE(w.mainView->scene()->parent(), static_cast<QObject*>(w.mainView));

    QVERIFY(!w.statusBar()->isVisible());
    QVERIFY(!w.findChild<QToolBar*>(QStringLiteral("mainToolBar"))->isVisible());
    QCOMPARE(w.windowList->zValue(), 100000.0);
    QCOMPARE(w.windowList->scene(), w.mainView->scene());
    QCOMPARE(w.bgLabelLg->text(), QString());
    QCOMPARE(w.bgLabelLg->parentWidget()->objectName(), QStringLiteral("bottomBar"));

    // The wallpaper fills the window.
    const QBrush wallpaper = w.palette().brush(QPalette::Window);
    QCOMPARE(wallpaper.texture().size(), QSize(578, 660));
}

void TestMainWindow::signInBar_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("icon");
    QTest::newRow("sign in") << "signInButton"
                             << "SIGN IN" << QSize(170, 34) << true << true << QString();
    QTest::newRow("arrow") << "iconButton" << QString() << QSize(45, 34) << true << true
                           << "rc:login-arrow.png";
    QTest::newRow("cancel") << "disconnectButton"
                            << "CANCEL" << QSize(140, 34) << false << false << QString();
    QTest::newRow("percentage") << "loadButton"
                                << "0%" << QSize(75, 34) << false << false << "rc:refresh-on.png";
}

void TestMainWindow::signInBar()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QSize, size);
    QFETCH(bool, visible);
    QFETCH(bool, enabled);
    QFETCH(QString, icon);

    MainWindow w(nullptr, false);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto* button = w.findChild<QPushButton*>(name);
    QVERIFY(button);
    QCOMPARE(button->text(), text);
    QCOMPARE(button->size(), size);
    QCOMPARE(button->isVisible(), visible);
    QCOMPARE(button->isEnabled(), enabled);
    QVERIFY(button->isFlat());
    QCOMPARE(button->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(button->parentWidget(), w.signInWidget);
    if (!icon.isEmpty())
        QCOMPARE(button->iconSize(), QPixmap(icon).size());
    // Inside the bar, right of the logo.
    QVERIFY(w.signInWidget->mapTo(&w, QPoint()).x() > 23);
}

// The arrow acts as SIGN IN; the percentage acts as CANCEL.
void TestMainWindow::buttonsForward()
{
    MainWindow w(nullptr, false);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QSignalSpy signIn(w.signInButton, &QPushButton::clicked);
    QTest::mouseClick(w.iconButton, Qt::LeftButton);
    QCOMPARE(signIn.count(), 1);

    QSignalSpy disconnects(&w, SIGNAL(sigDisconnect()));
    w.disconnectButton->setEnabled(true);
    w.loadButton->setEnabled(true);
    w.loadButton->show();
    w.disconnectButton->show();
    QTest::mouseClick(w.loadButton, Qt::LeftButton);
    QCOMPARE(disconnects.count(), 1);
    QTest::mouseClick(w.disconnectButton, Qt::LeftButton);
    QCOMPARE(disconnects.count(), 2);
}

void TestMainWindow::runPutsLoginWindowOnStage()
{
    MainWindow w(nullptr, false);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(w.windowList->windows().isEmpty());
    const int made = loginPlugin()->windowsMade;
    QCOMPARE(w.run(), 0);

    QCOMPARE(loginPlugin()->windowsMade, made + 1);
    QVERIFY(w.loginContainer);
    QCOMPARE(w.loginContainer->window(), loginPlugin()->window.data());
    QCOMPARE(w.windowList->windows(), QList<ORVO::PluginWindowContainer*>{w.loginContainer});
    QCOMPARE(w.windowList->currentWindow(), w.loginContainer.data());
    QVERIFY(loginPlugin()->window->isActive());
    QCOMPARE(w.loginContainer->preferredWidth(), 578.0 - 20.0);
    settle();
    QCOMPARE(w.windowList->pos(), QPointF(0, 0));

    QVERIFY(w.curtain);
    QCOMPARE(w.curtain->zValue(), 10000.0);
    QVERIFY(!w.curtain->isVisible());
    QCOMPARE(w.curtain->scene(), w.mainView->scene());
    QCOMPARE(w.windowTitle(), ORVO::versionInfo());
}

// No widgets, no scene, no title; the portal's commands are still wired.
void TestMainWindow::minimalMode()
{
    MainWindow w(nullptr, true);
    QVERIFY(w.isValid());
    QVERIFY(!w.bannerWidget);
    QVERIFY(!w.mainView);
    QVERIFY(!w.windowList);
    QVERIFY(!w.signInButton);
    QVERIFY(!w.loadingMovie);
    QCOMPARE(w.loginPlugin, static_cast<QObject*>(loginPlugin()));

    orvotest::LogCapture log;
    const int made = loginPlugin()->windowsMade;
    QCOMPARE(w.run(), 0);
    QVERIFY(log.contains(QStringLiteral("[MainWindow] Minimal GUI mode - quitting")));
    QVERIFY(!w.curtain);
    QVERIFY(!w.loginContainer);
    QCOMPARE(loginPlugin()->windowsMade, made);
    QCOMPARE(w.windowTitle(), QString());
    QVERIFY(!w.isVisible());

    log.clear();
    emit configPlugin()->action(QStringLiteral("OPEN_URL"), QVariantMap());
    QVERIFY(log.contains(QStringLiteral("actionTriggered()")));
    // An unknown command would hide the portal, which has no scene here.
    emit configPlugin()->action(QStringLiteral("HIDE"), QVariantMap());
}

void TestMainWindow::bannerImage_data()
{
    QTest::addColumn<QByteArray>("custom");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QSize>("size");
    const auto png = [](const QSize& size, QImage::Format format, int texts = 0) {
        QImage logo(size, format);
        logo.fill(Qt::red);
        for (int i = 0; i < texts; ++i) // written compressed, 7 MiB in a few KiB each
            logo.setText(QString::number(i), QString(7 << 20, 'a'));
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        logo.save(&buffer, "PNG");
        return bytes;
    };
    // The rows of a black 30 x 12 picture, and 1 MiB of zeros behind them in
    // its data, which holds 1 KiB.
    const auto overfull = []() -> QByteArray {
        const auto chunk = [](const QByteArray& type, const QByteArray& data) -> QByteArray {
            QByteArray out(4, '\0');
            qToBigEndian<quint32>(quint32(data.size()), out.data());
            out += type + data;
            QByteArray check(4, '\0');
            qToBigEndian<quint32>(
                quint32(crc32(0, reinterpret_cast<const Bytef*>(out.constData() + 4),
                              uInt(out.size() - 4))),
                check.data());
            return out + check;
        };
        QByteArray header(13, '\0'); // 8 bits of red, green and blue
        qToBigEndian<quint32>(30, header.data());
        qToBigEndian<quint32>(12, header.data() + 4);
        header[8] = 8;
        header[9] = 2;
        return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) +
               chunk("IDAT", qCompress(QByteArray(12 * 91 + (1 << 20), '\0')).mid(4)) +
               chunk("IEND", QByteArray());
    };
    const QSize embedded = QPixmap(QStringLiteral("rc:banner.png")).size();
    QTest::newRow("none") << QByteArray() << "[MainWindow] Using embedded logo" << embedded;
    // A download that left an empty file is no logo.
    QTest::newRow("empty file") << QByteArray("") << "[MainWindow] Using embedded logo" << embedded;
    QTest::newRow("server's logo") << png({30, 12}, QImage::Format_ARGB32)
                                   << "[MainWindow] Using custom Lodestar logo" << QSize(30, 12);
    // Scaled down to the strip; refused before it is decoded (1.6 GB).
    QTest::newRow("a logo of 2400 x 1600")
        << png({2400, 1600}, QImage::Format_RGB32) << "[MainWindow] Using custom Lodestar logo"
        << QSize(180, 120);
    QTest::newRow("a logo with texts of 7 MiB")
        << png({30, 12}, QImage::Format_ARGB32, 2) << "[MainWindow] Using custom Lodestar logo"
        << QSize(30, 12);
    QTest::newRow("a logo of 20000 x 20000")
        << png({20000, 20000}, QImage::Format_Mono)
        << "[MainWindow] The server's logo is not shown: \"a picture of 20000 x 20000 pixels\""
        << embedded;
    QTest::newRow("a logo whose data inflates to 1 MiB more than its rows")
        << overfull()
        << "[MainWindow] The server's logo is not shown: \"more image data than a picture of its "
           "size holds\""
        << embedded;
}

void TestMainWindow::bannerImage()
{
    QFETCH(QByteArray, custom);
    QFETCH(QString, line);
    QFETCH(QSize, size);
    const QString path = ORVO::getCustomLogoPath();
    QFile::remove(path);
    if (!custom.isNull())
        QVERIFY(orvotest::writeFile(path, custom));
    orvotest::LogCapture log;
    MainWindow w(nullptr, false);
    QString why; // nothing but the picture is read of it
    QVERIFY(ORVO::serverlogo::readFile(path, {578, 120}, &why).textKeys().isEmpty());
    QFile::remove(path);
    QVERIFY(log.contains(line));
    auto* banner = w.bannerWidget->findChild<QLabel*>(QStringLiteral("banner"));
    QVERIFY(banner);
    QCOMPARE(banner->pixmap(Qt::ReturnByValue).size(), size);
    QCOMPARE(banner->size(), size);
    QCOMPARE(w.bannerWidget->height(), 120);
}

// What the controller and Manager read to wire the plugins.
void TestMainWindow::pluginsReachable()
{
    MainWindow w(nullptr, false);
    QCOMPARE(w.property("loginPlugin").value<QObject*>(), static_cast<QObject*>(loginPlugin()));
    QCOMPARE(w.property("configPlugin").value<QObject*>(), static_cast<QObject*>(configPlugin()));
    QCOMPARE(qobject_cast<ORVO::LoginGfxPluginInterface*>(w.loginPlugin), w.loginIface);
    QCOMPARE(qobject_cast<ORVO::ConfigGfxPluginInterface*>(w.configPlugin), w.configIface);
}

// Full mode: the window is shown before run(), the login plugin's signals
// reach it, and the controller takes it down with the login window, whose
// plugin keeps only a guarded pointer.
void TestMainWindow::controllerFullMode()
{
    QPointer<MainWindow> window;
    {
        ORVO::Gui gui(nullptr, true, false);
        QVERIFY(gui.isValid());
        window = gui.mainWindow;
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QVERIFY(!window->loginContainer);
        QCOMPARE(gui.property("mainWindow").value<QWidget*>(), static_cast<QWidget*>(window));
        QCOMPARE(gui.run(), 0);
        QVERIFY(window->loginContainer);
        QCOMPARE(window->loginContainer->window(), loginPlugin()->window.data());

        emit loginPlugin()->authSupply(
            libvelcor::Auth(libvelcor::Auth::ProfileId, libvelcor::Auth::UserPassType, QString(),
                            QStringLiteral("alice"), QStringLiteral("pw"), QString()));
        QCOMPARE(window->userName, QStringLiteral("alice"));
        emit gui.stateChanged(libvelcor::StateConnecting);
        QCOMPARE(window->state, libvelcor::StateConnecting);

        QSignalSpy disconnects(loginPlugin(), SIGNAL(sigDisconnect()));
        emit window->sigDisconnect();
        QCOMPARE(disconnects.count(), 1);
    }
    QVERIFY(!window);
    QVERIFY(!loginPlugin()->window);
    // The plugin makes its next window without tripping over the old one.
    delete loginPlugin()->newWindow(QVariantMap());
}

void TestMainWindow::controllerMinimalMode()
{
    ORVO::Gui gui(nullptr, true, true);
    QVERIFY(gui.isValid());
    QVERIFY(gui.mainWindow);
    QVERIFY(!gui.mainWindow->isVisible());
    QCOMPARE(gui.run(), 0);
    QVERIFY(!gui.mainWindow->isVisible());
    QVERIFY(!gui.mainWindow->loginContainer);
    // The main window's own slots are not wired in minimal mode.
    emit gui.stateChanged(libvelcor::StateConnected);
    QCOMPARE(gui.mainWindow->state, libvelcor::StateIdle);
}

// Built once, shown twice: the same login window, and the container's
// deletion takes the plugin's window along without a second deletion.
void TestMainWindow::loginWidget()
{
    QPointer<ORVO::PluginWindow> window;
    {
        ORVO::LoginWidget w(nullptr, loginPlugin());
        w.setFixedSize(578, 430);
        window = loginPlugin()->window;
        QVERIFY(window);
        QCOMPARE(w.container()->window(), window.data());
        QCOMPARE(w.view()->scene()->parent(), static_cast<QObject*>(w.view()));
        QCOMPARE(w.windowTitle(), QString());

        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.isVisible());
        QCOMPARE(w.windowList()->currentWindow(), w.container());
        const int made = loginPlugin()->windowsMade;
        w.show();
        QCOMPARE(loginPlugin()->windowsMade, made);
        QCOMPARE(w.container()->window(), window.data());
        QCOMPARE(w.windowList()->windows().size(), 1);
        settle();
        QCOMPARE(w.windowList()->pos(), QPointF(0, 0));
    }
    QVERIFY(!window);
    QVERIFY(!loginPlugin()->window);
}

// Resizing the view changes the scene rectangle, which refits the list.
void TestMainWindow::loginWidgetFollowsSize()
{
    ORVO::LoginWidget w(nullptr, loginPlugin());
    w.resize(578, 430);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.view()->scene()->sceneRect(), QRectF(0, 0, 578, 430));
    QCOMPARE(w.container()->preferredWidth(), 558.0);
    w.resize(700, 500);
    QTRY_COMPARE(w.view()->scene()->sceneRect(), QRectF(0, 0, 700, 500));
    QCOMPARE(w.container()->preferredWidth(), 680.0);
    QCOMPARE(w.windowList()->size(), QSizeF(700, 510));
}

void TestMainWindow::loginWidgetWithoutPlugin()
{
    orvotest::LogCapture log;
    {
        ORVO::LoginWidget w(nullptr, nullptr);
        QCOMPARE(log.linesAt(QStringLiteral("ERROR")).size(), 1);
        QVERIFY(!w.view());
        QVERIFY(!w.windowList());
        QVERIFY(!w.container());
        QVERIFY(!w.layout());
        w.show();
        QVERIFY(w.isVisible());
    }
}

// Pictures for the eye, under Xvfb: ORVO_SCREENSHOT_DIR=<dir>.
void TestMainWindow::screenshots()
{
    const QString dir = QString::fromLocal8Bit(qgetenv("ORVO_SCREENSHOT_DIR"));
    if (dir.isEmpty())
        QSKIP("ORVO_SCREENSHOT_DIR not set");
    MainWindow w(nullptr, false);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.run();
    settle();
    QVERIFY(w.grab().save(dir + "/mainwindow.png"));

    // A portal window slides in beside it.
    auto* portal = new ORVO::PluginWindowContainer();
    ORVO::PluginWindow* window = configPlugin()->newWindow(QVariantMap());
    auto* page = new ORVO::PluginWindowPage();
    auto* content = new QLabel(QStringLiteral("Portal page"));
    content->setAlignment(Qt::AlignCenter);
    content->setStyleSheet(QStringLiteral("background: white;"));
    page->setWidget(content);
    page->setDecorationTheme(ORVO::PluginWindowPage::NoDecoration, 0);
    window->addTab(QStringLiteral("Devices"), QIcon(), page, false);
    window->activateTab(QStringLiteral("Devices"));
    portal->setWindow(window);
    w.windowList->addPluginWindow(portal);
    w.windowList->showPluginWindow(portal);
    settle();
    QVERIFY(w.grab().save(dir + "/portalwindow.png"));

    ORVO::LoginWidget login(nullptr, loginPlugin());
    login.setFixedSize(578, 430);
    login.setWindowTitle(ORVO::versionInfo());
    login.show();
    QVERIFY(QTest::qWaitForWindowExposed(&login));
    settle();
    QVERIFY(login.grab().save(dir + "/loginwidget.png"));
}

ORVO_TEST_GUI_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
