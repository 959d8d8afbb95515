// Placeholder until the simulated log service lands.
#include "Sim.h"

#include <cstdio>

int RunLogService(int, char**) {
    std::fprintf(stderr, "corvane-sim logservice: not built yet\n");
    return 1;
}
