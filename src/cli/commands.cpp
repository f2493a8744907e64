// The list of zentrel's commands, in the order of the usage text.
#include "cli/commands.h"

#include <cstdio>
#include <string>

#include "data/data_folder.h"
#include "maps/map_folder.h"

namespace zentrel::cli {

void registerCommands(CLI::App& app, CommonOptions& common, Runner& run) {
    registerEstimate(app, common, run);
    registerData(app, common, run);
    registerValidate(app, common, run);
    registerBatch(app, common, run);
    registerRaster(app, common, run);
#ifdef ZENTREL_HAVE_SERVE
    registerServe(app, common, run);
#endif
}

CLI::Option* addDataOption(CLI::App& cmd, CommonOptions& common) {
    return cmd.add_option("--data", common.dataDir, kDataOptionHelp)
        ->check(CLI::Validator(
            [](std::string& text) -> std::string {
                return text.empty() ? "the folder name is empty; leave --data out to use the default folder." : "";
            },
            ""));
}

// The first usable map of the map folder: beside the program, beside the data folder so that
// --data of another build finds its maps too, the user's or the installed one.
std::string defaultMask(const CommonOptions& common, const std::string& dataFolder) {
    const std::string folder = locateMapFolder(common.programDir, dataFolder);
    if (folder.empty()) return {};
    const auto maps = listUsableMaps(folder);
    return maps.empty() ? std::string() : maps.front().Img;
}

std::optional<ImgRaster> landMask(const CommonOptions& common, const std::string& dataFolder, const std::string& given) {
    const std::string path = given.empty() ? defaultMask(common, dataFolder) : given;
    if (path.empty()) {
        std::fprintf(stderr, "zentrel: No Map available: give the land mask with --mask MAP.img.\n");
        return std::nullopt;
    }
    return readImg(path);
}

int strayEmptyArgument(CLI::App& app, int argc, const char* const* argv, std::string* option) {
    CLI::App* current = &app;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        // "--tile=" is an empty value as much as "--tile ''"; --data says so in its own words.
        if (const size_t eq = arg.find('='); arg.size() > 2 && arg[0] == '-' && eq == arg.size() - 1) {
            const std::string name = arg.substr(0, eq);
            if (name != "--data" && current->get_option_no_throw(name)) {
                if (option) *option = name;
                return i;
            }
        }
        if (arg.empty()) {
            const std::string before = argv[i - 1];
            const CLI::Option* taker = before.size() > 1 && before[0] == '-' ? current->get_option_no_throw(before) : nullptr;
            if (taker && taker->get_items_expected_max() > 0) {
                if (before == "--data") continue;
                if (option) *option = before;
            }
            return i;
        }
        if (arg[0] != '-') {
            for (CLI::App* sub : current->get_subcommands([&](CLI::App* s) { return s->check_name(arg); })) current = sub;
        }
    }
    return 0;
}

}  // namespace zentrel::cli
