// Entry of every test executable: the whole run happens inside a private sandbox so that
// no test can read or write the real home folder.
#include <gtest/gtest.h>

namespace qtest {
void InitSandboxRoot();
void RemoveSandboxRoot();
} // namespace qtest

int main(int argc, char** argv)
{
    qtest::InitSandboxRoot();
    ::testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    qtest::RemoveSandboxRoot();
    return rc;
}
