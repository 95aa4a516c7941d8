#include <gtest/gtest.h>
#include "runtime/core/core.h"
TEST(core, placeholder) { EXPECT_EQ(error_number(), 0u); }
