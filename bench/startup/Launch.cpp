// Starts PROGRAM and prints the CLOCK_REALTIME instant taken just before the
// spawn, so a child's own timestamp gives its start-up time without the
// shell's fork or a date(1) process in the sample.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdio>
#include <ctime>

extern char** environ;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PROGRAM [ARGS...]\n", argv[0]);
        return 2;
    }
    timespec start{};
    clock_gettime(CLOCK_REALTIME, &start);
    pid_t child = 0;
    const int error = posix_spawn(&child, argv[1], nullptr, nullptr, argv + 1, environ);
    if (error != 0) {
        std::fprintf(stderr, "cannot start %s (error %d)\n", argv[1], error);
        return 127;
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child) {
        std::perror("wait4");
        return 127;
    }
    const long long ns = static_cast<long long>(start.tv_sec) * 1'000'000'000LL + start.tv_nsec;
    std::printf("start_ns=%lld child_maxrss_kib=%ld\n", ns, usage.ru_maxrss);
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}
