#pragma once

#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdlib>
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

} // namespace benchkit
