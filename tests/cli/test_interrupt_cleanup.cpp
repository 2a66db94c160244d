// The interrupt watcher stops with its owner, with no poll to wait out, and
// gives the signals back. (What it does on an interrupt, the runs of
// zorvel-cli interrupted in test_cli_encode and test_cli_outputs show.)
#include <gtest/gtest.h>

#include <optional>

#include "cli/InterruptCleanup.h"

namespace zorvel::cli {
namespace {

bool blocked(int signal) {
    sigset_t mask;
    pthread_sigmask(SIG_SETMASK, nullptr, &mask);
    return sigismember(&mask, signal) == 1;
}

// The watcher sleeps until a signal or its stop comes: were the stop lost,
// the destructor would wait for ever, so every round ending is the test.
TEST(InterruptCleanup, EndsWithItsOwnerAndGivesTheSignalsBack) {
    StagingArea area;
    for (int round = 0; round < 100; ++round) {
        std::optional<InterruptCleanup> cleanup(std::in_place, area);
        ASSERT_TRUE(blocked(SIGINT) && blocked(SIGTERM) && blocked(SIGHUP)) << round;
        cleanup.reset();
        ASSERT_FALSE(blocked(SIGINT) || blocked(SIGTERM) || blocked(SIGHUP)) << round;
    }
}

}  // namespace
}  // namespace zorvel::cli
