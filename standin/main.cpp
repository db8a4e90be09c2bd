// tavimo-standin: runs the Simtrove plug-in without the host application.
#include "standin/app.h"

int main(int argc, char** argv) {
    return simtrove::standin::runStandinProgram(argc, argv);
}
