#include "support/StandInGame.h"

#include <fstream>
#include <stdexcept>
#include <thread>

#include "support/TestSupport.h"

namespace tsumugiya::test {

constexpr int kSlowPieces = 20;

void StandInGame::Write(GameWrite how, std::string_view bytes) const {
    if (how == GameWrite::RenamedOver) {
        const fs::path temp = save.parent_path() / "game-writing.tmp";
        WriteFile(temp, bytes);
        fs::rename(temp, save);
        return;
    }
    const std::size_t pieces = how == GameWrite::Slowly     ? kSlowPieces
                               : how == GameWrite::TwoSteps ? 2
                                                            : 1;
    const std::size_t piece = bytes.size() / pieces + 1;
    std::ofstream out(save, std::ios::binary | std::ios::trunc);
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        if (at > 0 && how == GameWrite::TwoSteps) {
            // Closed in between, as a game that writes a header and a body does.
            out.close();
            std::this_thread::sleep_for(pause);
            out.open(save, std::ios::binary | std::ios::app);
        } else if (at > 0) {
            std::this_thread::sleep_for(lasting / kSlowPieces);
        }
        const auto size = static_cast<std::streamsize>(std::min(piece, bytes.size() - at));
        if (!out.write(bytes.data() + at, size).flush()) {
            throw std::runtime_error("the stand-in game cannot write " + Utf8(save));
        }
    }
}

}  // namespace tsumugiya::test
