#pragma once

#include <QObject>

#include <csignal>

class QSocketNotifier;

// Turns SIGINT, SIGTERM and SIGHUP (the terminal went away) into a Qt
// signal delivered by the event loop. A SIGHUP that the starter ignores
// (nohup) stays ignored. The handler only writes the signal number into a
// socket pair (all a signal handler may safely do); the notifier reads it
// on the GUI thread. One instance at a time; the previous handlers come
// back when it goes.
class SignalWatcher : public QObject
{
    Q_OBJECT
public:
    explicit SignalWatcher(QObject* parent = nullptr);
    ~SignalWatcher() override;

    bool isValid() const { return valid; }

signals:
    void quitRequested();

private slots:
    void _readSignal();

private:
    static void handler(int signo);

    bool valid = false;
    QSocketNotifier* notifier = nullptr;
    struct sigaction oldInt;
    struct sigaction oldTerm;
    struct sigaction oldHup;
};
