// Runs the real zentrel binary and captures its exit code, stdout and stderr.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

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

}  // namespace zentrel::test
