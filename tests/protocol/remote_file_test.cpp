// Remote files: 30 raw bytes, forced extension, short files, crash-safe saving.
#include "protocol/remote_file.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

using namespace fenno;
namespace fs = std::filesystem;

namespace {

struct TempDir {
    TempDir() {
        path = fs::temp_directory_path() /
               ("fenno-remote-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
    std::string File(const std::string& name) const { return (path / name).string(); }
    fs::path path;
};

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

TEST(RemoteFile, ForcedExtension) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"keys.bin", "keys.remo"},
        {"keys.remo", "keys.remo"},
        {"keys", "keys.remo"},
        {"keys.", "keys.remo"},
        {"a.b.c", "a.b.remo"},
        {"/tmp/dir.v2/keys", "/tmp/dir.v2/keys.remo"},
        {"/tmp/dir.v2/k.txt", "/tmp/dir.v2/k.remo"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ForceRemoteExtension(c.in), c.out) << c.in;
}

TEST(RemoteFile, SaveWritesThirtyBytesUnderTheForcedNameAndLoadsThemBack) {
    TempDir dir;
    RemoteKeyTable table{};
    table[0] = 0x01;
    for (int k = 1; k <= 25; ++k)
        table[size_t(k)] = uint8_t(0x80 + k);
    table[29] = 0x5A; // carried along though no key uses it
    std::string path = dir.File("keys.bin");
    ASSERT_TRUE(SaveRemoteFile(path, table));
    EXPECT_EQ(path, dir.File("keys.remo"));
    EXPECT_FALSE(fs::exists(dir.File("keys.bin")));
    EXPECT_EQ(ReadBytes(path), std::vector<uint8_t>(table.begin(), table.end()));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator{}), 1)
        << "no temporary file is left behind";

    RemoteKeyTable back{};
    size_t got = 0;
    std::string again = dir.File("keys.bin"); // loading forces the extension too
    ASSERT_TRUE(LoadRemoteFile(again, back, nullptr, &got));
    EXPECT_EQ(got, 30u);
    EXPECT_EQ(back, table);
}

TEST(RemoteFile, LoadFillsOnlyWhatTheFileHolds) {
    TempDir dir;
    struct Case {
        const char* name;
        size_t fileSize;
        size_t read;
    } cases[] = {{"short file", 10, 10}, {"empty file", 0, 0}, {"longer file", 40, 30}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes(c.fileSize);
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = uint8_t(0xC0 + i);
        std::string path = dir.File("short.remo");
        WriteBytes(path, bytes);
        RemoteKeyTable table;
        table.fill(0x11);
        size_t got = 99;
        ASSERT_TRUE(LoadRemoteFile(path, table, nullptr, &got));
        EXPECT_EQ(got, c.read);
        for (size_t i = 0; i < table.size(); ++i)
            EXPECT_EQ(table[i], i < c.read ? uint8_t(0xC0 + i) : 0x11) << i;
    }
}

TEST(RemoteFile, MissingFileLeavesTheTableAndNamesTheFile) {
    TempDir dir;
    RemoteKeyTable table;
    table.fill(0x22);
    RemoteFileError err;
    std::string path = dir.File("none.remo");
    EXPECT_FALSE(LoadRemoteFile(path, table, &err));
    EXPECT_EQ(err.code, ENOENT);
    EXPECT_NE(err.message.find(path), std::string::npos);
    EXPECT_TRUE(std::all_of(table.begin(), table.end(), [](uint8_t v) { return v == 0x22; }));
}

TEST(RemoteFile, FailedSaveReportsAndKeepsWhatWasThere) {
    TempDir dir;
    RemoteFileError err;
    std::string path = dir.File("no-such-folder/keys.remo");
    EXPECT_FALSE(SaveRemoteFile(path, RemoteKeyTable{}, &err));
    EXPECT_EQ(err.code, ENOENT);
    EXPECT_EQ(err.message,
              "Errcode=2,Can't write to file:\n" + path + "\nProbaby it is write protected.");

    // A folder in the way of the rename: the save fails and leaves no temporary file.
    fs::create_directory(dir.File("taken.remo"));
    std::string taken = dir.File("taken.remo");
    EXPECT_FALSE(SaveRemoteFile(taken, RemoteKeyTable{}, &err));
    EXPECT_TRUE(fs::is_directory(taken));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator{}), 1);
}

} // namespace
