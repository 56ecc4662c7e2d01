#pragma once

#include <cstdint>

namespace tsumugiya::cli {

// SIGINT and SIGTERM (on Windows Ctrl+C, Ctrl+Break and the console's close)
// taken as a request to stop, not as the end: a loop that waits on
// Waitable() finishes the copy it is in, then ends. Handled while this lives.
class StopRequests {
  public:
    StopRequests();
    StopRequests(const StopRequests&) = delete;
    StopRequests& operator=(const StopRequests&) = delete;
    ~StopRequests();

    std::intptr_t Waitable() const { return waitable_; }
    bool Requested() const;

  private:
    std::intptr_t waitable_;
};

}  // namespace tsumugiya::cli
