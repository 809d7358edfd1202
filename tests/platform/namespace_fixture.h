#pragma once
// Every platform test runs in a namespace of its own: TARNWICK_HOME points at a fresh temporary
// directory for the test's lifetime (inherited by helper processes).

#include <gtest/gtest.h>
#include <stdlib.h>

#include <memory>

#include "tests/support/test_support.h"

namespace tarnwick::test {

class PrivateNamespace : public ::testing::Test {
  protected:
    void SetUp() override {
        home_ = std::make_unique<TempDir>();
        setenv("TARNWICK_HOME", home_->path().c_str(), 1);
    }
    void TearDown() override {
        unsetenv("TARNWICK_HOME");
        home_.reset();
    }
    const std::filesystem::path& home() const { return home_->path(); }

  private:
    std::unique_ptr<TempDir> home_;
};

}  // namespace tarnwick::test
