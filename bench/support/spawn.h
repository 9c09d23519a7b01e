#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include <cstdlib>
#include <string>
#include <vector>

namespace benchkit {

// Starts program with args; its standard error comes back through *errFd
// (read by the caller, who times the lines it waits for), its standard
// output goes to /dev/null.
inline pid_t spawn(const char* program, const std::vector<const char*>& args, int* errFd)
{
    int fds[2];
    if (pipe(fds) != 0)
        std::abort();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDERR_FILENO);
        const int devnull = ::open("/dev/null", O_WRONLY);
        dup2(devnull, STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program));
        for (const char* a : args)
            argv.push_back(const_cast<char*>(a));
        argv.push_back(nullptr);
        execv(program, argv.data());
        _exit(127);
    }
    close(fds[1]);
    *errFd = fds[0];
    return pid;
}

// Empties a non-blocking pipe; false once the program closed it.
inline bool drain(int fd)
{
    char buf[65536];
    for (;;) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n > 0)
            continue;
        return n < 0 && (errno == EAGAIN || errno == EINTR);
    }
}

// Ends a program started by spawn (SIGTERM, SIGKILL after 10 s), reading
// its standard error meanwhile so that it never blocks on a full pipe, and
// closes the pipe.
inline void endProgram(pid_t pid, int fd)
{
    kill(pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (waitpid(pid, nullptr, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            break;
        }
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 20) > 0)
            drain(fd);
    }
    close(fd);
}

// Gives the client programs started from here per-user locations of their
// own in a new folder under /tmp (HOME, data, settings) and the service
// address; returns the folder.
inline std::string makeClientHome(const char* tag, const char* serviceAddr)
{
    std::string dir = std::string("/tmp/") + tag + ".XXXXXX";
    if (!mkdtemp(&dir[0]))
        std::abort();
    setenv("HOME", dir.c_str(), 1);
    setenv("XDG_DATA_HOME", (dir + "/data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
    setenv("VELCOR_SERVICE_ADDR", serviceAddr, 1);
    unsetenv("QT_LOGGING_RULES");
    return dir;
}

} // namespace benchkit
