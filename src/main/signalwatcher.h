#pragma once

#include <QObject>

#include <atomic>
#include <csignal>
#include <mutex>
#include <thread>

// Turns SIGINT, SIGTERM and SIGHUP (the terminal went away) into a Qt
// signal delivered by the event loop. A SIGHUP that the starter ignores
// (nohup) stays ignored. The handler only writes the signal number into a
// socket pair (all a signal handler may safely do); a thread of the
// watcher's reads it, so that a main thread held by something else (a
// page) cannot keep the process alive: if the program has not ended
// QuitBoundMs after the first signal, it is ended by that signal's default
// action. One instance at a time; the previous handlers come back when it
// goes.
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
    // The watcher's thread: hands each signal to the event loop, and ends
    // the process once the bound has passed.
    void _watch();
    // Past the bound: the signal's default action.
    void _end(int signo);

    bool valid = false;
    struct sigaction oldInt;
    struct sigaction oldTerm;
    struct sigaction oldHup;
    std::thread thread;
    // Written to end the thread.
    int stopFds[2] = {-1, -1};
    // Held while the process ends, so that the watcher does not go meanwhile.
    std::mutex ending;
    bool going = false;
    // The event loop took the quit.
    std::atomic<bool> taken{false};
};
