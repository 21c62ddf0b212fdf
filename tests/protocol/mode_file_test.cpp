#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

#include <filesystem>
#include <fstream>

#include "protocol/device_state.h"
#include "protocol/mode_file.h"

using namespace fenno;
namespace fs = std::filesystem;

namespace {

struct ModeFileTest : ::testing::Test {
    fs::path dir;
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("fenno-mode-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        fs::permissions(dir, fs::perms::owner_all);
        fs::remove_all(dir);
    }
    std::vector<uint8_t> Read(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    void Write(const fs::path& p, const std::vector<uint8_t>& bytes) {
        std::ofstream out(p, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    DeviceInfo Info24() {
        DeviceInfo i;
        i.commandVersion = 24;
        return i;
    }
};

TEST_F(ModeFileTest, SaveThenLoadReproducesTheImageWithEqChanges) {
    ParamStore a;
    a.eq[EqRecordOffset(9, 2) + 3] = 0x77; // an EQ edit not yet in the image
    a.image[3000] = 0x5A;
    fs::path p = dir / "club.mode";
    ASSERT_TRUE(SaveModeFile(p, a, Info24()));
    auto bytes = Read(p);
    ASSERT_EQ(bytes.size(), size_t(kModeFileSize));
    EXPECT_EQ(bytes[0], 24);
    EXPECT_EQ(bytes[1], 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[4])), "Unknown");

    ParamStore b;
    ASSERT_TRUE(LoadModeFile(p, b, "Unknown"));
    EXPECT_EQ(b.image, a.image);
    EXPECT_EQ(b.eq[EqRecordOffset(9, 2) + 3], 0x77);
}

TEST_F(ModeFileTest, RefusedFilesLeaveTheStoresAlone) {
    ParamStore good;
    ParamStore s;
    s.image[2000] = 0x11;
    auto before = s.image;
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"empty", {}},
        {"three bytes", {24, 0, 0}},
        {"version 23", [] {
             std::vector<uint8_t> v(kModeFileSize, 0);
             v[0] = 23;
             return v;
         }()},
        {"big-endian 24", [] {
             std::vector<uint8_t> v(kModeFileSize, 0);
             v[3] = 24;
             return v;
         }()},
    };
    for (const Case& c : cases) {
        fs::path p = dir / (std::string(c.name) + ".mode");
        Write(p, c.bytes);
        ModeFileError err;
        EXPECT_FALSE(LoadModeFile(p, s, "Fenno", &err)) << c.name;
        EXPECT_TRUE(err.badVersion) << c.name;
        EXPECT_EQ(err.message, "Mode file version not support!");
        EXPECT_EQ(s.image, before) << c.name;
    }
    ModeFileError err;
    EXPECT_FALSE(LoadModeFile(dir / "missing.mode", s, "Fenno", &err));
    EXPECT_EQ(err.code, ENOENT);
}

TEST_F(ModeFileTest, ShortFileKeepsTheRestAndInputSourceFollowsTheModel) {
    ParamStore src;
    const int sourceAt = FindParam(4, 18)->ValueOffset() + 3;
    src.image[sourceAt] = 4;
    src.eq[100] = 0x33; // saving takes the EQ section from the EqImage
    fs::path full = dir / "full.mode";
    ASSERT_TRUE(SaveModeFile(full, src, Info24()));
    auto bytes = Read(full);

    struct Case {
        const char* model;
        uint8_t expect;
    } cases[] = {{"Fenno", 0}, {"Istren", 4}, {"Zzz", 4}};
    for (const Case& c : cases) {
        ParamStore s;
        ASSERT_TRUE(LoadModeFile(full, s, c.model));
        EXPECT_EQ(s.image[sourceAt], c.expect) << c.model;
        EXPECT_EQ(s.Host(4, 18), c.expect) << c.model;
    }

    bytes.resize(kModeHeaderSize + 200);
    fs::path cut = dir / "cut.mode";
    Write(cut, bytes);
    ParamStore s;
    s.image[3900] = 0x44;
    ASSERT_TRUE(LoadModeFile(cut, s, "Zzz"));
    EXPECT_EQ(s.image[100], 0x33);
    EXPECT_EQ(s.image[3900], 0x44);
}

TEST_F(ModeFileTest, SaveFailingHalfWayKeepsThePreviousFile) {
    ParamStore s;
    fs::path p = dir / "keep.mode";
    ASSERT_TRUE(SaveModeFile(p, s, Info24()));
    auto before = Read(p);

    // A file-size limit makes the write stop part-way, as a full disk would (root too).
    struct rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    s.image[3000] ^= 0xFF;
    ModeFileError err;
    bool saved = SaveModeFile(p, s, Info24(), &err);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved);
    EXPECT_EQ(err.code, EFBIG);
    EXPECT_EQ(err.message.rfind("Errcode=27,Can't write to file:\n", 0), 0u) << err.message;
    EXPECT_EQ(Read(p), before);
    for (const auto& entry : fs::directory_iterator(dir))
        EXPECT_EQ(entry.path().filename(), "keep.mode"); // no temporary left behind
}

TEST_F(ModeFileTest, SaveIntoAMissingFolderFailsWithoutCreatingAnything) {
    ParamStore s;
    ModeFileError err;
    EXPECT_FALSE(SaveModeFile(dir / "no" / "such.mode", s, Info24(), &err));
    EXPECT_EQ(err.code, ENOENT);
    EXPECT_FALSE(fs::exists(dir / "no"));
}

TEST(PendingMode, FromFileName) {
    struct Case {
        const char* path;
        std::optional<int> mode;
    } cases[] = {
        {"/x/M3 club.mode", 2}, {"my m1.mode", std::nullopt}, {"m4", 3}, {"M1.MODE", 0},
        {"/m2dir/party.mode", std::nullopt}, {"m5.mode", std::nullopt}, {"m.mode", std::nullopt},
        {"C:\\x\\m2.live.mode", 1},
    };
    for (const Case& c : cases) EXPECT_EQ(PendingModeFromName(c.path), c.mode) << c.path;
}

} // namespace
