#pragma once
// Base for TEST_F on a whole Rig: the built rig's parts as protected members,
// the telescope link open and recording each write.

#include "rig_builder.h"

#include <gtest/gtest.h>

namespace orvane::test {

class RigTest : public ::testing::Test, protected TestRig {
protected:
    RigTest() : TestRig({.linkOpen = true}) {}
};

} // namespace orvane::test
