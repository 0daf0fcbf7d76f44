// Test entry point shared by every test executable: headless platform, Russian locale, and a
// fresh application folder (VASTREL_HOME) for each test case.
#include <QApplication>
#include <QLocale>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {

class FreshHomeListener : public testing::EmptyTestEventListener
{
    void OnTestStart(const testing::TestInfo&) override
    {
        m_dir = std::make_unique<QTemporaryDir>();
        qputenv("VASTREL_HOME", m_dir->path().toLocal8Bit());
    }
    void OnTestEnd(const testing::TestInfo&) override
    {
        m_dir.reset();
        qunsetenv("VASTREL_HOME");
    }
    std::unique_ptr<QTemporaryDir> m_dir;
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new FreshHomeListener);
    return RUN_ALL_TESTS();
}
