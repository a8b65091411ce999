// The fixture of the tests of the tracker's windows: a tracker window built in a scratch
// folder, which is the current folder while it lives.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "common/platform/paths.h"
#include "halvex/app/kt_map_window.h"
#include "tests/support/scratch_dir.h"

class ScratchTrackerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    start_ = currentDirectory();
    ASSERT_TRUE(setCurrentDirectory(temp_.dir()));
    window_ = std::make_unique<KT_mapWindow>("", "demo");
  }
  void TearDown() override {
    window_.reset();
    setCurrentDirectory(start_);
  }

  ScratchDir temp_;
  std::string start_;
  std::unique_ptr<KT_mapWindow> window_;
};
