// Placeholder while the C caller test is written.
#include <gtest/gtest.h>
