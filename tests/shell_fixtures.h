// Shell test fixtures: a clean volume table and a scripted desk per test.
#pragma once

#include <gtest/gtest.h>

#include "core/table.h"
#include "fixtures.h"
#include "shell/scripted_desk.h"

namespace v3d::test {

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetVolumeTable();
    shell::exchange() = shell::DialogExchange{};
  }
  void TearDown() override { resetVolumeTable(); }

  // Creates slot `index` (the first free one) with random contents.
  Volume* makeSlot(int type, int colour, int Z, int Y, int X, unsigned seed = 1,
                   bool binary = false) {
    Volume* v = nullptr;
    EXPECT_EQ(CreateVolumeEx(type, colour, Z, Y, X, nullptr, &v), 0);
    fillRandom(v, seed, binary);
    return v;
  }
  shell::ScriptedDesk desk;
};

}  // namespace v3d::test
