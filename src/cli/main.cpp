// Entry point of the zentrel command line: parses the subcommand and runs it.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <exception>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "cli/commands.h"
#include "data/folder_report.h"
#include "error.h"
#include "notices.h"

namespace {
std::string programFolder(const char* argv0) {
    std::error_code ec;
    auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) self = std::filesystem::absolute(argv0, ec);
    return self.parent_path().string();
}
/// A result that did not reach the standard output (a full disk, a closed pipe) is a failure,
/// not a success: the exit code says so.
int finishStandardOutput(int code) {
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "zentrel: The standard output cannot be written: %s.\n",
                     errno ? std::strerror(errno) : "write error");
        return code == 0 ? zentrel::cli::kExitData : code;
    }
    return code;
}
}  // namespace

int main(int argc, char** argv) {
    using namespace zentrel::cli;
    CLI::App app{"zentrel: long-term monthly climate of any point on the Earth's land surface"};
    app.require_subcommand(1);
    zentrel::setNoticeHandler([](const std::string& text) { std::fprintf(stderr, "zentrel: note: %s\n", text.c_str()); });
    CommonOptions common;
    common.programDir = programFolder(argv[0]);
    // The version line first (help2man reads it), then the data folder and database in use.
    app.set_version_flag("--version", [&common] { return zentrel::versionReport("zentrel", common.programDir); },
                         "Print the version, the data folder in use and its database, and exit");
    Runner run;
    registerCommands(app, common, run);
    std::string emptyOption;
    if (const int stray = strayEmptyArgument(app, argc, argv, &emptyOption)) {
        if (!emptyOption.empty()) {
            std::fprintf(stderr, "zentrel: %s: the value is empty; give one or leave %s out.\n", emptyOption.c_str(),
                         emptyOption.c_str());
            return kExitUsage;
        }
        std::fprintf(stderr, "zentrel: argument %d is empty and no option takes it as its value.\nRun 'zentrel --help' for usage.\n", stray);
        return kExitUsage;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        std::fputs(e.what(), stdout);
        return kExitOk;
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "zentrel: %s\nRun 'zentrel --help' for usage.\n", e.what());
        return kExitUsage;
    }
    int code = kExitUsage;
    try {
        code = run ? run() : kExitUsage;
    } catch (const zentrel::Error& e) {
        std::fprintf(stderr, "zentrel: %s\n", e.what());
        code = kExitData;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "zentrel: out of memory.\n");
        code = kExitData;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zentrel: %s\n", e.what());
        code = kExitData;
    }
    return finishStandardOutput(code);
}
