// `zentrel data ...`: building and importing station databases.
#include "cli/commands.h"

namespace zentrel::cli {

void registerData(CLI::App& app, CommonOptions& /*common*/, Runner& /*run*/) {
    auto* data = app.add_subcommand("data", "Build the default data folder or import station normals");
    data->require_subcommand(1);
}

}  // namespace zentrel::cli
