// The Windows entry point: UTF-16 arguments become UTF-8, and the console
// shows the UTF-8 the commands write.

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <iostream>

#include "CliCommands.h"
#include "SystemCues.h"
#include "platform/Platform.h"

namespace {

std::string Utf8(const wchar_t* text) {
    return tsumugiya::platform::Utf8Of(std::filesystem::path(text));
}

// Puts the console's code pages back as they were, for the shell that ran us.
class ConsoleCodePages {
  public:
    ConsoleCodePages() : input_(::GetConsoleCP()), output_(::GetConsoleOutputCP()) {
        ::SetConsoleCP(CP_UTF8);
        ::SetConsoleOutputCP(CP_UTF8);
    }
    ~ConsoleCodePages() {
        if (input_ != 0) {
            ::SetConsoleCP(input_);
        }
        if (output_ != 0) {
            ::SetConsoleOutputCP(output_);
        }
    }

  private:
    UINT input_;
    UINT output_;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const ConsoleCodePages utf8;
    // Bytes as written, "\n" included: a pipe or file gets the same UTF-8 as on Linux.
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.push_back(Utf8(argv[i]));
    }
    // _isatty also says yes for NUL; only a console has a console mode.
    DWORD mode = 0;
    const bool errIsConsole = ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
    tsumugiya::cli::SystemCues cues;
    return tsumugiya::cli::Run(tsumugiya::platform::ExecutablePath(), args, std::cout, std::cerr,
                               cues, errIsConsole ? &std::cerr : nullptr);
}
