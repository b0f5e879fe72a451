#include "AppFixture.h"

#include "Entry.h"

#include <QApplication>

namespace korlin::testing {

namespace {
struct FakeLock : InstanceLock {
    LockResult answer = LockResult::Acquired;
    int calls = 0;
    LockResult acquire(const std::string& name) override
    {
        EXPECT_EQ(name, "MyMutex");
        ++calls;
        return answer;
    }
};
} // namespace

class Entry : public AppFixture {
protected:
    FakeLock lock;
    int formsCreated = 0;
    int loops = 0;
    int run()
    {
        dialogs.yesNoAnswers.push_back(true);
        EntryDeps deps{dialogs, lock, agent,
                       [this] {
                           ++formsCreated;
                           return std::make_unique<TMainForm1>(services);
                       },
                       [this] { ++loops; return 0; }};
        return runEntry(*qApp, deps);
    }
};

TEST_F(Entry, WaitsUntilTheAgentIsGone)
{
    agent.runningChecks = 3;
    EXPECT_EQ(run(), 0);
    ASSERT_GE(dialogs.texts().size(), 3u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(dialogs.texts()[i], "Закройте приложение Tavrel");
    EXPECT_EQ(lock.calls, 1);
    EXPECT_EQ(formsCreated, 1);
    EXPECT_EQ(loops, 1);
    EXPECT_EQ(qApp->applicationName(), QStringLiteral("Korlin"));
}

TEST_F(Entry, ASecondCopyEndsSilentlyBeforeAnyWindow)
{
    lock.answer = LockResult::AlreadyRunning;
    EXPECT_EQ(run(), 0);
    EXPECT_TRUE(dialogs.events.empty());
    EXPECT_EQ(formsCreated, 0);
    EXPECT_FALSE(fs::exists(dir.path / "9327debug.log"));
}

TEST_F(Entry, ALockNameTakenByAnotherKindOfObject)
{
    lock.answer = LockResult::InvalidName;
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(dialogs.texts(), std::vector<std::string>{"Ошибка в имени mutex object"});
    EXPECT_EQ(formsCreated, 0);
}

TEST_F(Entry, ARefusedStartUpRunsNoMessageLoop)
{
    dialogs.yesNoAnswers.push_back(false); // answered before the fixture's Yes
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(formsCreated, 1);
    EXPECT_EQ(loops, 0);
}

} // namespace korlin::testing
