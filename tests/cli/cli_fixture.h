// What the end-to-end tests share: running the real zentrel binary (exit code, stdout, stderr),
// starting it as a child to signal or limit, and the data folders they read.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "../core/fixture.h"

namespace zentrel::test {

struct CliResult {
    int code = -1;
    std::string out;
    std::string err;
};

/// The standard output of a shell command.
inline std::string shellOutput(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
        ::pclose(pipe);
    }
    return out;
}

/// Runs `zentrel args` through the shell; `prefix` goes before the program ("timeout 20 ").
inline CliResult runCli(const std::string& args, const std::string& prefix = "") {
    static int counter = 0;
    const std::string errFile = "/tmp/zentrel-cli-err-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    CliResult r;
    const std::string command = prefix + ZENTREL_BIN + " " + args + " 2>" + errFile + "; echo \"<exit=$?>\"";
    r.out = shellOutput(command);
    const size_t mark = r.out.rfind("<exit=");
    if (mark != std::string::npos) {
        r.code = std::atoi(r.out.c_str() + mark + 6);
        r.out.erase(mark);
    }
    r.err = readFile(errFile);
    std::remove(errFile.c_str());
    return r;
}

/// Starts `zentrel args` as a child with stdout to /dev/null and stderr to `errFile` (or
/// /dev/null); `inChild` runs in the child before the program (limits, environment).
inline pid_t startCli(const std::vector<std::string>& args, const std::function<void()>& inChild = {},
                      const std::string& errFile = "/dev/null") {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    std::freopen("/dev/null", "w", stdout);
    std::freopen(errFile.c_str(), "w", stderr);
    if (inChild) inChild();
    std::vector<char*> argv{const_cast<char*>(ZENTREL_BIN)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(ZENTREL_BIN, argv.data());
    ::_exit(127);
}

/// The wait status of a child.
inline int waitFor(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

/// Whether the data folder beside the program (terrain, land mask, stations) was built.
inline bool programDataBuilt() {
    const std::filesystem::path bin = std::filesystem::path(ZENTREL_BIN).parent_path();
    return std::filesystem::exists(bin / "ZentrelData" / "10k8b.raw") && std::filesystem::exists(bin / "rastelldata");
}

/// A data folder of ringOfEightStations() around 10 E, 45 N, written once per test program;
/// tests that break its files make their own.
inline const TempFolder& ringFolder() {
    static const TempFolder folder("cli-ring");
    static const bool written = (writeDataFolder(folder, 10, 45, ringOfEightStations()), true);
    (void)written;
    return folder;
}

/// The CLIMAT sample beside the checkout imported once per test program, into a database
/// (folder "db") and a table ("table.csv"); nullptr when the sample is not there.
inline const TempFolder* climatSample() {
    static const std::string shared = std::string(ZENTREL_SHARED_DATA) + "/climat";
    static const TempFolder folder("cli-climat-sample");
    static const bool there = std::filesystem::exists(shared + "/CLIMAT_RAW_2003-2021.tgz");
    static const int imported = there ? runCli("data import-climat --in " + shared + " --stations " + shared +
                                               "/stations_list_CLIMAT_data.txt --out " + folder.file("db") + " --csv " +
                                               folder.file("table.csv")).code : -1;
    (void)imported;
    return there ? &folder : nullptr;
}

/// Sets an environment variable (or removes it when value is empty) for the child processes
/// of one test and restores it afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value.empty()) ::unsetenv(name);
        else ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_) ::setenv(name_, old_->c_str(), 1);
        else ::unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

}  // namespace zentrel::test
