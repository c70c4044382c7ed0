#include "backend/BackendServer.h"

#include <sys/resource.h>

#include <iostream>

int main(int argc, char *argv[])
{
    using namespace tolvo::backend;
    auto commandLine = parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!commandLine) {
        std::cerr << "tolvo-backend: " << commandLine.error() << "\n\n" << usageText();
        return 2;
    }
    if (commandLine->helpRequested) {
        std::cout << usageText();
        return 0;
    }
    // Every open stream is a descriptor: take all the system allows.
    rlimit limit {};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
    BackendServer server(commandLine->options);
    if (auto served = server.run(); !served) {
        std::cerr << "tolvo-backend: " << served.error() << "\n";
        return 1;
    }
    return 0;
}
