// Stands in for a downloaded AppImage: answers the updater's harmless argument with success, or with the
// exit code in ZQ_STANDIN_EXIT (or not at all: "hang"), and refuses to do anything else.
#include <cstdlib>
#include <cstring>
#include <unistd.h>

int main(int argc, char* argv[])
{
    if (argc == 2 && std::strcmp(argv[1], "--appimage-version") == 0) {
        const char* code = std::getenv("ZQ_STANDIN_EXIT");
        if (code && std::strcmp(code, "hang") == 0)
            sleep(60);
        return code ? std::atoi(code) : 0;
    }
    return 64;
}
