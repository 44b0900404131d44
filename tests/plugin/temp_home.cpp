// Every instance these tests make keeps its configuration in a home folder of the run's own, never in
// the user's.
#include <gtest/gtest.h>

#include "plugin_test_util.h"

namespace {

class TempHome : public ::testing::Environment {
public:
  void SetUp() override { home = std::make_unique<ScopedHome>(); }
  void TearDown() override { home.reset(); }

private:
  std::unique_ptr<ScopedHome> home;
};

[[maybe_unused]] ::testing::Environment* const kTempHome = ::testing::AddGlobalTestEnvironment(new TempHome);

}  // namespace
