// GoogleTest entry for end-to-end tests: a QCoreApplication so that child
// processes and waits run on an event loop, and a fresh session for each test.
#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>

namespace {

// Each test starts as a new desktop session would: its own settings, runtime and
// temp folders, so that nothing one test leaves (a changed hotkey, a kept file, a
// lock) reaches the next, whether the program runs whole or one test at a time.
class FreshSessionPerTest : public ::testing::EmptyTestEventListener {
public:
    FreshSessionPerTest()
    {
        const char* tmp = std::getenv("TMPDIR");
        m_base = (tmp && *tmp) ? tmp : "/tmp";
    }

    void OnTestStart(const ::testing::TestInfo&) override
    {
        std::string pattern = (m_base / "kaptivus-e2e.XXXXXX").string();
        if (!::mkdtemp(pattern.data())) return;
        m_session = pattern;
        for (const char* part : {"config", "runtime", "tmp"}) std::filesystem::create_directory(m_session / part);
        ::chmod((m_session / "runtime").c_str(), 0700);
        ::setenv("XDG_CONFIG_HOME", (m_session / "config").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", (m_session / "runtime").c_str(), 1);
        ::setenv("TMPDIR", (m_session / "tmp").c_str(), 1);
    }

    void OnTestEnd(const ::testing::TestInfo&) override
    {
        if (m_session.empty()) return;
        std::error_code ignored;
        std::filesystem::remove_all(m_session, ignored);
        m_session.clear();
    }

private:
    std::filesystem::path m_base;
    std::filesystem::path m_session;
};

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshSessionPerTest);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
