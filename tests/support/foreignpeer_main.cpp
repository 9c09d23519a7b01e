// A loopback peer for tests that need one of another account: started by
// ForeignPeer under setpriv, so it links nothing but the C library.
//   orvo-foreign-peer connect <port> [line...]  sends each line, prints what comes back
//   orvo-foreign-peer listen <port>             prints "listening", then all it receives
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

sockaddr_in loopback(int port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<unsigned short>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

// Copies what the socket sends to standard output until it closes, or until
// it has been silent for timeoutMs.
void relay(int fd, int timeoutMs)
{
    char buffer[4096];
    pollfd p{fd, POLLIN, 0};
    while (poll(&p, 1, timeoutMs) > 0) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        fwrite(buffer, 1, size_t(n), stdout);
        fflush(stdout);
    }
}

int connectMode(int port, int argc, char** argv)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = loopback(port);
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) < 0) {
        perror("connect");
        return 2;
    }
    for (int i = 0; i < argc; ++i) {
        const std::string line = std::string(argv[i]) + "\n";
        if (write(fd, line.data(), line.size()) < 0)
            break;
    }
    relay(fd, 3000);
    close(fd);
    return 0;
}

int listenMode(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a = loopback(port);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) < 0 || listen(fd, 8) < 0) {
        perror("listen");
        return 2;
    }
    printf("listening\n");
    fflush(stdout);
    for (;;) {
        const int c = accept(fd, nullptr, nullptr);
        if (c < 0)
            return 1;
        relay(c, 60000);
        close(c);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: %s connect|listen <port> [line...]\n", argv[0]);
        return 2;
    }
    const int port = atoi(argv[2]);
    if (strcmp(argv[1], "connect") == 0)
        return connectMode(port, argc - 3, argv + 3);
    if (strcmp(argv[1], "listen") == 0)
        return listenMode(port);
    return 2;
}
