// Runs the real zentrel binary and captures its exit code, stdout and stderr.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace zentrel::test {

struct CliResult {
    int code = -1;
    std::string out;
    std::string err;
};

/// `prefix` goes before the program ("timeout 20 ").
inline CliResult runCli(const std::string& args, const std::string& prefix = "") {
    static int counter = 0;
    const std::string errFile = "/tmp/zentrel-cli-err-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    const std::string command = prefix + std::string(ZENTREL_BIN) + " " + args + " 2>" + errFile;
    CliResult r;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return r;
    std::array<char, 4096> buffer;
    size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) r.out.append(buffer.data(), n);
    const int status = ::pclose(pipe);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(errFile);
    std::stringstream ss;
    ss << in.rdbuf();
    r.err = ss.str();
    std::remove(errFile.c_str());
    return r;
}

}  // namespace zentrel::test
