#pragma once

#include <QObject>

#include <csignal>
#include <thread>

// Turns SIGINT, SIGTERM and SIGHUP (the terminal went away) into a Qt
// signal delivered by the event loop. A SIGHUP that the starter ignores
// (nohup) stays ignored. The handler only writes the signal number into a
// socket pair (all a signal handler may safely do); a thread of the
// watcher's reads it, so that a main thread held by something else (a
// page) cannot keep the process alive: if the program has not ended
// QuitBoundMs after the first signal, it is ended by that signal's default
// action. That bound holds until the process ends: once a signal came, the
// thread outlives the watcher, and whatever goes after it (the windows'
// plugins, the application object) cannot hold the process either. One
// instance at a time; the previous handlers come back when it goes.
class SignalWatcher : public QObject
{
    Q_OBJECT
public:
    // A quit ends within its half second, also after a page's script that
    // the web engine stops after 3 s: the sign-out goes out then. Past this
    // bound the main thread is held for longer, and the process ends without
    // it, within the 5 s in which a signal must end it.
    static const int QuitBoundMs = 4500;

    explicit SignalWatcher(QObject* parent = nullptr);
    ~SignalWatcher() override;

    bool isValid() const { return valid; }

signals:
    void quitRequested();

private:
    static void handler(int signo);
    // The watcher's thread: hands each signal to the event loop while the
    // watcher lasts, and ends the process once the bound has passed.
    static void _watch();
    // Past the bound: the signal's default action.
    static void _end(int signo);

    bool valid = false;
    struct sigaction oldInt;
    struct sigaction oldTerm;
    struct sigaction oldHup;
    std::thread thread;
};
