#include "gui/mainwindow/pluginwindow.h"

#include <QAction>
#include <QButtonGroup>
#include <QGraphicsLinearLayout>
#include <QGraphicsProxyWidget>
#include <QImage>
#include <QLabel>
#include <QMovie>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVariant>

#include "common/common.h"
#include "common/log.h"
#include "common/utils.h"
#include "gui/mainwindow/pluginwindowpage.h"
#include "gui/mainwindow/serverlogo.h"
#include "gui/widgets/pushbutton.h"
#include "gui/widgets/widgetutils.h"

namespace ORVO {

namespace {

const char StyleSheet[] = ":/main.css";
const char RefreshOffIcon[] = "rc:refresh-off.png";
const char HideTextProperty[] = "hideText";
// The tab buttons share this width between them.
const int TabRowWidth = 540;
// The banner's logo at most: as high as the server's small logo usually is,
// and four times as wide.
constexpr QSize LogoBox(192, 48);

QPushButton* buttonOf(const PluginWindow::PluginWindowTab& tab)
{
    return tab.button ? qobject_cast<QPushButton*>(tab.button->widget()) : nullptr;
}

// The icon of file, faded when its button cannot act, as its text fades:
// the style's own disabled form of a grey icon hardly differs from it.
QIcon fadingIcon(const QString& file)
{
    const QPixmap picture(file);
    QIcon icon(picture);
    if (picture.isNull())
        return icon;
    QPixmap faded(picture.size());
    faded.fill(Qt::transparent);
    QPainter painter(&faded);
    painter.setOpacity(0.35);
    painter.drawPixmap(0, 0, picture);
    painter.end();
    icon.addPixmap(faded, QIcon::Disabled);
    return icon;
}

// The banner's logo, as high whatever the picture, and whether the server's
// logo has been fetched yet, so that the tabs below stay where they are. It
// yields its width to the buttons: where the row is short of room, the
// picture is drawn smaller, keeping its proportions.
class LogoLabel : public QLabel
{
public:
    explicit LogoLabel(const QPixmap& picture)
    {
        setPixmap(picture);
        setFixedHeight(LogoBox.height());
        setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    }
    QSize sizeHint() const override
    {
        return {pixmap(Qt::ReturnByValue).width(), LogoBox.height()};
    }
    QSize minimumSizeHint() const override { return {0, LogoBox.height()}; }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        Q_UNUSED(event);
        const QPixmap picture = pixmap(Qt::ReturnByValue);
        const QSize size = serverlogo::fitted(picture.size(), contentsRect().size());
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(QRect(QPoint(0, (height() - size.height()) / 2), size), picture);
    }
};

} // namespace

PluginWindow::PluginWindow()
{
    LOG_TRACE;
    setFocusPolicy(Qt::NoFocus);
    tabGroup = new QButtonGroup();

    mainLayout = new QGraphicsLinearLayout(Qt::Vertical);
    mainLayout->setSpacing(10.0);
    mainLayout->setContentsMargins(0, 0, 0, 0);
    setContentsMargins(0, 0, 0, 0);

    pageArea = new QGraphicsLinearLayout(Qt::Vertical);
    pageArea->setSpacing(0.0);

    buttonRow = new QGraphicsLinearLayout(Qt::Horizontal);
    buttonRow->setSpacing(6.0);

    tabRow = new QGraphicsLinearLayout(Qt::Horizontal);
    tabRow->setSpacing(0.0);

    mainLayout->addItem(tabRow);
    mainLayout->setAlignment(tabRow, Qt::AlignHCenter);
    mainLayout->setItemSpacing(0, 20.0);
    mainLayout->addItem(pageArea);
    mainLayout->setAlignment(pageArea, Qt::AlignHCenter);

    placeholder = new QGraphicsWidget(this);
    pageArea->addItem(placeholder);
    pageArea->setAlignment(placeholder, Qt::AlignHCenter);
    pageArea->setStretchFactor(placeholder, 100);

    setLayout(mainLayout);

    connect(&hold, &LoadHold::signOut, this, &PluginWindow::logout);
    connect(&hold, &LoadHold::pressWaitsChanged, this, &PluginWindow::_showLogoutPress);
    connect(&hold, &LoadHold::signingOutChanged, this, &PluginWindow::_showLogoutPress);
}

PluginWindow::~PluginWindow()
{
    LOG_TRACE;
    clearTabs();
    delete refreshAnimation;
    refreshAnimation = nullptr;
    delete placeholder;
    placeholder = nullptr;
    delete tabGroup;
    tabGroup = nullptr;
    // Layouts that were never put into the window, or were taken out of it.
    if (!buttonRow->parentLayoutItem())
        delete buttonRow;
    if (!tabRow->parentLayoutItem())
        delete tabRow;
}

void PluginWindow::addTab(const QString& name, const QIcon& icon, PluginWindowPage* page,
                          bool hidden)
{
    LOG_DEBUG << "[PluginWindow] Adding new tab with name: " << name;
    if (page) {
        qreal left = 0;
        qreal top = 0;
        qreal right = 0;
        qreal bottom = 0;
        page->getWindowFrameMargins(&left, &top, &right, &bottom);
        setContentsMargins(left * 0.5, 0, right * 0.5, 0);
        page->toolBarItem()->setParent(this);
        page->toolBarItem()->setVisible(true);
    }

    auto* button = new QPushButton(name);
    // Activation first, so that the tab is shown before anyone hears of the click.
    connect(button, &QPushButton::clicked, this, [this, name] { activateTab(name); });
    connect(button, &QPushButton::clicked, this, [this, name] { clickedTab(name); });
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    button->setFocusPolicy(Qt::NoFocus);
    button->setAttribute(Qt::WA_TranslucentBackground);
    button->setCursor(Qt::PointingHandCursor);
    button->setFlat(false);
    button->setCheckable(true);
    button->setStyleSheet(utils::loadStyleSheet(QLatin1String(StyleSheet)));
    button->setObjectName(QStringLiteral("pluginWindowTab"));
    button->setFixedHeight(hidden ? 0 : 35);

    const int width = TabRowWidth / (tabs.size() + 1);
    button->setMinimumWidth(width);
    for (QAbstractButton* other : tabGroup->buttons())
        other->setMinimumWidth(width);

    auto* proxy = new QGraphicsIntegerProxyWidget();
    proxy->setWidget(button);
    proxy->setCursor(Qt::PointingHandCursor);
    tabGroup->addButton(button);

    PluginWindowTab tab;
    tab.name = name;
    tab.icon = icon;
    tab.page = page;
    tab.button = proxy;
    tabs.append(tab);
    tabRow->addItem(proxy);
    tabRow->setAlignment(proxy, Qt::AlignHCenter);

    updateTabStyleSheet();

    if (page)
        connect(page->closeAction(), &QAction::triggered, this, [this, name] { closeTab(name); });
}

void PluginWindow::activateTab(QString name)
{
    LOG_TRACE;
    if (pageArea->count() > 0)
        pageArea->removeAt(0);
    pageArea->insertItem(0, placeholder);
    pageArea->setStretchFactor(placeholder, 1000);

    // Whatever was shown is left, the first tab's page included.
    PluginWindowPage* left = current.data();
    current = nullptr;
    if (left)
        left->deactivate();

    // An exclusive group keeps its checked button on; every button may go off here.
    tabGroup->setExclusive(false);
    bool found = false;
    for (PluginWindowTab& t : tabs) {
        QPushButton* button = buttonOf(t);
        if (!found && t.name == name) {
            found = true;
            if (t.page) {
                pageArea->removeItem(placeholder);
                if (t.page->widget())
                    t.page->widget()->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
                // Sized while still hidden: a hosted widget shown at no size
                // and grown afterwards stays unmapped, and Qt hands none of
                // its paints (a page that loads) to the scene.
                QSizePolicy policy = t.page->sizePolicy();
                policy.setRetainSizeWhenHidden(true);
                t.page->setSizePolicy(policy);
                pageArea->insertItem(0, t.page);
                pageArea->setAlignment(t.page, Qt::AlignHCenter | Qt::AlignVCenter);
                pageArea->setStretchFactor(t.page, 1000);
            }
            if (button)
                button->setChecked(true);
            if (tabs.size() >= 2 && t.page) {
                t.page->setAnchorTabButton(t.button);
                t.page->update();
            }
            mainLayout->activate();
            if (t.page) {
                t.page->setVisible(true);
                current = t.page;
                t.page->activate();
                t.page->setFocus(Qt::OtherFocusReason);
            }
        } else {
            if (t.page)
                t.page->setVisible(false);
            if (button)
                button->setChecked(false);
        }
    }
    tabGroup->setExclusive(true);

    if (name.isEmpty()) {
        if (refreshAnimation)
            loadFinished();
        if (refreshBtn)
            refreshBtn->setEnabled(false);
        if (backBtn)
            backBtn->setEnabled(false);
    }
    update();
}

void PluginWindow::closeTab(QString name)
{
    LOG_TRACE;
    if (name.isEmpty() && tabs.size() == 1)
        name = tabs.first().name;
    int index = -1;
    for (int i = 0; i < tabs.size(); ++i) {
        if (tabs.at(i).name == name) {
            index = i;
            break;
        }
    }
    if (index < 0) {
        updateTabStyleSheet();
        return;
    }

    const PluginWindowTab t = tabs.takeAt(index);
    if (t.page) {
        t.page->setAnchorTabButton(nullptr);
        t.page->update();
    }
    if (t.button)
        tabRow->removeItem(t.button);
    if (t.page) {
        if (t.page == current) {
            current = nullptr;
            t.page->deactivate();
        }
        t.page->setVisible(false);
        t.page->deleteLater();
    }
    if (t.button)
        t.button->deleteLater();

    if (tabs.isEmpty()) {
        activateTab(QString());
        emit windowClosed();
    } else {
        activateTab(tabs.at(qMax(0, index - 1)).name);
    }
    updateTabStyleSheet();
}

void PluginWindow::clickedTab(QString name)
{
    emit tabClicked(name);
}

PluginWindowPage* PluginWindow::tab(const QString& name) const
{
    for (const PluginWindowTab& t : tabs) {
        if (t.name == name)
            return t.page.data();
    }
    return nullptr;
}

QList<PluginWindowPage*> PluginWindow::pages() const
{
    QList<PluginWindowPage*> list;
    for (const PluginWindowTab& t : tabs)
        list.append(t.page.data());
    return list;
}

QStringList PluginWindow::tabNames() const
{
    QStringList names;
    for (const PluginWindowTab& t : tabs)
        names.append(t.name);
    return names;
}

QList<QPushButton*> PluginWindow::tabButtons() const
{
    QList<QPushButton*> buttons;
    for (const PluginWindowTab& t : tabs)
        buttons.append(buttonOf(t));
    return buttons;
}

int PluginWindow::currentIndex() const
{
    if (!current)
        return -1;
    for (int i = 0; i < tabs.size(); ++i) {
        if (tabs.at(i).page == current)
            return i;
    }
    return -1;
}

void PluginWindow::clearTabs()
{
    LOG_TRACE;
    if (tabs.isEmpty())
        return;
    for (const PluginWindowTab& t : tabs) {
        if (t.button)
            t.button->deleteLater();
        if (t.page)
            t.page->deleteLater();
    }
    tabs.clear();
    current = nullptr;
}

void PluginWindow::hideTabs()
{
    mainLayout->removeItem(tabRow);
}

void PluginWindow::updateTabStyleSheet()
{
    const int n = tabs.size();
    for (int i = 0; i < n; ++i) {
        QPushButton* button = buttonOf(tabs.at(i));
        if (!button)
            continue;
        const bool first = i == 0;
        const bool last = i == n - 1;
        button->setProperty("first_tab", first);
        button->setProperty("last_tab", last);
        button->setProperty("middle_tab", !first && !last);
        utils::update(button);
    }
}

void PluginWindow::showBannerAndButtons(int buttons, const QPixmap& logo)
{
    LOG_TRACE;
    mainLayout->setItemSpacing(0, 0.0);
    mainLayout->setItemSpacing(1, 20.0);

    QPixmap picture = serverlogo::fit(logo, LogoBox);
    if (picture.isNull()) {
        QString why;
        const QImage custom = serverlogo::readFile(getCustomLogoSmallPath(), LogoBox, &why);
        if (!why.isEmpty())
            LOG_ERROR << "[PluginWindow] The server's small logo is not shown: " << why;
        if (!custom.isNull()) {
            LOG_DEBUG << "[PluginWindow] Using custom Lodestar logo (small)";
            picture = QPixmap::fromImage(custom);
        } else {
            LOG_DEBUG << "[PluginWindow] Using embedded logo (small)";
            picture = serverlogo::fit(QPixmap(QStringLiteral("rc:logo-small.png")), LogoBox);
        }
    }
    auto* banner = new LogoLabel(picture);
    banner->setObjectName(QStringLiteral("banner"));
    banner->setStyleSheet(utils::loadStyleSheet(QLatin1String(StyleSheet)));
    auto* bannerProxy = new QGraphicsProxyWidget();
    bannerProxy->setWidget(banner);
    buttonRow->addItem(bannerProxy);
    buttonRow->setAlignment(bannerProxy, Qt::AlignLeft);

    // Between the logo and the buttons, taking the row's spare width. A
    // hidden item would take none in a Qt 5 layout, and the buttons would
    // stretch instead.
    auto* spacer = new QGraphicsWidget();
    spacer->setMaximumHeight(0.0);
    spacer->setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::Preferred);
    buttonRow->addItem(spacer);
    buttonRow->setStretchFactor(spacer, 1);

    mainLayout->insertItem(0, buttonRow);

    if (buttons & RefreshFlag) {
        refreshBtn = addButton(tr("Refresh"), QLatin1String(RefreshOffIcon),
                               QStringLiteral("rc:refresh-on.png"));
        connect(refreshBtn, &QPushButton::clicked, this, &PluginWindow::refresh);
        refreshAnimation = new QMovie(QStringLiteral("rc:refresh-off.gif"));
        connect(refreshAnimation, &QMovie::frameChanged, this, &PluginWindow::frameChanged);
    }
    if (buttons & BackFlag) {
        backBtn = addButton(tr("Back"), QStringLiteral("rc:back-off.png"),
                            QStringLiteral("rc:back-on.png"));
        connect(backBtn, &QPushButton::clicked, this, &PluginWindow::back);
    }
    if (buttons & SettingsFlag) {
        settingsBtn = addButton(tr("Settings"), QStringLiteral("rc:settings-off.png"),
                                QStringLiteral("rc:settings-on.png"));
        connect(settingsBtn, &QPushButton::clicked, this, &PluginWindow::settings);
    }
    if (buttons & ZoomInFlag) {
        PushButton* b = addButton(tr("Zoom In"), QStringLiteral("rc:plus-off.png"),
                                  QStringLiteral("rc:plus-on.png"));
        connect(b, &QPushButton::clicked, this, &PluginWindow::zoomIn);
    }
    if (buttons & ZoomOutFlag) {
        PushButton* b = addButton(tr("Zoom Out"), QStringLiteral("rc:minus-off.png"),
                                  QStringLiteral("rc:minus-on.png"));
        connect(b, &QPushButton::clicked, this, &PluginWindow::zoomOut);
    }
    if (buttons & CloseFlag) {
        PushButton* b = addButton(tr("Close"), QStringLiteral("rc:close-off.png"),
                                  QStringLiteral("rc:close-on.png"));
        // The window's close() signal, not QGraphicsWidget::close().
        connect(b, &QPushButton::clicked, this, &PluginWindow::close);
    }
    if (buttons & LogoutFlag) {
        logoutBtn = addButton(tr("Logout"), QStringLiteral("rc:logout-off.png"),
                              QStringLiteral("rc:logout-on.png"));
        connect(logoutBtn, &QPushButton::clicked, &hold, &LoadHold::press);
    }
}

PushButton* PluginWindow::addButton(const QString& text, const QString& offIcon,
                                    const QString& onIcon)
{
    auto* button = new PushButton(nullptr);
    button->setText(QLatin1Char(' ') + text);
    button->setIcons(fadingIcon(offIcon), QIcon(onIcon));
    button->setIconSize(QPixmap(offIcon).size());
    button->setStyleSheet(utils::loadStyleSheet(QLatin1String(StyleSheet)));
    button->setObjectName(QStringLiteral("pluginPageButton"));
    button->setCursor(Qt::PointingHandCursor);
    button->setLayoutDirection(Qt::RightToLeft);
    auto* proxy = new QGraphicsProxyWidget();
    proxy->setWidget(button);
    buttonRow->addItem(proxy);
    buttonRow->setAlignment(proxy, Qt::AlignBottom);
    return button;
}

void PluginWindow::loadStarted()
{
    LOG_TRACE;
    hold.started();
    finishing = false;
    if (refreshAnimation) {
        refreshAnimation->setSpeed(100);
        refreshAnimation->start();
    }
    if (refreshBtn) {
        refreshBtn->setProperty(HideTextProperty, true);
        utils::update(refreshBtn);
    }
}

void PluginWindow::loadFinished()
{
    LOG_TRACE;
    hold.finished();
    if (!refreshAnimation)
        return;
    finishing = true;
    _finishTurn();
}

// Lets a turn of the Refresh icon end on its still frame, at triple speed.
// Waits only while the animation runs: a stopped or missing one never
// reaches another frame.
void PluginWindow::_finishTurn()
{
    LOG_TRACE;
    if (!finishing || !refreshAnimation)
        return;
    if (refreshAnimation->state() == QMovie::Running &&
        refreshAnimation->currentFrameNumber() != 0) {
        refreshAnimation->setSpeed(300);
        const int delay = qMax(1, refreshAnimation->nextFrameDelay() / 2);
        QTimer::singleShot(delay, this, &PluginWindow::_finishTurn);
        return;
    }
    finishing = false;
    refreshAnimation->setSpeed(100);
    refreshAnimation->stop();
    if (refreshBtn) {
        refreshBtn->setIcon(QIcon(QLatin1String(RefreshOffIcon)));
        refreshBtn->setProperty(HideTextProperty, false);
        utils::update(refreshBtn);
    }
}

// A press that waits for a load is shown at once, and Logout takes no
// second one meanwhile; nor once the sign-out is under way, which it can
// no longer change, until the window or the session goes.
void PluginWindow::_showLogoutPress()
{
    if (!logoutBtn)
        return;
    const bool out = hold.pressWaits() || hold.signingOut();
    logoutBtn->setEnabled(!out);
    logoutBtn->setText(QLatin1Char(' ') + (out ? tr("Signing out") : tr("Logout")));
    // The proxy keeps the size hints it took from the button until told.
    if (QGraphicsLayoutItem* proxy = logoutBtn->graphicsProxyWidget())
        proxy->updateGeometry();
}

void PluginWindow::frameChanged()
{
    if (refreshBtn && refreshAnimation)
        refreshBtn->setIcon(QIcon(refreshAnimation->currentPixmap()));
}

void PluginWindow::activate(bool on)
{
    if (on == active)
        return;
    active = on;
    if (on)
        emit windowActivated();
    else
        emit windowDeactivated();
}

void PluginWindow::paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget)
{
    Q_UNUSED(option);
    Q_UNUSED(widget);
    if (!painter) {
        LOG_ERROR;
        return;
    }
    painter->fillRect(QRectF(QPointF(0, 0), size()), Qt::transparent);
}

} // namespace ORVO
