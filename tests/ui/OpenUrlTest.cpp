#include "ui/CustomMessageBox.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace ui;

namespace {

// Nothing can open the address here: no display and no desktop entries.
TEST(OpenUrl, FailsSilently)
{
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    setenv("XDG_DATA_HOME", "/nonexistent", 1);
    setenv("XDG_DATA_DIRS", "/nonexistent", 1);
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    OpenUrl("https://example.invalid/support?p=1");
    OpenUrl("");
    OpenUrl("not a uri \"at all\"");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

}  // namespace
