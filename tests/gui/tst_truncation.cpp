// Every window in every language: no text of a label, button, check box,
// tab, combo item or table header is wider than the room its widget gives
// it, measured with the fonts the README installs (DejaVu, the "Sans Serif"
// of the desktop's default font). One row per window and language; a new
// window is one more entry of windowFactories().
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QGraphicsProxyWidget>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QHeaderView>
#include <QLabel>
#include <QPluginLoader>
#include <QPointer>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QStyleOptionHeader>
#include <QStyleOptionTab>
#include <QTabBar>
#include <QTabWidget>
#include <QTextDocument>
#include <QTranslator>
#include <QtPlugin>

#include <functional>

#include "editor/editorfixture.h"
#include "gui/gui.h"
#include "gui/log/logform.h"
#include "gui/mainwindow/mainwindow.h"
#include "gui/mainwindow/pluginwindow.h"
#include "gui/mainwindow/pluginwindowlist.h"
#include "gui/testseams.h"
#include "gui/timedmessagebox.h"
#include "gui/tray/systemtray.h"
#include "gui/widgets/pushbutton.h"
#include "plugin/config/configplugin.h"
#include "plugin/config/settingsdialog.h"
#include "testenv.h"
#include "testmain.h"

Q_IMPORT_PLUGIN(LoginPlugin)
Q_IMPORT_PLUGIN(ConfigPlugin)

namespace {

// Collects the texts that do not fit, once each, as
// "<window> [<lang>]: <class> "<text>" needs N px, has M px".
class Checker
{
public:
    QString where;
    QStringList problems;

    // Every state of every tab of the windows under top, the plugin
    // windows' own tab buttons included.
    void sweep(QWidget* top)
    {
        settle();
        const QList<ORVO::PluginWindow*> windows = pluginWindows(top);
        if (windows.isEmpty())
            sweepTabs(top);
        for (ORVO::PluginWindow* window : windows) {
            for (QPushButton* tab : window->tabButtons()) {
                tab->click();
                settle();
                sweepTabs(top);
            }
        }
    }

    // The visible widgets under top as they are now.
    void check(QWidget* top)
    {
        settle();
        for (QWidget* root : roots(top)) {
            QList<QWidget*> widgets = root->findChildren<QWidget*>();
            widgets.prepend(root);
            for (QWidget* w : widgets)
                if (w->isVisible())
                    checkWidget(w);
        }
    }

private:
    static void settle()
    {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            QTest::qWait(10);
        }
    }

    // The window and the widgets it shows on graphics scenes.
    static QList<QWidget*> roots(QWidget* top)
    {
        QList<QWidget*> list{top};
        for (QGraphicsView* view : top->findChildren<QGraphicsView*>()) {
            if (!view->scene())
                continue;
            for (QGraphicsItem* item : view->scene()->items())
                if (auto* proxy = dynamic_cast<QGraphicsProxyWidget*>(item))
                    if (proxy->widget() && proxy->isVisible())
                        list << proxy->widget();
        }
        return list;
    }

    static QList<ORVO::PluginWindow*> pluginWindows(QWidget* top)
    {
        QList<ORVO::PluginWindow*> list;
        for (QGraphicsView* view : top->findChildren<QGraphicsView*>())
            if (view->scene())
                for (QGraphicsItem* item : view->scene()->items())
                    if (auto* w = dynamic_cast<ORVO::PluginWindow*>(item))
                        list << w;
        return list;
    }

    void sweepTabs(QWidget* top)
    {
        check(top);
        QList<QTabWidget*> tabs;
        for (QWidget* root : roots(top))
            for (QTabWidget* t : root->findChildren<QTabWidget*>())
                if (t->isVisible())
                    tabs << t;
        for (QTabWidget* t : tabs) {
            const int current = t->currentIndex();
            for (int i = 0; i < t->count(); ++i) {
                t->setCurrentIndex(i);
                check(top);
            }
            t->setCurrentIndex(current);
        }
    }

    void report(QWidget* w, const QString& text, int needed, int room)
    {
        if (needed <= room)
            return;
        const QString line = QStringLiteral("%1: %2 \"%3\" needs %4 px, has %5 px")
                                 .arg(where, QLatin1String(w->metaObject()->className()), text)
                                 .arg(needed)
                                 .arg(room);
        if (!problems.contains(line))
            problems << line;
    }

    static int textWidth(const QFont& font, const QString& text)
    {
        const QFontMetrics fm(font);
        int width = 0;
        for (const QString& line : text.split(QLatin1Char('\n')))
            width = qMax(width, fm.horizontalAdvance(line));
        return width;
    }

    void checkWidget(QWidget* w)
    {
        QStyle* style = w->style();
        if (auto* label = qobject_cast<QLabel*>(w)) {
            if (label->text().isEmpty())
                return;
            const QRect room = label->contentsRect().adjusted(label->margin(), label->margin(),
                                                              -label->margin(), -label->margin());
            if (label->wordWrap()) {
                report(w, label->text(), label->heightForWidth(label->width()), label->height());
                return;
            }
            int needed = textWidth(label->font(), label->text());
            if (label->textFormat() != Qt::PlainText && Qt::mightBeRichText(label->text())) {
                QTextDocument doc;
                doc.setDefaultFont(label->font());
                doc.setHtml(label->text());
                doc.setDocumentMargin(0);
                needed = qCeil(doc.idealWidth());
            }
            report(w, label->text(), needed, room.width() - qMax(0, label->indent()));
        } else if (auto* check = qobject_cast<QCheckBox*>(w)) {
            QStyleOptionButton opt;
            opt.initFrom(check);
            opt.text = check->text();
            const QRect room = style->subElementRect(QStyle::SE_CheckBoxContents, &opt, check);
            report(w, check->text(), textWidth(check->font(), check->text()), room.width());
        } else if (auto* button = qobject_cast<QPushButton*>(w)) {
            if (button->text().trimmed().isEmpty())
                return;
            QStyleOptionButton opt;
            opt.initFrom(button);
            opt.text = button->text();
            opt.icon = button->icon();
            opt.iconSize = button->iconSize();
            const QRect room = style->subElementRect(QStyle::SE_PushButtonContents, &opt, button);
            const int icon = button->icon().isNull() ? 0 : button->iconSize().width() + 4;
            report(w, button->text(), textWidth(button->font(), button->text()) + icon,
                   room.width());
        } else if (auto* bar = qobject_cast<QTabBar*>(w)) {
            // All tabs in view: tabs wider than the bar get scroll arrows.
            QStringList titles;
            int total = 0;
            for (int i = 0; i < bar->count(); ++i) {
                titles << bar->tabText(i);
                total += bar->tabRect(i).width();
                QStyleOptionTab opt;
                opt.initFrom(bar);
                opt.rect = bar->tabRect(i);
                opt.text = bar->tabText(i);
                opt.shape = bar->shape();
                const QRect text = style->subElementRect(QStyle::SE_TabBarTabText, &opt, bar);
                report(w, opt.text, textWidth(bar->font(), opt.text), text.width());
            }
            report(w, titles.join(QStringLiteral(" | ")), total, bar->width());
        } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
            if (combo->isEditable())
                return;
            QStyleOptionComboBox opt;
            opt.initFrom(combo);
            const QRect room = style->subControlRect(QStyle::CC_ComboBox, &opt,
                                                     QStyle::SC_ComboBoxEditField, combo);
            for (int i = 0; i < combo->count(); ++i)
                report(w, combo->itemText(i), textWidth(combo->font(), combo->itemText(i)),
                       room.width());
        } else if (auto* header = qobject_cast<QHeaderView*>(w)) {
            // The sheet sets section titles in bold.
            QFont bold = header->font();
            bold.setBold(true);
            for (int i = 0; i < header->count(); ++i) {
                if (header->isSectionHidden(i) || header->sectionSize(i) == 0)
                    continue;
                QStyleOptionHeader opt;
                opt.initFrom(header);
                opt.rect = QRect(0, 0, header->sectionSize(i), header->height());
                opt.section = i;
                opt.text = header->model()->headerData(i, header->orientation()).toString();
                const QRect room = style->subElementRect(QStyle::SE_HeaderLabel, &opt, header);
                report(w, opt.text, textWidth(bold, opt.text), room.width());
            }
        }
    }
};

// The catalogues of one language, installed for the object's life, as the
// program loads them.
class Language
{
public:
    explicit Language(const QString& code)
    {
        if (code != QLatin1String("en") && qt.load(QStringLiteral(":/qt_") + code))
            QCoreApplication::installTranslator(&qt);
        if (app.load(QStringLiteral(":/lang_") + code))
            QCoreApplication::installTranslator(&app);
    }
    ~Language()
    {
        QCoreApplication::removeTranslator(&app);
        QCoreApplication::removeTranslator(&qt);
    }
    bool loaded() const { return !app.isEmpty(); }

private:
    QTranslator qt;
    QTranslator app;
};

// Profile folders for the sign-in forms: an OpenVPN one with a password.
bool writeProfile(const QString& dataDir)
{
    return orvotest::writeFile(dataDir + "/profiles/office.profile/openvpn.conf",
                               "client\nremote vpn.example.org 1194 udp\n") &&
           orvotest::writeFile(dataDir + "/profiles/office.profile/config.json",
                               R"({"type": "vpn", "mode": "manual",
                                   "auth": {"manual": true, "remember": false,
                                            "type": "user-pass", "user": "demo"},
                                   "vpn": {"conf": "openvpn.conf", "pull_routes": true}})");
}

// The full window, through its tabs, or in a connection state.
void mainWindow(Checker& c, libvelcor::State state)
{
    ORVO::Gui gui(nullptr, true, false);
    QVERIFY(gui.isValid());
    QCOMPARE(gui.run(), 0);
    if (state == libvelcor::StateIdle) {
        c.sweep(gui.mainWindow);
        return;
    }
    // A plain OpenVPN sign-in: the bottom bar stays.
    emit gui.configSupplyInt(QVariantMap{{"setup", QVariantMap{{"enabled", false}}}});
    emit gui.stateChanged(libvelcor::StateConnecting);
    if (state != libvelcor::StateConnecting) {
        emit gui.stateChanged(state);
    }
    c.check(gui.mainWindow);
}

void trayOnlyWindow(Checker& c)
{
    ORVO::Gui gui(nullptr, true, true);
    QVERIFY(gui.isValid());
    QCOMPARE(gui.run(), 0);
    gui.systemTray->showSignInWindow();
    QWidget* window = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->inherits("ORVO::LoginWidget"))
            window = w;
    QVERIFY(window);
    c.sweep(window);
}

// The editor on each kind of profile, so that every row shows once: user
// and password with a fallback server, certificate from files, management
// server.
void profileEditor(Checker& c, const QString& root)
{
    ORVO::ConnProfiles store;
    ORVO::ConnProfile* manual = store.add("Office VPN");
    QVERIFY(edtest::makeVpnManual(manual, "alice", root));
    manual->getVpnConfig().setFallbackEnabled(true);
    ORVO::ConnProfile* files = store.add("branch files");
    QVERIFY(edtest::makeVpnFiles(files, root, true));
    files->getAuth().setType(libvelcor::Auth::CertificateType);
    edtest::makeLs(store.add("Cloud"), "https://ls.example.org:8443");
    ProfilesDialog dialog(nullptr, &store);
    dialog.show();
    for (const char* id : {"Office VPN", "branch files", "Cloud"}) {
        QCOMPARE(dialog.load(id, false), 0);
        c.sweep(&dialog);
    }
}

void confirmationBox(Checker& c)
{
    // Shown and left open: the box counts down for ten seconds.
    ORVO::seams::setMessageBoxAutoAnswer(0);
    ORVO::Gui gui(nullptr, true, false);
    QVERIFY(gui.isValid());
    const QVariantMap request{{"_type", "open"}, {"name", "Remote desktop"}, {"endpoint", "x"}};
    QVERIFY(QMetaObject::invokeMethod(&gui, "_requestAction", Q_ARG(QVariantMap, request)));
    QPointer<ORVO::TimedMessageBox> box;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && qobject_cast<ORVO::TimedMessageBox*>(w))
            box = qobject_cast<ORVO::TimedMessageBox*>(w);
    QVERIFY(box);
    c.check(box);
    delete box;
    ORVO::seams::setMessageBoxAutoAnswer(QMessageBox::Ok);
}

ORVO::ConfigPlugin* configPlugin()
{
    for (QObject* o : QPluginLoader::staticInstances())
        if (auto* p = qobject_cast<ORVO::ConfigPlugin*>(o))
            return p;
    return nullptr;
}

// The full window's portal view after a management-server sign-in, with a
// tab for every page the plugin knows. The pages point at a closed port:
// they stay blank, the tabs and banner are what is measured.
void portalView(Checker& c, bool openSettings)
{
    // The tab titles are translated by the first plugin object of the
    // process; a throwaway one translates them again in this row's language.
    ORVO::stringMap.clear();
    delete new ORVO::ConfigPlugin();

    ORVO::Gui gui(nullptr, true, false);
    QVERIFY(gui.isValid());
    QCOMPARE(gui.run(), 0);
    ORVO::ConfigPlugin* plugin = configPlugin();
    QVERIFY(plugin);
    ORVO::ConfigGfxPluginInterface* iface = plugin;
    iface->gotServerAddr(QStringLiteral("127.0.0.1:9"), QString());
    QVariantMap pages;
    for (const QString& key : ORVO::stringMap.keys())
        pages.insert(key, QString(QStringLiteral("/manage/portal/") + key));
    iface->gotPages(pages);
    QVERIFY(QMetaObject::invokeMethod(gui.mainWindow, "showConfig"));
    QVERIFY(gui.mainWindow->configShown);
    // Maximised on a screen 1280 pixels wide, as under the X servers we
    // support; the offscreen screen is narrower. The tab row shares the
    // window's width, so eight titles fit only from about that width up.
    gui.mainWindow->setWindowState(Qt::WindowNoState);
    gui.mainWindow->resize(1280, 800);
    ORVO::PluginWindow* window = gui.mainWindow->configContainer->window();
    QVERIFY(window && window->settingsButton());
    QCOMPARE(window->tabNames().value(0),
             QCoreApplication::translate("ORVO::ConfigPlugin", "Connections"));
    if (!openSettings) {
        c.sweep(gui.mainWindow);
        return;
    }
    window->settingsButton()->click();
    QPointer<SettingsDialog> dialog = plugin->settingsDialog;
    QVERIFY(dialog && dialog->isVisible());
    c.sweep(dialog);
    // The next row builds the dialog again, in its own language.
    delete dialog;
}

using Factory = std::function<void(Checker&, const QString& root)>;

// The windows, each built as the program builds it.
const QList<QPair<QString, Factory>>& windowFactories()
{
    static const QList<QPair<QString, Factory>> list{
        {"main window", [](Checker& c, const QString&) { mainWindow(c, libvelcor::StateIdle); }},
        {"main window connecting",
         [](Checker& c, const QString&) { mainWindow(c, libvelcor::StateConnecting); }},
        {"main window connected",
         [](Checker& c, const QString&) { mainWindow(c, libvelcor::StateConnected); }},
        {"tray-only window", [](Checker& c, const QString&) { trayOnlyWindow(c); }},
        {"profile editor", profileEditor},
        {"confirmation box", [](Checker& c, const QString&) { confirmationBox(c); }},
        {"portal view", [](Checker& c, const QString&) { portalView(c, false); }},
        {"settings dialog", [](Checker& c, const QString&) { portalView(c, true); }},
    };
    return list;
}

} // namespace

class TestTruncation : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup() { orvotest::clearQuitRequest(); }
    void windows_data();
    void windows();
    void checkerFindsCutText_data();
    void checkerFindsCutText();
};

void TestTruncation::initTestCase()
{
    initEditorTests();
    LogForm::setListenPort(0);
    ORVO::seams::setAssumeSystemTray(false);
    // The desktop's default font, as the X11 session gives it.
    QApplication::setFont(QFont(QStringLiteral("Sans Serif"), 9));
    const QString family = QFontInfo(QApplication::font()).family();
    QVERIFY2(
        family == QLatin1String("DejaVu Sans"),
        qPrintable("Sans Serif is " + family + ", not DejaVu Sans: install fonts-dejavu-core"));
}

void TestTruncation::windows_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("lang");
    for (const QString lang : {"en", "de", "it"})
        for (const auto& entry : windowFactories())
            QTest::newRow(qPrintable(entry.first + " " + lang)) << entry.first << lang;
}

void TestTruncation::windows()
{
    QFETCH(QString, window);
    QFETCH(QString, lang);
    orvotest::TestEnv env;
    QVERIFY(writeProfile(env.dataDir()));
    Language language(lang);
    QVERIFY(language.loaded());
    Checker checker;
    checker.where = window + " [" + lang + "]";
    for (const auto& entry : windowFactories())
        if (entry.first == window)
            entry.second(checker, env.root());
    QVERIFY2(checker.problems.isEmpty(), qPrintable(checker.problems.join("\n")));
}

// The checker itself: nothing is found at a widget's own size, and a text
// cut in half is.
void TestTruncation::checkerFindsCutText_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("label") << "label";
    QTest::newRow("push button") << "button";
    QTest::newRow("check box") << "check";
    QTest::newRow("tab") << "tab";
    QTest::newRow("combo item") << "combo";
}

void TestTruncation::checkerFindsCutText()
{
    QFETCH(QString, kind);
    const QString text = QStringLiteral("Verbindungsprofil");
    QWidget top;
    QWidget* w = nullptr;
    QTabWidget* tabs = nullptr;
    if (kind == "label") {
        w = new QLabel(text, &top);
    } else if (kind == "button") {
        w = new QPushButton(text, &top);
    } else if (kind == "check") {
        w = new QCheckBox(text, &top);
    } else if (kind == "combo") {
        auto* combo = new QComboBox(&top);
        combo->addItems({"TCP", text});
        w = combo;
    } else {
        tabs = new QTabWidget(&top);
        tabs->addTab(new QWidget, text);
        w = tabs;
    }
    w->resize(w->sizeHint());
    top.show();
    Checker roomy;
    roomy.check(&top);
    QVERIFY2(roomy.problems.isEmpty(), qPrintable(roomy.problems.join("\n")));

    if (tabs) {
        const int natural = tabs->tabBar()->tabRect(0).width();
        tabs->setStyleSheet(QStringLiteral("QTabBar::tab { width: %1px; }").arg(natural / 2));
    } else {
        w->setFixedWidth(w->sizeHint().width() / 2);
    }
    Checker cramped;
    cramped.where = kind;
    cramped.check(&top);
    QCOMPARE(cramped.problems.size(), 1);
    QVERIFY(cramped.problems.first().contains(text));
}

ORVO_TEST_GUI_MAIN(TestTruncation)
#include "tst_truncation.moc"
