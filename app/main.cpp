// main.cpp -- the demo's entry: the options, then the demo itself. Without
// options it asks its question and runs as it always did.
#include <cstdio>
#include <string>

#include "app/shell.h"

int main(int argc, char** argv) {
    DemoOptions options;
    std::string error;
    switch (ParseOptions(argc, argv, &options, &error)) {
        case OptionsVerdict::Help:
            std::fputs(kDemoUsage, stdout);
            return 0;
        case OptionsVerdict::Bad:
            // Refused before any window opens.
            std::fprintf(stderr, "demo: %s\n%s", error.c_str(), kDemoUsage);
            return 2;
        case OptionsVerdict::Run:
            break;
    }
    RunDemo(options);
}
