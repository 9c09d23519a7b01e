#pragma once

// The settings dialog's test kit: the store seen by the dialog, dialogs
// opened as the portal opens them, their widgets found by type or text,
// and a recorder of the message boxes shown.

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTableWidgetSelectionRange>
#include <QUuid>

#include <memory>

#include "common/applocation.h"
#include "common/common.h"
#include "gui/log/logform.h"
#include "gui/widgets/lineedit.h"
#include "libabout/about.h"
#include "libvelcor/auth.h"
#include "plugin/config/settingsdialog.h"
#include "plugin/config/tablewidget.h"

namespace settingstest {

const char ServerA[] = "{0b5e1c52-7a1d-4c3e-9f0a-2d6b8e4f1a37}";
const char ServerB[] = "{8f14e45f-ceea-467f-a8f4-9c2b1d7e3a60}";

// The message boxes shown, as "title: text", while the object lives.
class BoxRecorder : public QObject
{
public:
    BoxRecorder() { qApp->installEventFilter(this); }
    ~BoxRecorder() override { qApp->removeEventFilter(this); }
    QStringList seen;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* box = qobject_cast<QMessageBox*>(watched);
        if (box && event->type() == QEvent::Show)
            seen.append(box->windowTitle() + QStringLiteral(": ") + box->text());
        return false;
    }
};

inline QString group(const char* server)
{
    return ORVO::applocation::serverGroup(QUuid(QString::fromLatin1(server))) +
           QStringLiteral("/Actions/");
}

// Entries "key=value" of one server; "key" alone gives an empty value.
using Entries = QStringList;

inline QSettings* store()
{
    static QSettings* s = nullptr;
    if (!s)
        s = new QSettings(QString::fromLatin1(LibVelcorOrganization),
                          QString::fromLatin1(ORVO::ApplicationId));
    return s;
}

inline void seed(const char* server, const Entries& entries)
{
    for (const QString& entry : entries) {
        const int eq = entry.indexOf('=');
        store()->setValue(group(server) + entry.left(eq), eq < 0 ? QString() : entry.mid(eq + 1));
    }
    store()->sync();
}

// What the store holds for one server, as "key=value", ascending.
inline Entries stored(const char* server)
{
    store()->sync();
    Entries out;
    store()->beginGroup(group(server));
    for (const QString& key : store()->allKeys())
        out.append(key + '=' + store()->value(key).toString());
    store()->endGroup();
    return out;
}

inline std::unique_ptr<SettingsDialog> openDialog(const char* server = ServerA,
                                                  const QString& pass = QString("secret"))
{
    auto dialog = std::make_unique<SettingsDialog>(nullptr, new LogForm());
    dialog->setServerId(QUuid(QString::fromLatin1(server)));
    dialog->setAuth(libvelcor::Auth(libvelcor::Auth::ProfileId, libvelcor::Auth::UserPassType,
                                    QString(), "user", pass, QString()));
    dialog->load();
    return dialog;
}

inline TableWidget* table(SettingsDialog* d)
{
    return d->findChild<TableWidget*>();
}

inline QPushButton* button(SettingsDialog* d, const QString& text)
{
    for (QPushButton* b : d->findChildren<QPushButton*>())
        if (b->text() == text)
            return b;
    return nullptr;
}

inline LineEdit* edit(SettingsDialog* d, const char* name)
{
    return d->findChild<LineEdit*>(QString::fromLatin1(name));
}

inline void fillPasswords(SettingsDialog* d, const QStringList& entries)
{
    edit(d, "oldPassEdit")->setText(entries.at(0));
    edit(d, "newPassEdit")->setText(entries.at(1));
    edit(d, "confirmPassEdit")->setText(entries.at(2));
}

// The rows as "name|remark|default|custom"; a row without cells as "-".
inline QStringList rows(SettingsDialog* d)
{
    QStringList out;
    TableWidget* t = table(d);
    for (int r = 0; r < t->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < 4; ++c) {
            if (t->item(r, c))
                cells.append(t->item(r, c)->text());
        }
        out.append(cells.isEmpty() ? QString("-") : cells.join('|'));
    }
    return out;
}

inline void selectRows(SettingsDialog* d, int first, int last)
{
    TableWidget* t = table(d);
    t->setRangeSelected(QTableWidgetSelectionRange(first, 0, last, 3), true);
}

inline QLineEdit* openEditor(SettingsDialog* d)
{
    return table(d)->viewport()->findChild<QLineEdit*>();
}

} // namespace settingstest
