// The device entity store through its QVDE_* calls, its file layout byte for byte, and its
// replace under SIGKILL and concurrent writers.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "devstore.h"
#include "store_file.h"
#include "store_format.h"
#include "temp_root.h"

namespace {

constexpr char kData[] = "/var/qvserver/entitydb.dat";
constexpr char kBackup[] = "/var/qvserver/entitydb.bak";

// A full record whose texts live in the fixture.
struct Record {
    stDeviceEntity2 e{};
    std::vector<std::string> texts = std::vector<std::string>(QVDE_TEXT_FIELDS);

    explicit Record(const std::string& guid, int health = h_OK, int relation = r_host)
    {
        e.health = static_cast<enDevHealth>(health);
        e.relation = static_cast<enEntityRel>(relation);
        set(0, guid);
    }
    Record& set(unsigned k, const std::string& text)
    {
        texts[k] = text;
        e.*QVDE_TEXT_MEMBER[k] = texts[k].empty() ? nullptr : texts[k].data();
        return *this;
    }
};

std::string field(const stDeviceEntity2& e, unsigned k)
{
    const char* t = e.*QVDE_TEXT_MEMBER[k];
    return t ? t : "";
}

int establish(Record& r, enEntityAction action, int* handle = nullptr)
{
    return QVDE_EstablishDevice(DEVICE_ENTITY_2, &r.e, action, handle);
}

int count()
{
    int n = -1;
    EXPECT_EQ(QVDE_QueryDeviceCount(&n), 0);
    return n;
}

std::string guidAt(int index)
{
    stDeviceEntity2 e{};
    if (QVDE_GetDeviceEntity(index, &e) != 0) return "<none>";
    return field(e, 0);
}

void le32(std::string& s, uint32_t v)
{
    for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
}

class DevStore : public ::testing::Test {
protected:
    qv::test::TempRoot root;
};

TEST_F(DevStore, FirstUseIsAnEmptyStoreAndUpdateCreatesTheFile)
{
    EXPECT_EQ(count(), 0);
    EXPECT_FALSE(root.exists(kData));
    Record r("{M^X^S1}");
    r.set(17, "lab");
    int handle = 0;
    EXPECT_EQ(establish(r, EXISTING_UPDATE, &handle), 0);
    EXPECT_EQ(handle, 0x7000);
    EXPECT_EQ(count(), 1);
    stDeviceEntity2 e{};
    ASSERT_EQ(QVDE_GetDeviceEntity(0, &e), 0);
    EXPECT_EQ(e.health, h_OK);
    EXPECT_EQ(e.relation, r_host);
    EXPECT_EQ(field(e, 17), "lab");
    EXPECT_EQ(e.pszRackPos, nullptr);
}

TEST_F(DevStore, FileLayoutIsWrittenFieldByField)
{
    Record r("G1", h_warning, r_other);
    r.set(5, "Maker").set(19, "R7");
    const uint32_t before = static_cast<uint32_t>(std::time(nullptr));
    ASSERT_EQ(establish(r, EXISTING_REPLACE), 0);
    const uint32_t after = static_cast<uint32_t>(std::time(nullptr));
    const std::string file = root.readFile(kData);
    ASSERT_EQ(file.size(), 24u + 172u + 3u + 6u + 3u);

    std::string expected;
    for (uint32_t v : {0x61746144u, uint32_t(file.size()), 1u, 12u, 20u}) le32(expected, v);
    EXPECT_EQ(file.substr(0, 20), expected);
    std::string entry;
    le32(entry, 4);
    le32(entry, 2);
    for (unsigned k = 0; k < 20; ++k) {
        const uint32_t at = k == 0 ? 196 : k == 5 ? 199 : k == 19 ? 205 : 0;
        const uint32_t len = k == 0 ? 2 : k == 5 ? 5 : k == 19 ? 2 : 0;
        le32(entry, at);
        le32(entry, len);
    }
    EXPECT_EQ(file.substr(28, 168), entry);
    EXPECT_EQ(file.substr(196), std::string("G1\0Maker\0R7\0", 12));
    for (size_t at : {size_t(20), size_t(24)}) {
        uint32_t stamp = 0;
        std::memcpy(&stamp, file.data() + at, 4);   // the test host is little-endian
        EXPECT_GE(stamp, before);
        EXPECT_LE(stamp, after);
    }
}

TEST_F(DevStore, SavingTheBytesAlreadyStoredWritesNeitherStoreNorBackup)
{
    auto identity = [this](const char* path) {
        struct stat st {};
        EXPECT_EQ(stat(root.at(path).c_str(), &st), 0) << path;
        return std::make_pair(st.st_ino, st.st_mtim.tv_nsec + 1000000000LL * st.st_mtim.tv_sec);
    };
    Record r("G1");
    r.set(5, "Maker");
    // Timestamps are whole seconds: the repeat must fall in the second of the write before it.
    for (int attempt = 0; attempt < 5; ++attempt) {
        const time_t start = std::time(nullptr);
        ASSERT_EQ(establish(r, EXISTING_REPLACE), 0);
        r.set(19, attempt % 2 ? "R7" : "R8");
        ASSERT_EQ(establish(r, EXISTING_UPDATE), 0);   // a change: store and backup written
        const std::string data = root.readFile(kData), backup = root.readFile(kBackup);
        const auto dataId = identity(kData), backupId = identity(kBackup);
        ASSERT_EQ(establish(r, EXISTING_UPDATE), 0);
        ASSERT_EQ(establish(r, EXISTING_REPLACE), 0);
        int h = 0;
        ASSERT_EQ(establish(r, EXISTING_KEEP, &h), 0);
        if (std::time(nullptr) != start) continue;
        EXPECT_EQ(identity(kData), dataId);
        EXPECT_EQ(identity(kBackup), backupId);
        EXPECT_EQ(root.readFile(kData), data);
        EXPECT_EQ(root.readFile(kBackup), backup);

        r.e.health = h_warning;   // and a real change is still written, the old file its backup
        ASSERT_EQ(establish(r, EXISTING_UPDATE), 0);
        EXPECT_NE(identity(kData), dataId);
        EXPECT_EQ(root.readFile(kBackup), data);
        stDeviceEntity2 e{};
        ASSERT_EQ(QVDE_GetDeviceEntity(0, &e), 0);
        EXPECT_EQ(e.health, h_warning);
        return;
    }
    GTEST_SKIP() << "every attempt crossed a second boundary";
}

TEST_F(DevStore, FixtureFileIsReadByteForByte)
{
    const std::string text("ABC\0" "12345\0", 10);
    std::string file;
    for (uint32_t v : {0x61746144u, 24u + 172u + 10u, 1u, 10u, 20u, 1000u}) le32(file, v);
    for (uint32_t v : {1000u, 5u, 1u}) le32(file, v);
    struct Ref {
        unsigned k;
        uint32_t offset, length;
    };
    // Field 9 points past the file and field 10 runs past the text area: both read empty.
    const Ref refs[] = {{0, 196, 3}, {8, 200, 5}, {9, 400, 2}, {10, 200, 10}};
    for (unsigned k = 0; k < 20; ++k) {
        Ref ref{k, 0, 0};
        for (const Ref& r : refs)
            if (r.k == k) ref = r;
        le32(file, ref.offset);
        le32(file, ref.length);
    }
    root.writeFile(kData, file + text);

    stDeviceEntity2 e{};
    ASSERT_EQ(QVDE_GetDeviceEntity(0, &e), 0);
    EXPECT_EQ(e.health, h_critical);
    EXPECT_EQ(e.relation, r_host);
    EXPECT_EQ(field(e, 0), "ABC");
    EXPECT_EQ(field(e, 8), "12345");
    EXPECT_EQ(e.pszVersion, nullptr);
    EXPECT_EQ(e.pszHWVersion, nullptr);
    EXPECT_EQ(QVDE_GetDeviceEntity(1, &e), QVDE_ERR_INDEX_OUT_OF_RANGE);
    EXPECT_EQ(QVDE_GetDeviceEntity(-1, &e), QVDE_ERR_INDEX_OUT_OF_RANGE);
}

TEST_F(DevStore, DamagedFilesAreErrorsAndNeverReplaced)
{
    Record seed("SEED");
    ASSERT_EQ(establish(seed, EXISTING_UPDATE), 0);
    const std::string good = root.readFile(kData);
    struct Case {
        const char* what;
        std::string bytes;
    };
    std::string wrongCount = good;
    wrongCount[8] = 2;   // two entries claimed, one present
    const Case cases[] = {
        {"signature", "Datb" + good.substr(4)},
        {"truncated", good.substr(0, good.size() - 1)},
        {"entry count", wrongCount},
        {"header only", good.substr(0, 10)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        root.writeFile(kData, c.bytes);
        stDeviceEntity2 e{};
        char buffer[64];
        EXPECT_EQ(QVDE_GetDeviceEntity(0, &e), QVDE_ERR_INVALID_PARAMETER);
        EXPECT_EQ(QVDE_GetDeviceEntityData(0, &e, buffer, sizeof buffer), QVDE_ERR_INVALID_PARAMETER);
        EXPECT_EQ(count(), 0);
        Record other("OTHER");
        EXPECT_EQ(establish(other, EXISTING_UPDATE), QVDE_ERR_INVALID_PARAMETER);
        EXPECT_EQ(QVDE_UpdateHealth(0x7000, h_OK), QVDE_ERR_INVALID_PARAMETER);
        EXPECT_EQ(QVDE_RemoveStaleEntries(0), QVDE_ERR_INVALID_PARAMETER);
        EXPECT_EQ(root.readFile(kData), c.bytes);
    }
    // A data file that vanished beside its backup is lost, not new.
    root.writeFile(kData, good);
    Record again("SEED");
    again.set(5, "Maker");   // a change, so the store is rewritten and the good file kept as backup
    ASSERT_EQ(establish(again, EXISTING_REPLACE), 0);
    ASSERT_TRUE(root.exists(kBackup));
    ASSERT_EQ(unlink(root.at(kData).c_str()), 0);
    Record lost("LOST");
    EXPECT_EQ(establish(lost, EXISTING_UPDATE), ENOENT);
    EXPECT_FALSE(root.exists(kData));
}

TEST_F(DevStore, ActionsKeepReplaceUpdateAndRemove)
{
    Record first("{guid-one}");
    first.set(17, "hall").set(12, "A-1");
    ASSERT_EQ(establish(first, EXISTING_UPDATE), 0);

    // Letter case aside, the same GUID; KEEP touches nothing.
    Record keep("{GUID-ONE}", h_critical);
    const std::string bytes = root.readFile(kData);
    int handle = -1;
    EXPECT_EQ(establish(keep, EXISTING_KEEP, &handle), 0);
    EXPECT_EQ(handle, 0x7000);
    EXPECT_EQ(root.readFile(kData), bytes);

    // UPDATE keeps what the record leaves empty or zero.
    Record update("{Guid-One}", h_notset, r_notset);
    update.set(12, "A-2");
    ASSERT_EQ(establish(update, EXISTING_UPDATE), 0);
    stDeviceEntity2 e{};
    ASSERT_EQ(QVDE_GetDeviceEntity(0, &e), 0);
    EXPECT_EQ(field(e, 17), "hall");
    EXPECT_EQ(field(e, 12), "A-2");
    EXPECT_EQ(e.health, h_OK);
    EXPECT_EQ(field(e, 0), "{Guid-One}");

    // REPLACE clears what the record leaves empty.
    Record replace("{guid-one}", h_warning, r_other);
    ASSERT_EQ(establish(replace, EXISTING_REPLACE), 0);
    ASSERT_EQ(QVDE_GetDeviceEntity(0, &e), 0);
    EXPECT_EQ(e.pszLocation, nullptr);
    EXPECT_EQ(e.health, h_warning);
    EXPECT_EQ(count(), 1);

    Record remove("{GUID-one}");
    EXPECT_EQ(establish(remove, EXISTING_REMOVE), 0);
    EXPECT_EQ(count(), 0);
    EXPECT_EQ(establish(remove, EXISTING_REMOVE), QVDE_ERR_DEVICE_NOT_FOUND);
}

TEST_F(DevStore, ArgumentErrors)
{
    Record r("G");
    EXPECT_EQ(QVDE_EstablishDevice(DEVICE_ENTITY_2, nullptr, EXISTING_UPDATE, nullptr), QVDE_ERR_INVALID_PARAMETER);
    EXPECT_EQ(QVDE_EstablishDevice(static_cast<enEntityType>(3), &r.e, EXISTING_UPDATE, nullptr),
              QVDE_ERR_UNKNOWN_ENTITY_TYPE);
    EXPECT_EQ(establish(r, static_cast<enEntityAction>(4)), QVDE_ERR_INVALID_PARAMETER);
    EXPECT_EQ(establish(r, static_cast<enEntityAction>(-1)), QVDE_ERR_INVALID_PARAMETER);
    Record noGuid("");
    noGuid.set(5, "M").set(6, "P");   // no serial: nothing to compose from
    EXPECT_EQ(establish(noGuid, EXISTING_UPDATE), QVDE_ERR_NO_GUID);
    EXPECT_EQ(QVDE_UpdateHealth(0x7000 - 5, h_OK), QVDE_ERR_INVALID_HANDLE);
    EXPECT_EQ(QVDE_GetDeviceEntity(0, nullptr), QVDE_ERR_INVALID_PARAMETER);
    EXPECT_EQ(count(), 0);
    EXPECT_FALSE(root.exists(kData));
}

TEST_F(DevStore, ShortRecordIsWidenedAndGetsAComposedGuid)
{
    std::string maker = "M", product = "P", serial = "S", version = "V2";
    stDeviceEntity1 r{};
    r.health = h_OK;
    r.pszManufacturer = maker.data();
    r.pszProdName = product.data();
    r.pszSerialNum = serial.data();
    r.pszVersion = version.data();
    ASSERT_EQ(QVDE_EstablishDevice(DEVICE_ENTITY_1, &r, EXISTING_UPDATE, nullptr), 0);
    stDeviceEntity2 e{};
    ASSERT_EQ(QVDE_GetDeviceEntity(0, &e), 0);
    EXPECT_EQ(field(e, 0), "M-P-S");
    EXPECT_EQ(field(e, 7), "P");
    EXPECT_EQ(field(e, 10), "V2");
    EXPECT_EQ(field(e, 11), "V2");

    // A composed GUID is cut to its 256-byte buffer.
    std::string longMaker(300, 'm');
    r.pszManufacturer = longMaker.data();
    ASSERT_EQ(QVDE_EstablishDevice(DEVICE_ENTITY_1, &r, EXISTING_UPDATE, nullptr), 0);
    ASSERT_EQ(QVDE_GetDeviceEntity(1, &e), 0);
    EXPECT_EQ(field(e, 0), std::string(255, 'm'));
}

TEST_F(DevStore, HandlesFollowTheirEntriesAcrossRemoval)
{
    int handles[3] = {};
    for (int i = 0; i < 3; ++i) {
        Record r("G" + std::to_string(i));
        ASSERT_EQ(establish(r, EXISTING_UPDATE, &handles[i]), 0);
    }
    EXPECT_EQ(handles[2], 0x7000 - 2);
    EXPECT_EQ(QVDE_RemoveDevice(handles[0]), 0);
    EXPECT_EQ(count(), 2);
    EXPECT_EQ(guidAt(1), "G2");
    EXPECT_EQ(QVDE_UpdateHealth(handles[2], h_critical), 0);
    stDeviceEntity2 e{};
    ASSERT_EQ(QVDE_GetDeviceEntity(1, &e), 0);
    EXPECT_EQ(e.health, h_critical);
    EXPECT_EQ(QVDE_RemoveDevice(handles[0]), 0);   // already gone: nothing to remove
    EXPECT_EQ(count(), 2);
}

TEST_F(DevStore, StaleEntriesAreRemovedAndLaterHandlesMoveDown)
{
    int handles[3] = {};
    for (int i = 0; i < 3; ++i) {
        Record r("S" + std::to_string(i));
        ASSERT_EQ(establish(r, EXISTING_UPDATE, &handles[i]), 0);
    }
    // Age the first two entries by rewriting their timestamps in the file.
    std::string file = root.readFile(kData);
    for (size_t entry : {size_t(0), size_t(1)})
        std::memset(file.data() + 24 + 172 * entry, 0, 4);
    root.writeFile(kData, file);
    EXPECT_EQ(QVDE_RemoveStaleEntries(3600), 0);
    EXPECT_EQ(count(), 1);
    EXPECT_EQ(guidAt(0), "S2");
    EXPECT_EQ(QVDE_UpdateHealth(handles[2], h_warning), 0);
    stDeviceEntity2 e{};
    ASSERT_EQ(QVDE_GetDeviceEntity(0, &e), 0);
    EXPECT_EQ(e.health, h_warning);
    EXPECT_EQ(QVDE_UpdateHealth(handles[0], h_warning), QVDE_ERR_INVALID_HANDLE);
}

TEST_F(DevStore, EntityDataIsCopiedIntoTheCallersBufferAndAlwaysTerminated)
{
    Record r("GUID");
    r.set(1, "1.3.6").set(2, "icon-url");
    ASSERT_EQ(establish(r, EXISTING_UPDATE), 0);
    struct Case {
        int size;
        std::vector<std::string> inBuffer;   // fields copied into the buffer, in order
    };
    const Case cases[] = {
        {64, {"GUID", "1.3.6", "icon-url"}},
        {8, {"GUID"}},            // 5 used, 3 left: the rest point into the store
        {17, {"GUID", "1.3.6", "icon-"}},   // a cut text keeps its terminator
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        std::vector<char> buffer(c.size, 'x');
        stDeviceEntity2 e{};
        ASSERT_EQ(QVDE_GetDeviceEntityData(0, &e, buffer.data(), c.size), 0);
        for (unsigned k = 0; k < c.inBuffer.size(); ++k) {
            const char* p = e.*QVDE_TEXT_MEMBER[k];
            EXPECT_TRUE(p >= buffer.data() && p < buffer.data() + c.size);
            EXPECT_EQ(std::string(p), c.inBuffer[k]);
        }
        if (c.inBuffer.size() < 3) {
            EXPECT_EQ(std::string(e.pszURLIcon), "icon-url");
        }
    }
}

TEST_F(DevStore, ApiInfoAndAgentRegistration)
{
    stDevEtyAPIInfo info{};
    EXPECT_EQ(QVDE_RegisterAgent(0), 0);
    EXPECT_EQ(QVDE_RegisterAgent(1), 0);
    EXPECT_EQ(QVDE_RegisterAgent(4), 0);
    EXPECT_EQ(QVDE_GetAPIInfo(&info), 0);
    EXPECT_EQ(info.versionMajor, 1);
    EXPECT_EQ(info.versionMinor, 0);
    EXPECT_EQ(info.iDevEntStructMax, 2);
    EXPECT_EQ(info.capabilities, 5u);
    EXPECT_EQ(QVDE_RegisterAgent(0), 0);
    EXPECT_EQ(QVDE_GetAPIInfo(&info), 0);
    EXPECT_EQ(info.capabilities, 0u);
    EXPECT_EQ(QVDE_GetAPIInfo(nullptr), 0);
}

// Reads a store file directly: its entries' field 17 texts, or false when it does not decode.
bool decodeLocations(const std::string& path, std::vector<std::string>& locations)
{
    std::vector<uint8_t> bytes;
    std::vector<qv::devstore::Entry> entries;
    if (qv::devstore::readStoreFile(path, bytes) != 0 || qv::devstore::decodeStore(bytes, entries) != 0)
        return false;
    locations.clear();
    for (const auto& e : entries) locations.push_back(e.text[17]);
    return true;
}

TEST_F(DevStore, KilledWritersLeaveTheOldOrTheNewStoreAndTheBackup)
{
    // Two saves before the first kill, so a backup exists from then on.
    for (const char* v : {"v0", "v1"}) {
        Record r("CRASH");
        r.set(17, v);
        ASSERT_EQ(establish(r, EXISTING_UPDATE), 0);
    }
    std::mt19937 random(12345);
    int lastSeen = 1;
    for (int round = 0; round < 100; ++round) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (int v = lastSeen + 1;; ++v) {
                Record r("CRASH");
                r.set(17, "v" + std::to_string(v));
                if (establish(r, EXISTING_UPDATE) != 0) _exit(3);
            }
        }
        usleep(std::uniform_int_distribution<useconds_t>(0, 4000)(random));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "writer failed with " << WEXITSTATUS(status);

        std::vector<std::string> now, backup;
        ASSERT_TRUE(decodeLocations(root.at(kData), now)) << "round " << round;
        ASSERT_TRUE(decodeLocations(root.at(kBackup), backup)) << "round " << round;
        ASSERT_EQ(now.size(), 1u);
        ASSERT_EQ(backup.size(), 1u);
        const int seen = std::stoi(now[0].substr(1));
        EXPECT_GE(seen, lastSeen);
        EXPECT_LE(std::stoi(backup[0].substr(1)), seen);
        lastSeen = seen;
    }
    // Leftover temporaries of killed writers are cleared by the next writer.
    Record r("CRASH");
    ASSERT_EQ(establish(r, EXISTING_UPDATE), 0);
    const auto listing = qv::test::runProgram("/bin/ls", {root.at("/var/qvserver")});
    EXPECT_EQ(listing.out.find(".tmp."), std::string::npos) << listing.out;
}

TEST_F(DevStore, ConcurrentWritersLoseNoEntity)
{
    constexpr int kWriters = 4, kEach = 12;
    std::vector<pid_t> writers;
    for (int w = 0; w < kWriters; ++w) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (int i = 0; i < kEach; ++i) {
                Record r("W" + std::to_string(w) + "-" + std::to_string(i));
                if (establish(r, EXISTING_UPDATE) != 0) _exit(1);
            }
            _exit(0);
        }
        writers.push_back(pid);
    }
    for (pid_t pid : writers) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(count(), kWriters * kEach);
}

} // namespace
