#pragma once

#include <QGraphicsWidget>
#include <QIcon>
#include <QList>
#include <QPixmap>
#include <QPointer>
#include <QString>

#include "gui/mainwindow/loadhold.h"
#include "gui/mainwindow/pluginwindowpage.h"

class PushButton;
class QButtonGroup;
class QGraphicsLinearLayout;
class QMovie;
class QPushButton;
class QPainter;
class QStyleOptionGraphicsItem;

namespace ORVO {

// The window a plugin hands to the main window: an optional banner row of
// logo and buttons, a row of tab buttons and one page area showing the page
// of the current tab. Button clicks come out as signals; the Refresh button
// turns while a page loads, and a Logout pressed then comes out as the
// load's hold ends.
class PluginWindow : public QGraphicsWidget
{
    Q_OBJECT
public:
    enum ButtonFlags {
        CloseFlag = 0x01,
        RefreshFlag = 0x02,
        BackFlag = 0x04,
        SettingsFlag = 0x08,
        ZoomInFlag = 0x10,
        ZoomOutFlag = 0x20,
        LogoutFlag = 0x40
    };

    struct PluginWindowTab
    {
        QString name;
        QIcon icon;
        QPointer<PluginWindowPage> page;
        QGraphicsIntegerProxyWidget* button = nullptr;
    };

    PluginWindow();
    ~PluginWindow() override;
    PluginWindow(const PluginWindow&) = delete;
    PluginWindow& operator=(const PluginWindow&) = delete;

    // Adds a tab without activating it; hidden gives its button no height.
    void addTab(const QString& name, const QIcon& icon, PluginWindowPage* page, bool hidden);
    // The page of the first tab with that name, or null.
    PluginWindowPage* tab(const QString& name) const;
    QList<PluginWindowPage*> pages() const;
    // The tab names and their buttons, in tab order.
    QStringList tabNames() const;
    QList<QPushButton*> tabButtons() const;
    // The page shown now, or null; index of its tab, or -1.
    PluginWindowPage* currentPage() const { return current.data(); }
    int currentIndex() const;
    void clearTabs();
    // Takes the tab row out of the window.
    void hideTabs();
    // Sets "first_tab", "last_tab" and "middle_tab" on every tab button.
    void updateTabStyleSheet();

    // The banner row: logo (the server's small logo, else "rc:logo-small.png",
    // when null) and the buttons of the ButtonFlags set.
    void showBannerAndButtons(int buttons, const QPixmap& logo);
    PushButton* addButton(const QString& text, const QString& offIcon, const QString& onIcon);
    PushButton* refreshButton() const { return refreshBtn; }
    PushButton* backButton() const { return backBtn; }
    PushButton* settingsButton() const { return settingsBtn; }
    PushButton* logoutButton() const { return logoutBtn; }
    QMovie* refreshMovie() const { return refreshAnimation; }
    // Whether a load holds Logout, and the user's press of it: the owner
    // ends the hold as the session or the window goes, tests shorten it.
    LoadHold* loadHold() { return &hold; }

    // Emits windowActivated() or windowDeactivated() when the flag changes.
    void activate(bool on);
    bool isActive() const { return active; }
    QString description() const { return desc; }
    void setDescription(const QString& description) { desc = description; }
    QIcon icon() const { return windowIcon; }
    void setIcon(const QIcon& icon) { windowIcon = icon; }

    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

public slots:
    void activateTab(QString name = QString());
    // An empty name with exactly one tab closes that tab.
    void closeTab(QString name = QString());
    void loadStarted();
    void loadFinished();

signals:
    void tabClicked(QString name);
    void windowActivated();
    void windowDeactivated();
    void windowClosed();
    void refresh();
    void back();
    void settings();
    void logout();
    // Hides QGraphicsWidget::close(): the Close button asks, the owner acts.
    void close();
    void zoomIn();
    void zoomOut();

private slots:
    void clickedTab(QString name);
    void frameChanged();

private:
    void _finishTurn();
    void _showLogoutPress();

    QList<PluginWindowTab> tabs;
    // The page shown now; guarded, as pages go with deleteLater.
    QPointer<PluginWindowPage> current;
    QString desc;
    QIcon windowIcon;
    bool active = false;
    QGraphicsLinearLayout* mainLayout = nullptr;
    QGraphicsLinearLayout* tabRow = nullptr;
    QGraphicsLinearLayout* pageArea = nullptr;
    QGraphicsWidget* placeholder = nullptr;
    QGraphicsLinearLayout* buttonRow = nullptr;
    QButtonGroup* tabGroup = nullptr;
    QMovie* refreshAnimation = nullptr;
    // The turn of the Refresh icon is being brought to its still frame.
    bool finishing = false;
    LoadHold hold;
    PushButton* refreshBtn = nullptr;
    PushButton* backBtn = nullptr;
    PushButton* settingsBtn = nullptr;
    PushButton* logoutBtn = nullptr;
};

} // namespace ORVO
