// The file-name patterns are compiled on first use; that first use may come from two
// threads at once. This executable holds only this test so that the first use is here.
#include "helpers/PathHelpers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

TEST(FileNamePatterns, FirstUseFromSeveralThreadsAtOnce)
{
    std::atomic<bool> go{false};
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            while (!go.load())
                std::this_thread::yield();
            std::string base, ext;
            HELPERS::SplitFileName("photo.final.jpeg", base, ext);
            if (base != "photo.final" || ext != ".jpeg")
                ++wrong;
            if (HELPERS::GetFileExtension("archive.tar.gz") != ".gz")
                ++wrong;
        });
    }
    go = true;
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(wrong.load(), 0);
}
