#include <gtest/gtest.h>

#include <clocale>

#include "E2eTest.h"

namespace {

class CSharedSessionEnvironment : public ::testing::Environment {
public:
    void TearDown() override { KestrelboxTest::EndSharedSession(); }
};

} // namespace

int main(int argc, char** argv)
{
    setlocale(LC_ALL, ".ACP");
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new CSharedSessionEnvironment);
    return RUN_ALL_TESTS();
}
