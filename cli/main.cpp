#include <unistd.h>

#include <iostream>

#include "CliCommands.h"
#include "SystemCues.h"
#include "platform/Platform.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    tsumugiya::cli::SystemCues cues;
    return tsumugiya::cli::Run(tsumugiya::platform::ExecutablePath(), args, std::cout, std::cerr,
                               cues, ::isatty(STDERR_FILENO) ? &std::cerr : nullptr);
}
