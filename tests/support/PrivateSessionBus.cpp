#include "support/PrivateSessionBus.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <vector>

namespace zq::test {

void runOnPrivateSessionBus(int argc, char* argv[])
{
    static const char kMarker[] = "ZQ_PRIVATE_SESSION_BUS";
    if (std::getenv(kMarker))
        return;
    ::setenv(kMarker, "1", 1);
    std::vector<char*> args{const_cast<char*>("dbus-run-session"), const_cast<char*>("--")};
    for (int i = 0; i < argc; ++i)
        args.push_back(argv[i]);
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    std::perror("dbus-run-session");
    std::exit(1);
}

} // namespace zq::test
