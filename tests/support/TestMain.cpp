#include <fenv.h>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // A division by zero or an invalid operation (a NaN made from finite values) traps at once.
    feenableexcept(FE_DIVBYZERO | FE_INVALID);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
