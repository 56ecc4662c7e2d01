#include "support/StandInGame.h"

#include <fstream>
#include <stdexcept>
#include <thread>

#include "support/TestSupport.h"

namespace tsumugiya::test {
namespace {

constexpr int kSlowPieces = 20;

void Check(std::ofstream& out, const fs::path& file) {
    if (!out.flush()) {
        throw std::runtime_error("the stand-in game cannot write " + Utf8(file));
    }
}

}  // namespace

void StandInGame::Write(GameWrite how, std::string_view bytes) const {
    if (how == GameWrite::RenamedOver) {
        const fs::path temp = save.parent_path() / "game-writing.tmp";
        WriteFile(temp, bytes);
        fs::rename(temp, save);
        return;
    }
    std::ofstream out(save, std::ios::binary | std::ios::trunc);
    const std::size_t pieces = how == GameWrite::Slowly     ? kSlowPieces
                               : how == GameWrite::TwoSteps ? 2
                                                            : 1;
    const std::size_t piece = bytes.size() / pieces + 1;
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        out.write(bytes.data() + at,
                  static_cast<std::streamsize>(std::min(piece, bytes.size() - at)));
        Check(out, save);
        if (at + piece >= bytes.size()) {
            break;
        }
        if (how == GameWrite::TwoSteps) {
            // Closed in between, as a game that writes a header and a body does.
            out.close();
            std::this_thread::sleep_for(pause);
            out.open(save, std::ios::binary | std::ios::app);
        } else {
            std::this_thread::sleep_for(lasting / kSlowPieces);
        }
    }
}

}  // namespace tsumugiya::test
