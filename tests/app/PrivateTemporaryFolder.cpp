// The tests' working folders live under a temporary folder of their own, so
// that the removal of stale working folders never meets another program's.
#include "support/ScratchFolder.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>

namespace {

class PrivateTemporaryFolder : public ::testing::Environment {
public:
    void SetUp() override
    {
        m_folder = std::make_unique<testsupport::ScratchFolder>("tests");
        ::setenv("TMPDIR", m_folder->Path().c_str(), 1);
    }
    void TearDown() override { m_folder.reset(); }

private:
    std::unique_ptr<testsupport::ScratchFolder> m_folder;
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new PrivateTemporaryFolder);

}  // namespace
