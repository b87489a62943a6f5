// Backup, sync, clear and sort keep every line somewhere and show readers whole files only; the
// lock lets one process nest its writers.
#include "eventlog_fixture.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

namespace qv::eventlog::test {
namespace {

using Lines = std::vector<std::string>;

class Maintenance : public EventLogTest {
protected:
    void SetUp() override
    {
        EventLogTest::SetUp();
        load({{"clock", 946684800}, {"selEraseTime", 0}, {"sel", selOf(3)}});
        ASSERT_EQ(QVEL_SyncEventLog(), 0);
    }
};

TEST_F(Maintenance, BackupMovesTheLinesAndEmptiesTheSoftLog)
{
    write(4, "kept!text");
    const std::string before = softLog();
    ASSERT_EQ(QVEL_BackupEventLog(), 0);
    EXPECT_EQ(backupLog(), before);
    EXPECT_EQ(softLog(), "");
    EXPECT_EQ(setting("qveventlog.cfg", "LastReadEvent"), "65535");
    EXPECT_EQ(setting("qveventlog.cfg", "LastEraseTime"), "0");
    // An empty soft log leaves the backup alone.
    ASSERT_EQ(QVEL_BackupEventLog(), 0);
    EXPECT_EQ(backupLog(), before);
}

TEST_F(Maintenance, FailedBackupChangesNothing)
{
    const std::string before = softLog();
    ASSERT_EQ(::mkdir(root_.at("/usr/qvserver/etc/evtlog.bak").c_str(), 0755), 0);   // cannot be replaced
    ::mkdir(root_.at("/usr/qvserver/etc/evtlog.bak/x").c_str(), 0755);
    root_.writeFile("/usr/qvserver/etc/qveventlog.cfg", "[qvevtlog]\nLastEraseTime=7\nLastReadEvent=3\n");
    EXPECT_EQ(QVEL_BackupEventLog(), QVEL_ERR_FAILED);
    EXPECT_EQ(softLog(), before);
    EXPECT_EQ(setting("qveventlog.cfg", "LastReadEvent"), "3");
    EXPECT_EQ(setting("qveventlog.cfg", "LastEraseTime"), "7");
}

TEST_F(Maintenance, ClearKeepsOldLinesInTheBackup)
{
    write(4, "add!one");
    const std::string before = softLog();
    sim_.advanceClock(3000);
    ASSERT_EQ(QVEL_ClearEventLog(), 0);
    EXPECT_TRUE(sim_.selEntries().empty());
    EXPECT_EQ(softLog(), "");
    EXPECT_EQ(backupLog(), before);
    EXPECT_EQ(setting("qveventlog.cfg", "LastEraseTime"), "946684803");
}

TEST_F(Maintenance, OutsideEraseIsBackedUpOnceBySeveralSyncs)
{
    write(4, "add!one");
    const std::string before = softLog();
    sim_.advanceClock(3000);
    clearSelOutside();
    write(5, "after");
    ASSERT_EQ(QVEL_SyncEventLog(), 0);
    ASSERT_EQ(QVEL_SyncEventLog(), 0);
    EXPECT_EQ(backupLog(), before);
    ASSERT_EQ(softLines().size(), 1u);
    EXPECT_NE(softLines()[0].find("after"), std::string::npos);
}

TEST_F(Maintenance, EraseTimeFromNeverToARealErase)
{
    // Controllers that report "never erased" as 0xFFFFFFFF: the first real erase gives a
    // smaller time, and it is still an erase.
    load({{"clock", 946684800}, {"selEraseTime", "0xFFFFFFFF"}, {"sel", selOf(2)}});
    ASSERT_EQ(QVEL_SyncEventLog(), 0);
    ASSERT_EQ(softLines().size(), 2u);
    clearSelOutside();
    write(9, "fresh");
    ASSERT_EQ(softLines().size(), 1u);
    EXPECT_EQ(Lines(1, softLines()[0]), Lines{lineOf(sim_.selEntries()[0], sim_.selEntries()[0].id, "fresh")});
}

TEST_F(Maintenance, SortRebuildsInHardwareOrderKeepingAddStrings)
{
    write(4, "four");
    Lines lines = softLines();
    const Lines sorted = lines;
    std::swap(lines[0], lines[3]);
    std::string text;
    for (const auto& l : lines) text += l + "\n";
    writeSoftLog(text);
    struct stat before {};
    ::stat(root_.at("/usr/qvserver/etc/evtlog.dat").c_str(), &before);
    ASSERT_EQ(QVEL_SortSoftEvents(), 0);
    EXPECT_EQ(softLines(), sorted);
    struct stat after {};
    ::stat(root_.at("/usr/qvserver/etc/evtlog.dat").c_str(), &after);
    EXPECT_NE(before.st_ino, after.st_ino);   // a new file took the old one's place
}

TEST_F(Maintenance, LockNestsWithinAProcessAndExcludesOthers)
{
    int outer = 0, inner = 0;
    ASSERT_EQ(QVEL_GrabSemaphore(&outer), 0);
    ASSERT_EQ(QVEL_GrabSemaphore(&inner), 0);
    EXPECT_EQ(inner, -1);
    write(4, "while held");   // the writer nests inside
    auto otherProcessCanLock = [&] {
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int fd = ::open(root_.at("/usr/qvserver/etc/eventlog.lck").c_str(), O_RDWR);
            struct flock lock {};
            lock.l_type = F_WRLCK;
            lock.l_whence = SEEK_SET;
            ::_exit(fd >= 0 && ::fcntl(fd, F_SETLK, &lock) == 0 ? 0 : 1);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    };
    EXPECT_FALSE(otherProcessCanLock());
    EXPECT_EQ(QVEL_GiveUpSemaphore(inner), 0);
    EXPECT_FALSE(otherProcessCanLock());
    EXPECT_EQ(QVEL_GiveUpSemaphore(outer), 0);
    EXPECT_TRUE(otherProcessCanLock());
    EXPECT_EQ(QVEL_GiveUpSemaphore(outer), 0);   // nothing held: nothing to do
}

TEST_F(Maintenance, DamagedFilesGiveDefaultsOrErrors)
{
    writeSoftLog("garbage\n\n" + std::string(600, 'z') + "\n01 02\n");
    root_.writeFile("/usr/qvserver/etc/qveventlog.cfg", "[qvevtlog]\nLastEraseTime=abc\nLastReadEvent=99999999\n");
    root_.writeFile("/usr/qvserver/etc/bad.cfg", "\x01\x02[qvevtlog\nLastReadEvent=-5x\n");
    EvtStruct event{};
    int next = 0;
    EXPECT_EQ(QVEL_ReadEvent(3, &next, &event), QVEL_ERR_BAD_LINE);
    EXPECT_EQ(QVEL_ReadEventLogEntry(0, &event), QVEL_NO_EVENT);
    int last = 7;
    EXPECT_EQ(QVEL_ReadLastSoftEvent(&last, &event), 0);   // any 48 characters hold a record
    EXPECT_EQ(last, 0);
    EXPECT_EQ(QVEL_ReadNextUnseenEvent(&event, "bad.cfg"), QVEL_NO_EVENT);
    EXPECT_EQ(QVEL_ReadNextUnseenEvent(&event, "../escape.cfg"), QVEL_ERR_INVALID);
}

} // namespace
} // namespace qv::eventlog::test
