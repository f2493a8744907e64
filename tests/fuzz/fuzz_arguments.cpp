// Fuzz target: command-line arguments. The input is split at new lines into arguments and
// parsed by every command (no command is run: they read and write files); the first seven
// lines also go through the settings checks as the values of --maxstat ... --shad.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/settings_options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> args{"zentrel"};
    std::string current;
    for (size_t k = 0; k < size; ++k) {
        const char c = static_cast<char>(data[k]);
        if (c == '\n') {
            args.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    args.push_back(current);

    using namespace zentrel::cli;
    if (args.size() >= 8) {
        SettingsOptions options;
        options.maxStat = args[1];
        options.maxDist = args[2];
        options.minDist = args[3];
        options.powExp = args[4];
        options.minHigh = args[5];
        options.maxHigh = args[6];
        options.shad = args[7];
        zentrel::ProgramSettings settings;
        (void)applySettingsOptions(options, settings);
    }

    CLI::App app{"zentrel"};
    app.require_subcommand(1);
    CommonOptions common;
    Runner run;
    registerCommands(app, common, run);
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    if (strayEmptyArgument(app, static_cast<int>(argv.size()), argv.data())) return 0;
    try {
        app.parse(static_cast<int>(argv.size()), argv.data());
    } catch (const CLI::ParseError&) {
    }
    return 0;
}
