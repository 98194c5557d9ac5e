// Stands in for lumivista-viewer in the About window's tests: speaks the viewer's protocol
// on standard input and output and notes every command in the file named by --log.

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char* argv[]) {
    const char* logPath = nullptr;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--log") == 0)
            logPath = argv[i + 1];
    }
    FILE* log = logPath ? std::fopen(logPath, "a") : nullptr;
    auto note = [&](const std::string& line) {
        if (log) {
            std::fputs(line.c_str(), log);
            std::fflush(log);
        }
    };
    note("started\n");
    std::fputs("shown\n", stdout);
    std::fflush(stdout);
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, stdin)) {
        note(buffer);
        if (std::strcmp(buffer, "quit\n") == 0)
            break;
        if (std::strcmp(buffer, "raise\n") == 0) {
            std::fputs("raised\n", stdout);
            std::fflush(stdout);
        }
    }
    note("ended\n");
    return 0;
}
