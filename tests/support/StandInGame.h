#pragma once

// A game as the automatic backups meet it: each way games are seen to write
// their save. Every write ends with the save holding the bytes given.

#include <chrono>
#include <filesystem>
#include <string_view>

namespace tsumugiya::test {

enum class GameWrite {
    InPlace,      // truncated and written through one open
    RenamedOver,  // written beside the save, then renamed over it
    TwoSteps,     // half, a pause shorter than the settle time, the rest
    Slowly,       // in small pieces over a time longer than the settle time
};

struct StandInGame {
    std::filesystem::path save;
    std::chrono::milliseconds pause{40};     // between the two steps
    std::chrono::milliseconds lasting{800};  // of a slow write

    void Write(GameWrite how, std::string_view bytes) const;
};

}  // namespace tsumugiya::test
