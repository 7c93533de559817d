// The one fixture every test of runtime state derives from: the runtime is reset to a fresh
// process (Runtime_Reset) before each test and after it, so no test sees what another left and
// none needs to undo by hand what it changed. Fixtures that count memory-manager blocks take their
// count after RuntimeTest::SetUp and compare it before RuntimeTest::TearDown.
#pragma once

#include <gtest/gtest.h>

#include "run/Runtime_Reset.h"

namespace testsupport {

class RuntimeTest : public ::testing::Test {
 protected:
  void SetUp() override { Runtime_Reset(); }
  void TearDown() override { Runtime_Reset(); }
};

}  // namespace testsupport
