// tavimo-standin: runs the Simtrove plug-in without the host application;
// `tavimo-standin report ...` analyses a simulated VTC instead.
#include <iostream>
#include <string_view>

#include "standin/app.h"
#if SIMTROVE_HAVE_REPORT
#include "analysis/report_command.h"
#endif

int main(int argc, char** argv) {
#if SIMTROVE_HAVE_REPORT
    if (argc > 1 && std::string_view(argv[1]) == "report")
        return simtrove::analysis::runReport(std::vector<std::string>(argv + 2, argv + argc),
                                             std::cout, std::cerr);
#endif
    return simtrove::standin::runStandinProgram(argc, argv);
}
