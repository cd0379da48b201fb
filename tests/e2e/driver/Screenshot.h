#pragma once
#include <string>

#include <gtest/gtest.h>

namespace e2e {

// The whole screen into a file: PNG when the name ends in ".png", otherwise a
// 24-bit BMP.
::testing::AssertionResult SaveScreenshot(const std::string& path);

// Where failed tests leave their screenshots (the build tree's shots folder).
std::string ShotsDir();

// When the running test has failed so far, saves the screen as
// <ShotsDir>\<Suite>.<Test>[-label].png and prints the path.
void SaveShotIfFailed(const std::string& label = "");

// A fixture whose TearDown keeps the screen of a failed test. Members that
// own programs are destroyed after TearDown, so the shot still shows their
// windows. A fixture that overrides TearDown calls this one first.
class WindowTest : public ::testing::Test
{
protected:
    void TearDown() override { SaveShotIfFailed(); }
};

} // namespace e2e
