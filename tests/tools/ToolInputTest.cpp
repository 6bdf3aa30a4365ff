// The command-line tools against inputs a hostile user would give them: each
// ends with a message and its exit status, within bounded time and memory.
#include "files/FilesTestSupport.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace {

struct ToolRun {
    int exitStatus = -1; // -1: killed or crashed
    std::string out, err;
    long maxRssKb = 0;
};

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class ToolInput : public TempFolderTest {
protected:
    // Runs a tool with its output in files; killed after 60 s.
    ToolRun run(const std::string& tool, const std::vector<std::string>& args) {
        const auto out = dir_ / "stdout", err = dir_ / "stderr";
        std::vector<std::string> argv{tool};
        argv.insert(argv.end(), args.begin(), args.end());
        const pid_t pid = fork();
        if (pid == 0) {
            const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(o, 1);
            dup2(e, 2);
            std::vector<char*> raw;
            for (auto& a : argv)
                raw.push_back(a.data());
            raw.push_back(nullptr);
            execv(raw[0], raw.data());
            _exit(127);
        }
        ToolRun r;
        int status = 0;
        rusage usage{};
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (wait4(pid, &status, WNOHANG, &usage) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(pid, SIGKILL);
                wait4(pid, &status, 0, &usage);
                ADD_FAILURE() << tool << " did not end";
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        r.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.maxRssKb = usage.ru_maxrss;
        r.out = slurp(out);
        r.err = slurp(err);
        return r;
    }

    void SetUp() override {
        TempFolderTest::SetUp();
        // a file larger than any input can be, and sparse: nothing to read in it
        const int fd = ::open((dir_ / "huge").c_str(), O_CREAT | O_WRONLY, 0600);
        ASSERT_EQ(ftruncate(fd, off_t{2} << 30), 0);
        ::close(fd);
        writeBytes(dir_ / "empty", {});
        ASSERT_EQ(mkfifo((dir_ / "fifo").c_str(), 0600), 0);
    }

    // Far below the 2 GiB a whole read of the huge file would take.
    static constexpr long kMemoryBoundKb = 300 * 1024;
};

struct HostileRow {
    std::string input; // in the test's folder unless absolute
    std::string message;
};

const HostileRow kHostile[] = {
    {".", "is not a regular file"},
    {"/dev/zero", "/dev/zero is not a regular file"},
    {"fifo", "is not a regular file"},
    {"missing", "No such file or directory"},
    {"huge", "2147483648"},
    {"empty", ""},
};

std::string inputPath(const std::filesystem::path& dir, const std::string& input) {
    return input[0] == '/' ? input : (dir / input).string();
}

TEST_F(ToolInput, DecoderRefusesEachHostileInput) {
    for (const HostileRow& row : kHostile) {
        const std::string path = inputPath(dir_, row.input);
        const struct {
            std::vector<std::string> args;
            int status;
        } commands[] = {
            {{"image", path}, 2},
            {{"events", "--variant", "garage", path}, row.input == "empty" ? 0 : 2},
            {{"log", path}, row.input == "empty" ? 4 : 2},
        };
        for (const auto& c : commands) {
            SCOPED_TRACE(c.args[0] + " " + row.input);
            const ToolRun r = run(VELMORA_DECODE_PATH, c.args);
            EXPECT_EQ(r.exitStatus, c.status) << r.err;
            EXPECT_EQ(r.err.empty(), c.status == 0);
            EXPECT_NE(r.err.find(row.message), std::string::npos) << r.err;
            EXPECT_LT(r.maxRssKb, kMemoryBoundKb);
        }
    }
}

TEST_F(ToolInput, EmptyInputsSayWhy) {
    const std::string path = (dir_ / "empty").string();
    EXPECT_NE(run(VELMORA_DECODE_PATH, {"image", path}).err.find("holds 0 bytes"),
              std::string::npos);
    EXPECT_EQ(run(VELMORA_DECODE_PATH, {"log", path}).err, "Ошибка чтения данных.\n");
    const ToolRun events = run(VELMORA_DECODE_PATH, {"events", "--variant", "main", path});
    EXPECT_EQ(events.out, "");
    EXPECT_EQ(events.err, "");
}

TEST_F(ToolInput, EventsReadsOnlyItsRangeOfALargeFile) {
    const std::string path = (dir_ / "huge").string();
    const ToolRun r = run(VELMORA_DECODE_PATH, {"events", "--variant", "main", "--start",
                                                "1000000000", "--end", "1000000016", path});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 4);
    EXPECT_LT(r.maxRssKb, kMemoryBoundKb);
    const ToolRun whole = run(VELMORA_DECODE_PATH, {"events", "--variant", "main", path});
    EXPECT_EQ(whole.exitStatus, 2);
    EXPECT_NE(whole.err.find("more than the 8388608 a dump can have"), std::string::npos);
}

TEST_F(ToolInput, SimulatorLoadRefusesEachHostileInput) {
    setenv("ONEWIRE_SIM_DIR", dir_.c_str(), 1);
    ASSERT_EQ(run(ONEWIRE_SIM_PATH, {"new", "t"}).exitStatus, 0);
    for (const HostileRow& row : kHostile) {
        SCOPED_TRACE(row.input);
        const ToolRun r = run(ONEWIRE_SIM_PATH, {"load", "t", inputPath(dir_, row.input)});
        EXPECT_EQ(r.exitStatus, 1) << r.err;
        EXPECT_NE(r.err.find(row.input == "empty" ? "holds 0 bytes" : row.message),
                  std::string::npos)
            << r.err;
        EXPECT_LT(r.maxRssKb, kMemoryBoundKb);
    }
}

TEST_F(ToolInput, SavedLogReadsBackAsTheDecodedList) {
    const std::string dump = std::string(TEST_DATA_DIR) + "/garage-dump.bin";
    const std::string image = std::string(TEST_DATA_DIR) + "/main-image.bin";
    const std::string log = (dir_ / "saved.log").string();
    const std::vector<std::vector<std::string>> commands = {
        {"events", "--variant", "garage", "--start", "8", "--json", "--save-log", log, dump},
        {"image", "--now", "2024-01-01 12:00:00", "--json", "--save-log", log, image},
    };
    for (const auto& args : commands) {
        SCOPED_TRACE(args[0]);
        const ToolRun decoded = run(VELMORA_DECODE_PATH, args);
        ASSERT_EQ(decoded.exitStatus, 0) << decoded.err;
        ASSERT_FALSE(decoded.out.empty());
        const ToolRun opened = run(VELMORA_DECODE_PATH, {"log", "--json", log});
        EXPECT_EQ(opened.exitStatus, 0) << opened.err;
        EXPECT_EQ(opened.out, decoded.out);
    }
    EXPECT_EQ(folderContents(),
              (std::vector<std::string>{"empty", "fifo", "huge", "saved.log", "stderr", "stdout"}));
}

TEST_F(ToolInput, SaveLogThatCannotBeWrittenSaysSo) {
    const std::string dump = std::string(TEST_DATA_DIR) + "/garage-dump.bin";
    const struct {
        std::string out;
        std::string message;
    } rows[] = {
        {dir_.string(), "Ошибка открытия файла для сохранения."},
        {(dir_ / "missing" / "x.log").string(), "Ошибка открытия файла для сохранения."},
    };
    for (const auto& row : rows) {
        const ToolRun r = run(VELMORA_DECODE_PATH,
                              {"events", "--variant", "garage", "--save-log", row.out, dump});
        EXPECT_EQ(r.exitStatus, 5);
        EXPECT_NE(r.err.find(row.message), std::string::npos) << r.err;
    }
}

} // namespace
