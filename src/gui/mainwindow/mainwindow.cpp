#include "gui/mainwindow/mainwindow.h"

#include <QBrush>
#include <QCoreApplication>
#include <QGraphicsScene>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QMenuBar>
#include <QMovie>
#include <QPalette>
#include <QPixmap>
#include <QPluginLoader>
#include <QPushButton>
#include <QSettings>
#include <QSpacerItem>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

#include "common/common.h"
#include "common/log.h"
#include "common/plugininterfaces.h"
#include "common/utils.h"
#include "gui/mainwindow/mainview.h"
#include "gui/mainwindow/plugindiscovery.h"
#include "gui/mainwindow/pluginwindow.h"
#include "gui/mainwindow/pluginwindowlist.h"
#include "gui/mainwindow/serverlogo.h"

namespace {

const char StyleSheet[] = ":/main.css";
const int BannerHeight = 120;
const int BottomBarHeight = 85;
const double CurtainZ = 10000.0;
const double WindowListZ = 100000.0;

QPushButton* makeButton(const char* name, const QString& text, int width, int height)
{
    auto* button = new QPushButton(text);
    button->setObjectName(QLatin1String(name));
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setFixedSize(width, height);
    return button;
}

} // namespace

void Ui_MainWindow::setupUi(QMainWindow* window)
{
    if (window->objectName().isEmpty())
        window->setObjectName(QStringLiteral("MainWindow"));
    window->resize(400, 300);
    centralWidget = new QWidget(window);
    centralWidget->setObjectName(QStringLiteral("centralWidget"));
    window->setCentralWidget(centralWidget);
    menuBar = new QMenuBar(window);
    menuBar->setObjectName(QStringLiteral("menuBar"));
    menuBar->setGeometry(QRect(0, 0, 400, 21));
    window->setMenuBar(menuBar);
    mainToolBar = new QToolBar(window);
    mainToolBar->setObjectName(QStringLiteral("mainToolBar"));
    window->addToolBar(Qt::TopToolBarArea, mainToolBar);
    statusBar = new QStatusBar(window);
    statusBar->setObjectName(QStringLiteral("statusBar"));
    window->setStatusBar(statusBar);
    QMetaObject::connectSlotsByName(window);
}

MainWindow::MainWindow(QWidget* parent, bool minimal)
    : QMainWindow(parent), ui(new Ui_MainWindow), minimal(minimal)
{
    LOG_TRACE << "MainWindow";
    settings = new QSettings(ORVO::org(), QLatin1String(ORVO::ApplicationId), this);
    connect(&loadHold, &ORVO::LoadHold::signOut, this, &MainWindow::sigDisconnect);
    connect(&loadHold, &ORVO::LoadHold::pressWaitsChanged, this, &MainWindow::_showBar);

    if (!minimal)
        _buildWidgets();

    const ORVO::DiscoveredPlugins found = ORVO::discoverPlugins(
        QPluginLoader::staticInstances(), QCoreApplication::applicationDirPath());
    loginPlugin = found.loginPlugin;
    loginIface = found.loginIface;
    configPlugin = found.configPlugin;
    configIface = found.configIface;

    // With "debug" set, every web view gets the page inspector. Only the
    // portal plugin links the web engine, so it switches the extras on.
    if (!minimal && settings->value(QStringLiteral("debug"), false).toBool()) {
        LOG_DEBUG << "[MainWindow] Debug mode";
        if (configIface)
            configIface->enableDeveloperExtras();
    }

    _setWallpaper();
    valid = true;
}

MainWindow::~MainWindow()
{
    LOG_TRACE << "~MainWindow";
    _flushGeometry();
    delete ui;
    ui = nullptr;
    delete loadingMovie;
    loadingMovie = nullptr;
}

void MainWindow::_buildWidgets()
{
    installEventFilter(this);

    ui->setupUi(this);
    ui->mainToolBar->hide();
    // A menu bar without menus takes no room, as a system menu bar would not.
    ui->menuBar->hide();
    setStyleSheet(ORVO::utils::loadStyleSheet(QLatin1String(StyleSheet)));
    setFixedSize(loginWidth, loginHeight);

    statusLabel = new QLabel();
    statusLabel->setAlignment(Qt::AlignRight);
    ui->statusBar->addPermanentWidget(statusLabel, 0);
    ui->statusBar->setSizeGripEnabled(false);
    ui->statusBar->hide();
    setContentsMargins(0, 0, 0, 0);

    auto* central = new QWidget();
    auto* centralLayout = new QVBoxLayout(central);
    centralLayout->setContentsMargins(0, 0, 0, 0);
    centralLayout->setSpacing(0);

    // Banner: the management server's logo once one was fetched, else ours.
    bannerWidget = new QWidget();
    bannerWidget->setAutoFillBackground(true);
    bannerWidget->setObjectName(QStringLiteral("bannerWidget"));
    auto* bannerLayout = new QHBoxLayout(bannerWidget);
    bannerLayout->setContentsMargins(0, 0, 0, 0);
    bannerLayout->setSpacing(0);
    bannerWidget->setFixedHeight(BannerHeight);
    // Scaled down to the strip, so that no picture widens the window.
    const QSize bannerBox(loginWidth, BannerHeight);
    QString why;
    const QImage customLogo =
        ORVO::serverlogo::readFile(ORVO::getCustomLogoPath(), bannerBox, &why);
    if (!why.isEmpty())
        LOG_ERROR << "[MainWindow] The server's logo is not shown: " << why;
    QPixmap bannerImage;
    if (!customLogo.isNull()) {
        LOG_DEBUG << "[MainWindow] Using custom Lodestar logo";
        bannerImage = QPixmap::fromImage(customLogo);
    } else {
        LOG_DEBUG << "[MainWindow] Using embedded logo";
        bannerImage = ORVO::serverlogo::fit(QPixmap(QStringLiteral("rc:banner.png")), bannerBox);
    }
    auto* banner = new QLabel();
    banner->setObjectName(QStringLiteral("banner"));
    banner->setPixmap(bannerImage);
    banner->setFixedSize(bannerImage.size());
    bannerLayout->addWidget(banner);

    // The sign-in bar.
    bgLabelLg = new QLabel(QString());
    bgLabelLg->setObjectName(QStringLiteral("bgLabelLg"));

    signInButton = makeButton("signInButton", tr("SIGN IN"), 170, 34);
    signInButton->setFocusPolicy(Qt::StrongFocus);
    signInButton->setDefault(true);
    signInButton->setAutoDefault(true);
    connect(signInButton, &QPushButton::clicked, this, &MainWindow::signInOutClicked);

    iconButton = makeButton("iconButton", QString(), 45, 34);
    const QPixmap arrow(QStringLiteral("rc:login-arrow.png"));
    iconButton->setIcon(arrow);
    iconButton->setIconSize(arrow.size());
    connect(iconButton, &QPushButton::clicked, signInButton, &QPushButton::clicked);

    disconnectButton = makeButton("disconnectButton", tr("CANCEL"), 140, 34);
    disconnectButton->setFocusPolicy(Qt::StrongFocus);
    disconnectButton->setEnabled(false);
    disconnectButton->setVisible(false);
    connect(disconnectButton, &QPushButton::clicked, &loadHold, &ORVO::LoadHold::press);

    loadButton = makeButton("loadButton", QStringLiteral("0%"), 75, 34);
    const QPixmap refresh(QStringLiteral("rc:refresh-on.png"));
    loadButton->setIcon(refresh);
    loadButton->setIconSize(refresh.size());
    loadButton->setEnabled(false);
    loadButton->setVisible(false);
    connect(loadButton, &QPushButton::clicked, disconnectButton, &QPushButton::clicked);

    signInWidget = new QWidget();
    signInWidget->setAutoFillBackground(true);
    signInWidget->setObjectName(QStringLiteral("signInWidget"));
    auto* signInLayout = new QHBoxLayout(signInWidget);
    signInLayout->setContentsMargins(0, 0, 0, 0);
    signInLayout->setSpacing(0);
    signInLayout->addItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Fixed));
    signInLayout->addWidget(signInButton, 2);
    signInLayout->addWidget(iconButton, 2);
    signInLayout->addWidget(disconnectButton, 2);
    signInLayout->addWidget(loadButton, 2);
    signInLayout->addSpacing(20);
    signInButton->setFocus();

    auto* bottomHWidget = new QWidget();
    bottomHWidget->setObjectName(QStringLiteral("bottomHWidget"));
    auto* bottomHLayout = new QHBoxLayout(bottomHWidget);
    bottomHLayout->setContentsMargins(23, 0, 0, 0);
    bottomHLayout->setSpacing(0);
    auto* orgLogo = new QLabel();
    const QPixmap orgImage(QStringLiteral("rc:org-logo.png"));
    orgLogo->setPixmap(orgImage);
    orgLogo->setFixedHeight(orgImage.height());
    bottomHLayout->addWidget(orgLogo);
    bottomHLayout->addStretch(1);
    bottomHLayout->addWidget(signInWidget);

    bottomBar = new QWidget();
    bottomBar->setObjectName(QStringLiteral("bottomBar"));
    bottomBar->setStyleSheet(QStringLiteral("QWidget {border: none; }"));
    bottomBar->setFixedHeight(BottomBarHeight);
    auto* bottomLayout = new QVBoxLayout(bottomBar);
    bottomLayout->addWidget(bottomHWidget);
    bottomLayout->addStretch(1);
    bottomLayout->addWidget(bgLabelLg);

    // The spinner of the load button, and the scene.
    connect(&connectedTimer, &QTimer::timeout, this, &MainWindow::connectedTimerTimeout);
    configWaitTimer.setSingleShot(true);
    configWaitTimer.setInterval(1000);
    connect(&configWaitTimer, &QTimer::timeout, this, &MainWindow::configWaitAndShow);
    // Each save writes the settings file through to the disk: once per
    // pause of a resize, not per step.
    geometryTimer.setSingleShot(true);
    geometryTimer.setInterval(500);
    connect(&geometryTimer, &QTimer::timeout, this, &MainWindow::_saveGeometry);

    loadingMovie = new QMovie(QStringLiteral("rc:refresh-on.gif"));
    connect(loadingMovie, &QMovie::frameChanged, this, &MainWindow::updateLoadingIcon);
    mainView = new MainView();
    centralLayout->addWidget(bannerWidget, 0);
    centralLayout->addWidget(mainView, 0);
    centralLayout->addWidget(bottomBar, 0);
    setCentralWidget(central);
    ui->centralWidget = central;

    windowList = new PluginWindowList();
    windowList->setZValue(WindowListZ);
    mainView->scene()->addItem(windowList);
    connect(mainView->scene(), &QGraphicsScene::sceneRectChanged, windowList,
            &PluginWindowList::adjustGeometry);
}

void MainWindow::_setWallpaper()
{
    const QPixmap wallpaper = QPixmap(QStringLiteral("rc:wallpaper.png"))
                                  .scaled(size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
    QPalette pal = palette();
    pal.setBrush(QPalette::All, QPalette::Window, QBrush(wallpaper));
    setPalette(pal);
}

int MainWindow::run()
{
    LOG_TRACE;
    if (loginIface) {
        if (!minimal) {
            loginContainer = new ORVO::PluginWindowContainer();
            loginContainer->setWindow(loginIface->newWindow(QVariantMap()));
            windowList->addPluginWindow(loginContainer);
        }
    } else {
        LOG_ERROR << "No login plugin found!";
    }

    if (configIface) {
        connect(configPlugin, SIGNAL(action(QString, QVariantMap)), this,
                SLOT(actionTriggered(QString, QVariantMap)));
    } else {
        LOG_ERROR << "No config plugin found!";
    }

    if (minimal) {
        LOG_DEBUG << "[MainWindow] Minimal GUI mode - quitting";
        return 0;
    }

    windowList->adjustGeometry(mainView->scene()->sceneRect());
    if (loginContainer)
        windowList->showPluginWindow(loginContainer);
    curtain = new BlackCurtain(mainView->scene(), CurtainZ);
    setWindowTitle(ORVO::versionInfo());
    return 0;
}
