#include "testloginplugin.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <QWidget>

#include "gui/mainwindow/pluginwindowpage.h"
#include "gui/widgets/combobox.h"
#include "gui/widgets/lineedit.h"

namespace {

ORVO::PluginWindowPage* page(QWidget* content)
{
    content->setAutoFillBackground(false);
    content->setAttribute(Qt::WA_TranslucentBackground);
    auto* p = new ORVO::PluginWindowPage();
    p->setWidget(content);
    p->setDecorationTheme(ORVO::PluginWindowPage::WindowDecoration, 0);
    return p;
}

QWidget* loginForm()
{
    auto* form = new QWidget();
    auto* layout = new QVBoxLayout(form);
    layout->setContentsMargins(20, 16, 20, 16);
    layout->setSpacing(12);
    auto* profile = new ComboBox(nullptr);
    profile->setLabelText(QStringLiteral("Profile"));
    profile->setLabelWidth(110);
    profile->setComboWidth(290);
    profile->setHeight(34);
    profile->comboBox()->addItems({QStringLiteral("  Head office"), QStringLiteral("  Plant 2")});
    auto* user = new LineEdit(nullptr);
    user->setLabelText(QStringLiteral("User"));
    user->setLabelWidth(110);
    user->setLineWidth(290);
    user->setHeight(34);
    user->setText(QStringLiteral("operator"));
    auto* pass = new LineEdit(nullptr);
    pass->setLabelText(QStringLiteral("Password"));
    pass->setLabelWidth(110);
    pass->setLineWidth(290);
    pass->setHeight(34);
    pass->setEchoMode(QLineEdit::Password);
    pass->setText(QStringLiteral("secret"));
    layout->addWidget(profile);
    layout->addWidget(user);
    layout->addWidget(pass);
    layout->addStretch(1);
    return form;
}

} // namespace

ORVO::PluginWindow* TestLoginPlugin::newWindow(const QVariantMap& params)
{
    Q_UNUSED(params);
    delete window.data();
    window = new ORVO::PluginWindow();
    ++windowsMade;
    window->addTab(QStringLiteral("LOGIN"), QIcon(), page(loginForm()), false);
    auto* advanced = new QWidget();
    auto* advancedLayout = new QFormLayout(advanced);
    advancedLayout->addRow(QStringLiteral("VPN timeout"), new QLabel(QStringLiteral("60 s")));
    window->addTab(QStringLiteral("ADVANCED"), QIcon(), page(advanced), false);
    auto* logs = new QPlainTextEdit(QStringLiteral("[notice] ready"));
    window->addTab(QStringLiteral("LOGS"), QIcon(), page(logs), false);
    window->activateTab(QStringLiteral("LOGIN"));
    return window;
}

void TestLoginPlugin::setProgress(int step, int totSteps, const QString& description)
{
    Q_UNUSED(totSteps);
    Q_UNUSED(description);
    lastStep = step;
}

#include "moc_testloginplugin.cpp"
