// Crash trials: tsumugiya-cli is killed with SIGKILL at random moments while it restores, backs
// up or quick-saves a large save file. Every file it may have been writing must then hold one
// whole state, the old or the new, and the next uninterrupted run must still work.
//
// Environment: TSUMUGIYA_CRASH_TRIALS (default 200), TSUMUGIYA_CRASH_SEED (default fixed),
// TSUMUGIYA_CRASH_SECONDS (no trial starts after this many seconds; default 240).

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

extern char** environ;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr std::size_t kSaveSize = std::size_t{64} << 20;
constexpr int kStates = 4;  // distinct contents; the restore sources hold states 0..2
constexpr int kMissing = -1;
constexpr int kBroken = -2;  // present but no whole state: torn, truncated or foreign
constexpr auto kHangLimit = std::chrono::seconds(60);

std::uint64_t EnvOr(const char* name, std::uint64_t fallback) {
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 10) : fallback;
}

std::string StateText(int id) {
    return id == kMissing ? "missing" : id == kBroken ? "broken" : "state " + std::to_string(id);
}

// Restore source i holds state i.
constexpr std::string_view kSourcePrefix = "game.sav.save.source";
std::string SourceName(int state) {
    return std::string(kSourcePrefix) + std::to_string(state);
}

enum Command { kRestore, kBackup, kQuick };
constexpr const char* kCommandNames[] = {"restore", "backup", "quick"};

// What the files hold before a command, and what the command is asked to do.
struct Before {
    int save = kMissing, safety = kMissing, quick = kMissing;
    int source = kMissing;  // the backup a restore puts back
    std::string memo;       // names the file a backup makes
};

class Rig {
  public:
    explicit Rig(std::uint64_t seed) {
        // The program keeps its settings and backups beside its own binary.
        fs::create_directories(root_ / "app");
        fs::create_directories(root_ / "save");
        fs::copy_file(TSUMUGIYA_CLI, root_ / "app/tsumugiya-cli");
        std::mt19937_64 random(seed);
        for (auto& state : states_) {
            state.resize(kSaveSize);
            for (std::size_t i = 0; i < kSaveSize; i += 8) {
                const std::uint64_t word = random();
                std::memcpy(state.data() + i, &word, 8);
            }
        }
        std::string output;
        if (Run({"use", save_.string()}, std::nullopt, &output) != 0) {
            throw std::runtime_error("tsumugiya-cli use failed: " + output);
        }
        Reset();
    }

    ~Rig() {
        std::error_code ec;
        if (::testing::Test::HasFailure()) {
            std::printf("files kept in %s\n", root_.c_str());
        } else {
            fs::remove_all(root_, ec);
        }
    }

    // Puts every file back into a known state: at the start and after a failed trial.
    void Reset() {
        fs::remove_all(backups_);
        fs::create_directory(backups_);
        for (int i = 0; i < 3; ++i) {
            Write(backups_ / SourceName(i), i);
        }
        Write(save_, now_.save = 3);
        Write(safety_, now_.safety = 2);
        Write(quick_, now_.quick = 0);
    }

    // Makes the contents that the command could confuse distinct, and picks its arguments.
    Before Prepare(Command command, int trial) {
        const int other = now_.save == 3 ? 0 : 3;
        if (command == kRestore && now_.safety == now_.save) {
            Write(safety_, now_.safety = other);
        }
        if (command == kQuick && now_.quick == now_.save) {
            Write(quick_, now_.quick = other);
        }
        Before b = now_;
        for (int i = 0; i < 3 && b.source == kMissing; ++i) {
            b.source = i != b.save && i != b.safety ? i : kMissing;
        }
        b.memo = "t" + std::to_string(trial);
        return b;
    }

    static std::vector<std::string> Arguments(Command command, const Before& b) {
        if (command == kRestore) {
            return {"restore", SourceName(b.source), "--yes"};
        }
        return command == kBackup ? std::vector<std::string>{"backup", "--memo", b.memo}
                                  : std::vector<std::string>{"quick"};
    }

    // Checks every file after a command; done says that it ran to its end, so that only the
    // new states will do. Failures name the trial by context. Returns what the files hold.
    Before Check(Command command, const Before& b, bool done, const std::string& context) {
        auto expect = [&](const std::string& what, int actual, int oldState, int newState) {
            if (actual != newState && (done || actual != oldState)) {
                ADD_FAILURE() << context << what << " is " << StateText(actual) << ", not "
                              << (done ? "" : StateText(oldState) + " or ") << StateText(newState);
            }
        };
        now_.save = Identify(save_);
        now_.safety = Identify(safety_);
        now_.quick = Identify(quick_);
        expect("the save", now_.save, b.save, command == kRestore ? b.source : b.save);
        expect("the safety copy", now_.safety, b.safety, command == kRestore ? b.save : b.safety);
        if (command == kRestore && now_.save == b.source && now_.safety != b.save) {
            ADD_FAILURE() << context << "the save was replaced before it was put aside";
        }
        std::string listing;
        EXPECT_EQ(Run({"list"}, std::nullopt, &listing), 0)
            << context << "list failed: " << listing;
        int sourcesListed = 0;
        bool quickListed = false, newListed = false;
        std::istringstream lines(listing);
        for (std::string name; std::getline(lines, name);) {
            if (name.starts_with(".tsumugiya-")) {
                ADD_FAILURE() << context << "a temporary file is listed: " << name;
            } else if (name == quick_.filename().string()) {
                quickListed = true;
                expect("the quick backup", now_.quick, b.quick,
                       command == kQuick ? b.save : b.quick);
            } else if (name.starts_with(kSourcePrefix)) {
                // No command writes these: the one a restore reads is compared then, all
                // of them at the end.
                ++sourcesListed;
                if (command == kRestore && name == SourceName(b.source)) {
                    expect(name, Identify(backups_ / name), b.source, b.source);
                }
            } else if (fresh_.contains(name)) {
                expect(name, Identify(backups_ / name), fresh_[name], fresh_[name]);
            } else if (command == kBackup && name.ends_with("_" + b.memo)) {
                newListed = true;
                expect(name, Identify(backups_ / name), b.save, b.save);
                fresh_[name] = b.save;  // and so it must stay
            } else {
                ADD_FAILURE() << context << "unexpected backup " << name;
            }
        }
        EXPECT_EQ(sourcesListed, 3) << context << "a restore source is no longer listed";
        EXPECT_TRUE(quickListed) << context << "the quick backup is no longer listed";
        EXPECT_TRUE(newListed || !done || command != kBackup) << context << "no new backup";
        return now_;
    }

    void CheckSources() const {
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(Identify(backups_ / SourceName(i)), i) << SourceName(i) << " changed";
        }
    }

    // Entries other than the save, its safety copy, the quick backup and the restore sources:
    // backups made in this trial and temporary files.
    std::vector<fs::path> Extras() const {
        std::vector<fs::path> extras;
        for (const fs::path& folder : {backups_, save_.parent_path()}) {
            for (const auto& entry : fs::directory_iterator(folder)) {
                const fs::path& path = entry.path();
                if (path != save_ && path != safety_ && path != quick_ &&
                    !path.filename().string().starts_with(kSourcePrefix)) {
                    extras.push_back(path);
                }
            }
        }
        return extras;
    }

    // Removes the extras, to bound the disk used.
    void Tidy() {
        for (const fs::path& extra : Extras()) {
            fs::remove(extra);
        }
        fresh_.clear();
    }

    // Runs the command; with a delay, kills it then unless it has ended. Returns its exit
    // status, or 128 + the signal that ended it.
    int Run(const std::vector<std::string>& args, std::optional<Clock::duration> killAfter,
            std::string* output = nullptr) {
        const std::string exe = (root_ / "app/tsumugiya-cli").string();
        const std::string out = output ? (root_ / "output.txt").string() : "/dev/null";
        std::vector<char*> argv{const_cast<char*>(exe.c_str())};
        for (const auto& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        const auto start = Clock::now();
        pid_t pid = -1;
        const int err = ::posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (err != 0) {
            throw std::runtime_error("cannot start " + exe + ": " + std::strerror(err));
        }
        const auto deadline = start + killAfter.value_or(kHangLimit);
        int status = 0;
        while (::waitpid(pid, &status, WNOHANG) == 0) {
            if (Clock::now() >= deadline) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                break;
            }
            std::this_thread::sleep_until(
                std::min(deadline, Clock::now() + std::chrono::microseconds(200)));
        }
        if (output) {
            std::ifstream in(out);
            output->assign(std::istreambuf_iterator<char>(in), {});
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

  private:
    // Which whole state the file holds, compared byte for byte.
    int Identify(const fs::path& file) const {
        const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            return errno == ENOENT ? kMissing : kBroken;
        }
        struct stat st {};
        int found = kBroken;
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
            static_cast<std::size_t>(st.st_size) == kSaveSize) {
            void* map = ::mmap(nullptr, kSaveSize, PROT_READ, MAP_SHARED | MAP_POPULATE, fd, 0);
            for (int i = 0; map != MAP_FAILED && i < kStates && found == kBroken; ++i) {
                found = std::memcmp(map, states_[i].data(), kSaveSize) == 0 ? i : kBroken;
            }
            if (map != MAP_FAILED) {
                ::munmap(map, kSaveSize);
            }
        }
        ::close(fd);
        return found;
    }

    // A new file each time: the program may have hard-linked the old one to another name.
    void Write(const fs::path& file, int state) const {
        fs::remove(file);
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        if (!out.write(states_[state].data(), kSaveSize).flush()) {
            throw std::runtime_error("cannot write " + file.string());
        }
    }

    static fs::path MakeRoot() {
        std::string root = (fs::temp_directory_path() / "tsumugiya-crash-XXXXXX").string();
        if (::mkdtemp(root.data()) == nullptr) {
            throw std::runtime_error("cannot create " + root);
        }
        return root;
    }

    fs::path root_ = MakeRoot();
    fs::path backups_ = root_ / "app/backup";
    fs::path save_ = root_ / "save/game.sav";
    fs::path safety_ = root_ / "save/game.sav.s";
    fs::path quick_ = backups_ / "game.sav.save.temp";
    std::vector<char> states_[kStates];
    Before now_;                        // what the files held at the last check
    std::map<std::string, int> fresh_;  // backups made in this trial -> their state
};

TEST(CrashTrials, KilledCommandsLeaveWholeFiles) {
    using ull = unsigned long long;
    const ull trials = EnvOr("TSUMUGIYA_CRASH_TRIALS", 200);
    const ull seed = EnvOr("TSUMUGIYA_CRASH_SEED", 20261206);
    const auto timeLimit = std::chrono::seconds(EnvOr("TSUMUGIYA_CRASH_SECONDS", 240));
    const auto start = Clock::now();
    const auto& result = *::testing::UnitTest::GetInstance()->current_test_info()->result();
    Rig rig(seed);
    std::mt19937_64 random(seed);
    Clock::duration measured[3] = {};
    ull ran = 0, landed = 0, failed = 0, tempsLeft = 0;

    // The first run of each command is not killed: it must work, and its duration bounds the
    // kill delays. Each later uninterrupted run of the command renews that bound.
    for (ull i = 0; i < trials + 3; ++i) {
        const bool calibrating = i < 3;
        if (!calibrating && Clock::now() - start > timeLimit) {
            std::printf("time limit reached after %llu of %llu trials\n", ran, trials);
            break;
        }
        const auto command = static_cast<Command>(i % 3);
        Before before = rig.Prepare(command, static_cast<int>(i));
        std::string context = "trial " + std::to_string(i) + " (seed " + std::to_string(seed) +
                              ", " + kCommandNames[command];
        const int failuresBefore = result.total_part_count();
        bool killed = false;
        if (!calibrating) {
            std::uniform_int_distribution<Clock::rep> delays(0, measured[command].count() * 6 / 5);
            const Clock::duration delay(delays(random));
            const int status = rig.Run(Rig::Arguments(command, before), delay);
            killed = status == 128 + SIGKILL;
            context += ", kill at " + std::to_string(delay.count() / 1000) + " us";
            EXPECT_TRUE(killed || status == 0) << context << "): exit status " << status;
            for (const fs::path& extra : killed ? rig.Extras() : std::vector<fs::path>{}) {
                tempsLeft += extra.filename().string().starts_with(".tsumugiya-") ? 1 : 0;
            }
            Before left = rig.Check(command, before, !killed, context + "): ");
            // The next run starts from whatever the kill left, and must do its whole work.
            left.source = before.source;
            left.memo = before.memo + "again";
            before = left;
            ++ran;
            landed += killed ? 1 : 0;
        }
        if (calibrating || killed) {
            const auto runStart = Clock::now();
            std::string output;
            EXPECT_EQ(rig.Run(Rig::Arguments(command, before), std::nullopt, &output), 0)
                << context << "): the next run failed: " << output;
            measured[command] = Clock::now() - runStart;
            rig.Check(command, before, true,
                      context + (killed ? "), after the next run: " : "): "));
        }
        rig.Tidy();
        if (result.total_part_count() != failuresBefore) {
            ++failed;
            rig.Reset();
        }
    }
    const int failuresBefore = result.total_part_count();
    rig.CheckSources();
    failed += result.total_part_count() != failuresBefore ? 1 : 0;
    std::printf("crash trials: %llu trials, %llu kills landed mid-command, %llu failures\n", ran,
                landed, failed);
    std::printf("  seed %llu, %zu MiB save, %.1f s, %llu temporary files left by killed runs\n",
                seed, kSaveSize >> 20, std::chrono::duration<double>(Clock::now() - start).count(),
                tempsLeft);
    // Kills that all miss the command would test nothing.
    EXPECT_GE(landed * 2, ran) << "too few kills landed while a command was running";
}

}  // namespace
