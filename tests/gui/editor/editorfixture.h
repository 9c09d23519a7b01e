#pragma once

// A profile store in a temporary data location with the profile editor over
// it, profiles of each kind, file-chooser answers and the user's keys.

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include "gui/editor/profilesdialog.h"
#include "gui/editor/ui_profilesdialog.h"
#include "gui/testseams.h"
#include "gui/widgets/clickablelabel.h"
#include "gui/widgets/combobox.h"
#include "gui/widgets/lineedit.h"
#include "gui/widgets/pushbutton.h"
#include "profiles/connprofiles.h"
#include "testenv.h"

// The embedded style sheets and images, registered as the program does.
inline void initEditorResources()
{
    Q_INIT_RESOURCE(resources);
    Q_INIT_RESOURCE(zelstyle);
    QDir::setSearchPaths(QStringLiteral("rc"), {QStringLiteral(":/rc"), QStringLiteral(":/")});
}

// For the tests: resources, and message boxes that answer themselves, so
// that no test waits on a modal box.
inline void initEditorTests()
{
    initEditorResources();
    ORVO::seams::setMessageBoxAutoAnswer(QMessageBox::Ok);
}

namespace edtest {

using ORVO::ConnProfile;

// A self-signed certificate that QSslCertificate reads.
inline QByteArray realPem()
{
    return QByteArrayLiteral("-----BEGIN CERTIFICATE-----\n"
                             "MIIBijCCAS+gAwIBAgIUF2Me1r3i6YwygyRbSUdj4flCmHgwCgYIKoZIzj0EAwIw\n"
                             "GTEXMBUGA1UEAwwOZWRpdG9yLXRlc3QtY2EwIBcNMjYxMjA3MTMzOTU0WhgPMjEy\n"
                             "NjExMTMxMzM5NTRaMBkxFzAVBgNVBAMMDmVkaXRvci10ZXN0LWNhMFkwEwYHKoZI\n"
                             "zj0CAQYIKoZIzj0DAQcDQgAE3a0vOf0JDLWj6MJcjqp8XBI6WtffAvLm+Zw2IDo1\n"
                             "/yL0RaOMcQnF3ElKIn6u8dhVg04VzwL1gQbz2VohTENMD6NTMFEwHQYDVR0OBBYE\n"
                             "FHSbrmRN40YPMC5eYWs7TLby6UafMB8GA1UdIwQYMBaAFHSbrmRN40YPMC5eYWs7\n"
                             "TLby6UafMA8GA1UdEwEB/wQFMAMBAf8wCgYIKoZIzj0EAwIDSQAwRgIhAODeHA2g\n"
                             "9CL8q+0MJsLRv//inTOYWJr92yNQoperJmhpAiEAg0ghjw2gTas3hKme0chwQHAx\n"
                             "EDvJxqHfGvBB4nXpriM=\n"
                             "-----END CERTIFICATE-----\n");
}

// A manual OpenVPN profile that can be saved: user, password, CA file.
inline bool makeVpnManual(ConnProfile* p, const QString& user, const QString& dir)
{
    const QString ca = dir + QStringLiteral("/ca.pem");
    if (!QFileInfo::exists(ca) && !orvotest::writeFile(ca, realPem()))
        return false;
    p->getVpnConfig().setRemote(QStringLiteral("vpn.example.org"));
    p->getAuth().setUser(user);
    p->getAuth().setPass(QStringLiteral("secret"));
    return p->setCaPath(ca) == 0;
}

// An OpenVPN profile from one configuration file written into dir.
inline bool makeVpnFiles(ConnProfile* p, const QString& dir, bool manualAuth)
{
    const QString conf = dir + QStringLiteral("/") + p->getId() + QStringLiteral(".ovpn");
    p->setConfigMode(ConnProfile::FilesConfigMode);
    p->setManualAuth(manualAuth);
    return orvotest::writeFile(conf, "client\nremote vpn.example.org 1194 udp\n") &&
           p->setConfigFiles(QStringList{conf}, QString(), true) == 0;
}

inline void makeLs(ConnProfile* p, const QString& url)
{
    p->setType(ConnProfile::LsType);
    p->getAuth().setUrl(url);
    p->getAuth().setUser(QStringLiteral("bob"));
}

struct Rig
{
    orvotest::TestEnv env;
    ORVO::ConnProfiles store;
    ProfilesDialog dialog{nullptr, &store};
    // The choosers' answers in turn (then as cancelled), and the captions.
    QStringList answers;
    QList<QStringList> multiAnswers;
    QStringList captions;

    Rig()
    {
        dialog.setFileChoosers(
            [this](const QString& caption, const QString&) {
                captions << caption;
                return answers.isEmpty() ? QString() : answers.takeFirst();
            },
            [this](const QString& caption, const QString&) {
                captions << caption;
                return multiAnswers.isEmpty() ? QStringList() : multiAnswers.takeFirst();
            });
    }
    Ui_profilesDialog* f() const { return dialog.form(); }
    QString dirOf(const QString& id) const
    {
        return env.dataDir() + QStringLiteral("/profiles/") + id + QStringLiteral(".profile");
    }
    // Saved manual OpenVPN profiles, the user named as the id, read back.
    bool saved(const QStringList& ids)
    {
        QString failed;
        for (const QString& id : ids) {
            if (!makeVpnManual(store.add(id), id, env.root()))
                return false;
        }
        return store.save(failed) == 0 && store.load() == 0;
    }
    void open(const QString& id)
    {
        dialog.load(id, false);
        dialog.show();
    }
    QString currentRow() const
    {
        QListWidgetItem* item = f()->listWidget->currentItem();
        return item ? item->text() : QStringLiteral("<none>");
    }
    QStringList rows() const
    {
        QStringList texts;
        for (int row = 0; row < f()->listWidget->count(); ++row)
            texts << f()->listWidget->item(row)->text();
        return texts;
    }
};

// The user's ways into the form.
inline void typeInto(LineEdit* edit, const QString& text)
{
    edit->lineEdit()->selectAll();
    if (text.isEmpty())
        QTest::keyClick(edit->lineEdit(), Qt::Key_Backspace);
    for (const QChar c : text) {
        if (c.unicode() < 128)
            QTest::keyClick(edit->lineEdit(), c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, edit->lineEdit(), Qt::Key_unknown, QString(c),
                                Qt::NoModifier);
    }
}

inline void enter(LineEdit* edit, const QString& text)
{
    typeInto(edit, text);
    QTest::keyClick(edit->lineEdit(), Qt::Key_Return);
}

inline void choose(ComboBox* combo, int row)
{
    combo->comboBox()->setCurrentIndex(row);
    emit combo->comboBox()->activated(row);
}

inline void click(QWidget* widget)
{
    QTest::mouseClick(widget, Qt::LeftButton);
}

inline void click(LineEdit* edit)
{
    QTest::mouseClick(edit->lineEdit(), Qt::LeftButton);
}

} // namespace edtest
