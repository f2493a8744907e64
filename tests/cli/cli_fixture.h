// What the end-to-end tests share: running the real zentrel binary (exit code, stdout, stderr),
// starting it as a child to signal or limit, and the data folders they read.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "run_cli.h"

namespace zentrel::test {

/// runCli for a run that must succeed: a failure names the command and what it said.
inline CliResult runCliOk(const std::string& args, const std::string& prefix = "") {
    CliResult r = runCli(args, prefix);
    EXPECT_EQ(r.code, 0) << args << "\n" << r.err;
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
    [[maybe_unused]] static const bool written = (writeDataFolder(folder, 10, 45, ringOfEightStations()), true);
    return folder;
}

/// The CLIMAT sample beside the checkout imported once per test program, into a database
/// (folder "db") and a table ("table.csv"); nullptr when the sample is not there.
inline const TempFolder* climatSample() {
    static const std::string shared = std::string(ZENTREL_SHARED_DATA) + "/climat";
    static const TempFolder folder("cli-climat-sample");
    static const bool there = std::filesystem::exists(shared + "/CLIMAT_RAW_2003-2021.tgz");
    [[maybe_unused]] static const int imported = there ? runCli("data import-climat --in " + shared + " --stations " + shared +
                                               "/stations_list_CLIMAT_data.txt --out " + folder.file("db") + " --csv " +
                                               folder.file("table.csv")).code : -1;
    return there ? &folder : nullptr;
}

}  // namespace zentrel::test
