// main.cpp -- the demo's entry: the options, then the demo itself. Without
// options it asks its question and runs as it always did.
#include <string>

#include "app/shell.h"

int main(int argc, char** argv) {
    DemoOptions options;
    std::string error;
    const std::string program = ProgramName(argc, argv);
    const std::string caption = ProgramFileName(program);
    switch (ParseOptions(argc, argv, &options, &error)) {
        case OptionsVerdict::Help:
            Sys_ShowText(caption.c_str(), DemoUsage(program).c_str(), false);
            return 0;
        case OptionsVerdict::Bad:
            // Refused before the demo's own windows open.
            Sys_ShowText(caption.c_str(), (program + ": " + error + "\n" + DemoUsage(program)).c_str(), true);
            return 2;
        case OptionsVerdict::Run:
            break;
    }
    RunDemo(options);
}
