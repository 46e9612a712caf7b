#pragma once
// Picture comparison for GoogleTest assertions.

#include <gtest/gtest.h>

#include "tests/common/test_support.h"

// Equality of two pictures' sizes and pixels; a failure names the first
// pixel that differs.
::testing::AssertionResult samePicture(const RgbaImage& actual, const RgbaImage& expected);
