// What a command costs as a fresh process: runs it RUNS times (output to /dev/null) and prints
// the medians of its CPU time (user + system, from the kernel's account of the child), its wall
// time and its peak memory (RSS), and the least CPU time. "{alt}" in an argument becomes "1" and
// "10" in turn, so a write of a value changes the file (and the line's length) at every run.
//   process_cost RUNS LABEL COMMAND [ARGUMENT...]
// Prints: LABEL cpu-median-ms cpu-least-ms wall-median-ms peak-median-KiB exit-code
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace {

double ms(const timeval &t)
{
    return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3;
}

double now()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fputs("usage: process_cost RUNS LABEL COMMAND [ARGUMENT...]\n", stderr);
        return 64;
    }
    const int runs = std::max(1, std::atoi(argv[1]));
    std::vector<double> cpu, wall, peak;
    int code = 0;
    for (int run = 0; run < runs; ++run) {
        std::vector<std::string> args(argv + 3, argv + argc);
        for (std::string &a : args)
            for (std::size_t at; (at = a.find("{alt}")) != std::string::npos;)
                a.replace(at, 5, run % 2 ? "10" : "1");
        std::vector<char *> list;
        for (std::string &a : args)
            list.push_back(a.data());
        list.push_back(nullptr);
        const double start = now();
        const pid_t child = fork();
        if (child == 0) {
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            execvp(list[0], list.data());
            _exit(127);
        }
        int status = 0;
        rusage usage{};
        if (child < 0 || wait4(child, &status, 0, &usage) != child) {
            std::fprintf(stderr, "cannot run %s: %s\n", list[0], std::strerror(errno));
            return 2;
        }
        wall.push_back(now() - start);
        cpu.push_back(ms(usage.ru_utime) + ms(usage.ru_stime));
        peak.push_back(double(usage.ru_maxrss));
        code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::printf("%s %.1f %.1f %.1f %.0f %d\n", argv[2], median(cpu),
                *std::min_element(cpu.begin(), cpu.end()), median(wall), median(peak), code);
    return 0;
}
