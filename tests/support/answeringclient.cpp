// Linked with the program's own main(): the client with every message box
// answered "OK" (or closed, where a box has no OK), for tests that start it
// as a child process and reach a box. The switch is set in code before
// main() runs; the shipped program has no way to turn it on.
// With ORVO_TEST_NO_PORT in its environment, the system refuses every port
// the process asks for (a filter of its system calls), so that no listener
// can listen at all; where the filter cannot be installed it exits with 77.
// With ORVO_TEST_LOOPING_PAGE=<ms>[ restarted] (GUI modes), a page's script
// loops for ever from a second after the start (and starts again every 10 ms
// when restarted), said on standard error, and a script is stopped after
// <ms> (0: the program's own limit). With <ms> no script, no page loops: the
// program itself is held that long, once, 4 s after its event loop starts.
#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <QTimer>
#include <QWebFrame>
#include <QWebPage>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>

#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>

#include "gui/testseams.h"
#include "plugin/config/scriptwatch.h"

namespace {

[[maybe_unused]] const bool answering = [] {
    ORVO::seams::setMessageBoxAutoAnswer(QMessageBox::Ok);
    return true;
}();

[[maybe_unused]] const bool noPort = [] {
    if (!std::getenv("ORVO_TEST_NO_PORT"))
        return false;
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_bind, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EACCES),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program{static_cast<unsigned short>(sizeof(filter) / sizeof(filter[0])), filter};
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
        prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) {
        std::perror("no port filter");
        std::exit(77);
    }
    return true;
}();

void loopingPage()
{
    if (!qEnvironmentVariableIsSet("ORVO_TEST_LOOPING_PAGE"))
        return;
    const QByteArray looping = qgetenv("ORVO_TEST_LOOPING_PAGE");
    if (looping.endsWith(" no script")) {
        QTimer::singleShot(0, qApp, [ms = looping.split(' ').first().toULong()] {
            QTimer::singleShot(4000, qApp, [ms] {
                QThread::msleep(ms);
                std::fputs("[Test] the program was held\n", stderr);
            });
        });
        return;
    }
    if (const int ms = looping.split(' ').first().toInt())
        ORVO::ScriptWatch::setLimitMs(ms);
    const QString script = looping.endsWith(" restarted")
                               ? QStringLiteral("setInterval(function() { for (;;); }, 10)")
                               : QStringLiteral("for (;;);");
    // Once the start-up road has set the web engine up.
    QTimer::singleShot(1000, qApp, [script] {
        std::fputs("[Test] a page loops\n", stderr);
        (new QWebPage(qApp))->mainFrame()->setHtml("<script>" + script + "</script>");
    });
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(loopingPage)
