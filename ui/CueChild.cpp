#include "CueChild.h"

#include <canberra.h>

#include <QProcess>
#include <QStringList>

#include "CanberraCues.h"

namespace tsumugiya::ui {
namespace {

constexpr int kBadArguments = 2;

QString Latin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

std::string_view CueArgument(Cue cue) {
    switch (cue) {
        case Cue::Done:
            return "done";
        case Cue::AlreadyKept:
            return "kept";
        case Cue::Failed:
            break;
    }
    return "failed";
}

std::optional<Cue> CueFromArgument(std::string_view argument) {
    for (const Cue cue : {Cue::Done, Cue::AlreadyKept, Cue::Failed}) {
        if (argument == CueArgument(cue)) {
            return cue;
        }
    }
    return std::nullopt;
}

ChildProcessCues::ChildProcessCues(const std::filesystem::path& program)
    : program_(QString::fromStdString(program.string())) {}

void ChildProcessCues::Play(Cue cue) {
    QProcess child;
    child.setProgram(program_);
    child.setArguments({Latin1(kPlayCueOption), Latin1(CueArgument(cue))});
    // Nothing of the window's terminal but its errors; the folder is left
    // free to be unmounted.
    child.setStandardInputFile(QProcess::nullDevice());
    child.setStandardOutputFile(QProcess::nullDevice());
    child.setWorkingDirectory(QStringLiteral("/"));
    // Qt forks twice for a detached child, so none is left to reap.
    child.startDetached();
}

std::optional<int> PlayCueIfAsked(int argc, char** argv) {
    if (argc < 2 || argv[1] != kPlayCueOption) {
        return std::nullopt;
    }
    const std::optional<Cue> cue = argc == 3 ? CueFromArgument(argv[2]) : std::nullopt;
    if (!cue) {
        return kBadArguments;
    }
    CanberraCues cues;  // waits for the cue to end when it goes
    return cues.Start(*cue) == CA_SUCCESS ? 0 : 1;
}

}  // namespace tsumugiya::ui
