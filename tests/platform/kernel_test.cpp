#include "platform/win32.h"
#include <gtest/gtest.h>
TEST(Kernel, Placeholder) { EXPECT_TRUE(true); }
