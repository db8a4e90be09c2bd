// simtrove: runs scenarios of simulated fMRI data and reports on them.
#include <iostream>

#include "program/simtrove_command.h"

int main(int argc, char** argv) {
    return simtrove::program::runSimtrove(std::vector<std::string>(argv + 1, argv + argc),
                                          std::cout, std::cerr);
}
