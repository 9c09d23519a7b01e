#pragma once

// Profiles of each kind and file-chooser answers for the profile editor's
// tests and screenshots.

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QList>
#include <QListWidget>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QtTest>

#include "gui/editor/profilesdialog.h"
#include "gui/editor/ui_profilesdialog.h"
#include "gui/widgets/clickablelabel.h"
#include "gui/widgets/combobox.h"
#include "gui/widgets/lineedit.h"
#include "gui/widgets/pushbutton.h"
#include "profiles/connprofile.h"
#include "profiles/connprofiles.h"
#include "testenv.h"

// The embedded style sheets and images, as the program registers them.
inline void initEditorResources()
{
    Q_INIT_RESOURCE(resources);
    Q_INIT_RESOURCE(zelstyle);
    QDir::setSearchPaths(QStringLiteral("rc"), {QStringLiteral(":/rc"), QStringLiteral(":/")});
}

namespace edtest {

using ORVO::ConnProfile;

// Answers the dialog's file choosers from queues, recording each question;
// an empty queue answers as a cancelled chooser.
struct Choosers
{
    QStringList singleAnswers;
    QList<QStringList> multipleAnswers;
    QStringList captions;
    QStringList filters;

    void install(ProfilesDialog& dialog)
    {
        dialog.setFileChoosers(
            [this](const QString& caption, const QString& filter) {
                captions << caption;
                filters << filter;
                return singleAnswers.isEmpty() ? QString() : singleAnswers.takeFirst();
            },
            [this](const QString& caption, const QString& filter) {
                captions << caption;
                filters << filter;
                return multipleAnswers.isEmpty() ? QStringList() : multipleAnswers.takeFirst();
            });
    }
};

// A PEM file that QSslCertificate reads: a self-signed certificate.
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

// A manual OpenVPN profile with a user name, a password and a CA file
// (written into dir), so that it can be saved.
inline bool makeVpnManual(ConnProfile* p, const QString& remote, const QString& user,
                          const QString& dir)
{
    const QString ca = dir + QStringLiteral("/ca.pem");
    if (!QFileInfo::exists(ca) && !orvotest::writeFile(ca, realPem()))
        return false;
    p->getVpnConfig().setRemote(remote);
    p->getVpnConfig().setRemotePort(1194);
    p->getAuth().setUser(user);
    p->getAuth().setPass(QStringLiteral("secret"));
    return p->setCaPath(ca) == 0;
}

// An OpenVPN profile from files: dir receives one configuration file.
inline bool makeVpnFiles(ConnProfile* p, const QString& dir, bool manualAuth)
{
    const QString conf = dir + QStringLiteral("/") + p->getId() + QStringLiteral(".ovpn");
    if (!orvotest::writeFile(conf, "client\ndev tun\nremote vpn.example.org 1194 udp\n"))
        return false;
    p->setConfigMode(ConnProfile::FilesConfigMode);
    p->setManualAuth(manualAuth);
    return p->setConfigFiles(QStringList{conf}, QString(), true) == 0;
}

inline void makeLs(ConnProfile* p, const QString& url, const QString& user)
{
    p->setType(ConnProfile::LsType);
    p->getAuth().setUrl(url);
    p->getAuth().setUser(user);
}

// A profile store in a temporary data location with the dialog over it.
struct Rig
{
    orvotest::TestEnv env;
    ORVO::ConnProfiles store;
    ProfilesDialog dialog{nullptr, &store};
    Choosers choosers;

    Rig() { choosers.install(dialog); }
    Ui_profilesDialog* f() const { return dialog.form(); }
    QString root() const { return env.dataDir() + QStringLiteral("/profiles"); }
    QString dirOf(const QString& id) const
    {
        return root() + QStringLiteral("/") + id + ".profile";
    }
    // Writes the set and starts over from what is on disk.
    bool saveAndReload()
    {
        QString failed;
        return store.save(failed) == 0 && store.load() == 0;
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

inline void pressReturn(QWidget* widget)
{
    QTest::keyClick(widget, Qt::Key_Return);
}

inline void enter(LineEdit* edit, const QString& text)
{
    typeInto(edit, text);
    pressReturn(edit->lineEdit());
}

inline void choose(ComboBox* combo, int row)
{
    combo->comboBox()->setCurrentIndex(row);
    emit combo->comboBox()->activated(row);
}

inline void click(LineEdit* edit)
{
    QTest::mouseClick(edit->lineEdit(), Qt::LeftButton);
}

} // namespace edtest
