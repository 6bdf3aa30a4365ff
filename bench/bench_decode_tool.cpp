// velmora-decode on dumps of 4 and 8 MiB against decode_floor, the least a
// streaming printer of the same output does (both beside this program). Each
// run is a process of its own: its wall time and peak memory (the best of
// three), and its output compared byte for byte with the floor's.
//   bench_decode_tool [MiB ...]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Run {
    double seconds = 1e300;
    double cpu = 1e300; // user and system
    long peakKb = 0;
    bool ok = true;
};

std::string folderOf(const char* self) {
    const std::string path = self;
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

Run runOnce(const std::vector<std::string>& args, const std::string& out) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, 1);
        close(fd);
        std::vector<char*> argv;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    Run r;
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.peakKb = usage.ru_maxrss;
    r.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
            static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return r;
}

Run best(const std::vector<std::string>& args, const std::string& out) {
    Run b;
    for (int i = 0; i < 3; ++i) {
        const Run r = runOnce(args, out);
        b.ok = b.ok && r.ok;
        b.seconds = std::min(b.seconds, r.seconds);
        b.cpu = std::min(b.cpu, r.cpu);
        b.peakKb = std::max(b.peakKb, r.peakKb);
    }
    return b;
}

std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

int main(int argc, char** argv) {
    const std::string bin = folderOf(argv[0]);
    const std::string tool = bin + "/velmora-decode";
    const std::string floor = bin + "/decode_floor";
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty())
        sizes = {4, 8};
    char folder[] = "/tmp/velmora-decode-bench-XXXXXX";
    if (!mkdtemp(folder))
        return 1;
    const std::string dir = folder;
    const std::string now = "2024-01-01 12:00:00";
    int failures = 0;
    for (const int mib : sizes) {
        const std::string dump = dir + "/dump.bin";
        {
            std::mt19937 rng(1234);
            std::vector<char> bytes(static_cast<size_t>(mib) << 20);
            for (char& b : bytes)
                b = static_cast<char>(rng());
            std::ofstream(dump, std::ios::binary)
                .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        }
        const std::string log = dir + "/dump.log";
        runOnce({tool, "events", "--variant", "garage", "--now", now, "--save-log", log, dump},
                dir + "/ignored");
        struct Case {
            const char* name;
            std::vector<std::string> args; // after the program
        };
        const std::vector<Case> cases = {
            {"events garage", {"events", "--variant", "garage", "--now", now, dump}},
            {"events main", {"events", "--variant", "main", "--now", now, dump}},
            {"events garage --json",
             {"events", "--variant", "garage", "--now", now, "--json", dump}},
            {"log", {"log", log}},
            {"events garage --save-log",
             {"events", "--variant", "garage", "--now", now, "--save-log", dir + "/again.log",
              dump}},
        };
        for (const Case& c : cases) {
            std::vector<std::string> t = {tool}, f = {floor};
            t.insert(t.end(), c.args.begin(), c.args.end());
            f.insert(f.end(), c.args.begin(), c.args.end());
            const Run rt = best(t, dir + "/tool.out");
            const Run rf = best(f, dir + "/floor.out");
            const bool same = contents(dir + "/tool.out") == contents(dir + "/floor.out");
            std::printf("%d MiB %-26s tool %6.3f s (CPU %6.3f) %4ld MB   floor %6.3f s (CPU %6.3f) "
                        "%4ld MB   CPU %.2fx%s\n",
                        mib, c.name, rt.seconds, rt.cpu, rt.peakKb / 1024, rf.seconds, rf.cpu,
                        rf.peakKb / 1024, rt.cpu / rf.cpu,
                        !rt.ok || !rf.ok ? "  FAILED"
                        : same           ? ""
                                         : "  OUTPUT DIFFERS");
            std::fflush(stdout);
            failures += !rt.ok || !rf.ok || !same;
        }
        for (const char* name :
             {"/dump.bin", "/dump.log", "/again.log", "/tool.out", "/floor.out", "/ignored"})
            std::remove((dir + name).c_str());
    }
    rmdir(folder);
    return failures == 0 ? 0 : 1;
}
