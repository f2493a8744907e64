// `zentrel estimate`: the estimate of one or all variables at one location.
#include "cli/commands.h"

namespace zentrel::cli {

void registerEstimate(CLI::App& app, CommonOptions& /*common*/, Runner& /*run*/) {
    app.add_subcommand("estimate", "Estimate the monthly climate at one location");
}

}  // namespace zentrel::cli
