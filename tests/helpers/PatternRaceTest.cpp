// The file-name patterns are compiled on first use; that first use may come from two
// threads at once. This executable holds only this test so that the first use is here.
#include "helpers/PathHelpers.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

TEST(FileNamePatterns, FirstUseFromSeveralThreadsAtOnce)
{
    const int wrong = qtest::RunAtOnce(4, [] {
        int failures = 0;
        std::string base, ext;
        HELPERS::SplitFileName("photo.final.jpeg", base, ext);
        if (base != "photo.final" || ext != ".jpeg")
            ++failures;
        if (HELPERS::GetFileExtension("archive.tar.gz") != ".gz")
            ++failures;
        return failures;
    });
    EXPECT_EQ(wrong, 0);
}
