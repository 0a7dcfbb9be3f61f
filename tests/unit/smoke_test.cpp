#include <gtest/gtest.h>

#include "fake_platform.h"

TEST(Smoke, WideCharIsTheBuildsOwn) { EXPECT_GE(sizeof(wchar_t), 2u); }
