#include "protocol/bytes.h"
#include "protocol/device_info.h"
#include "protocol/param_store.h"
#include "protocol/param_table.h"
#include "sim/sim_device.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>
#include <vector>

namespace fenno {
namespace {

using Bytes = std::vector<uint8_t>;

// A device with its answers recorded.
struct Rig {
    explicit Rig(SimConfig config = {}) : device(std::move(config)) {
        device.SetOutput([this](const uint8_t* p, size_t n) { out.emplace_back(p, p + n); });
    }
    std::vector<Bytes> Send(const Bytes& payload) {
        out.clear();
        device.HandlePayload(payload.data(), payload.size());
        return out;
    }
    Bytes One(const Bytes& payload) {
        auto a = Send(payload);
        return a.size() == 1 ? a[0] : Bytes{};
    }
    SimDevice device;
    std::vector<Bytes> out;
};

Bytes ParamWrite(int module, int index, std::initializer_list<uint32_t> words) {
    Bytes p{0x09, 0x00, uint8_t(module), uint8_t(index), uint8_t(words.size())};
    for (uint32_t w : words) {
        uint8_t b[4];
        StoreBe32(b, w);
        p.insert(p.end(), b, b + 4);
    }
    return p;
}

DeviceImageBytes Factory() {
    ParamStore s;
    s.LoadFactoryImage();
    return s.image;
}

// The PC waits for an answer to everything it sends, except a key learn (the answer comes when
// the key is pressed) and the farewell. A missing or doubled answer stalls or confuses it.
TEST(SimDeviceTest, EveryPacedCommandGetsExactlyOneAnswer) {
    struct Case {
        Bytes payload;
        size_t answers;
        uint8_t code;
    };
    Bytes keys{0x63};
    keys.resize(31, 0x11);
    Bytes settings{0x91};
    settings.resize(15, 0x22);
    const std::vector<Case> cases = {
        {{0x03, 1}, 1, 0x03},
        {{0x04, 1}, 1, 0x04},
        {{0x05, 1}, 1, 0x05},
        {{0x06, 1}, 1, 0x06},
        {{0x05, 9}, 1, 0x05}, // a bad mode number still releases the PC
        {{0x07}, 1, 0x07},
        {ParamWrite(1, 14, {0x3F000000}), 1, 0x09},
        {ParamWrite(99, 1, {0}), 1, 0x09}, // unknown parameter: acknowledged, nothing written
        {{0x0E}, 1, 0x0E},
        {{0x12, 5, 0x01, 0x03, 0x00, 0x02, 0xFE}, 1, 0x12},
        {{0x13, 0x00, 0x1C, 0x01, 0x05}, 1, 0x13},
        {{0x14, 0x00, 0x1C, 0x1C}, 1, 0x14},
        {{0x30, 0x00, 0x00, 0x38}, 1, 0x30},
        {{0x31, 0x00, 0x00, 0x01, 0x00}, 1, 0x31},
        {{0x32}, 1, 0x32},
        {{0x60, 3}, 0, 0},
        {{0x61}, 1, 0x61},
        {{0x62}, 1, 0x62},
        {keys, 1, 0x63},
        {{0x68, 0xAA}, 1, 0x68},
        {{0x7E}, 1, 0x7E},
        {{0x7F}, 1, 0x7F},
        {{0x80}, 1, 0x80},
        {{0x81}, 1, 0x81},
        {{0x85, 0x00, 0x00, 0x01, 0x00}, 1, 0x85},
        {{0x8A}, 0, 0},
        {settings, 1, 0x91},
        {{0x92}, 1, 0x92},
    };
    Rig rig;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "command 0x" << std::hex << int(c.payload[0]));
        auto answers = rig.Send(c.payload);
        ASSERT_EQ(answers.size(), c.answers);
        if (c.answers) {
            EXPECT_EQ(answers[0][0], c.code);
        }
    }
    EXPECT_EQ(rig.device.FramesIn(0x05), 2u);
    EXPECT_EQ(rig.device.FramesOut(0x05), 2u);
    EXPECT_EQ(rig.device.FramesOut(0x60), 0u);
    EXPECT_EQ(rig.device.TotalFramesIn(), cases.size());
    EXPECT_EQ(rig.device.TotalFramesOut(), cases.size() - 2);
}

TEST(SimDeviceTest, IdentityAnswersCarryTheConfiguredIdentity) {
    SimConfig config;
    config.identity.model = "Belto";
    config.identity.commandSet = 23;
    config.identity.board = {0x55, 0x10, 0x20, 0x30, 0x40, 0x50};
    Rig custom(config);
    Rig standard;
    struct Case {
        Rig* rig;
        Bytes query;
        Bytes answer;
    };
    const std::vector<Case> cases = {
        {&standard, {0x80}, {0x80, 'F', 'e', 'n', 'n', 'o', 0}},
        {&standard, {0x81}, {0x81, '2', '0', '1', '8', '-', '0', '9', '-', '2', '0', 0}},
        {&standard, {0x7E}, {0x7E, '2', '0', '1', '8', '-', '0', '9', '-', '2', '0', 0}},
        // version in p[2], board code word in p[4..7], half-word in p[8..9] once prefixed
        {&standard, {0x7F}, {0x7F, 24, 0, 0x01, 0x02, 0x03, 0x04, 0x05, 0x00}},
        {&custom, {0x80}, {0x80, 'B', 'e', 'l', 't', 'o', 0}},
        {&custom, {0x7F}, {0x7F, 23, 0, 0x55, 0x10, 0x20, 0x30, 0x40, 0x50}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.rig->One(c.query), c.answer);
}

TEST(SimDeviceTest, OverlongModelNameIsCutToOnePayload) {
    SimConfig config;
    config.identity.model = std::string(80, 'x');
    Rig rig(config);
    Bytes a = rig.One({0x80});
    ASSERT_EQ(a.size(), size_t(kMaxTextAnswer) + 2);
    EXPECT_EQ(a.back(), 0);
}

// 0x09 must land in the record of (module, index) and nowhere else.
TEST(SimDeviceTest, ParamWriteChangesOnlyTheAddressedRecord) {
    struct Case {
        const char* what;
        int module, index;
        std::vector<uint32_t> words;
        size_t written; // words expected in memory
    };
    const std::vector<Case> cases = {
        {"first record of the section", 1, 4, {0x3F800001}, 1},
        {"middle record", 1, 14, {0x3ECCCCCD}, 1},
        {"seven-word record", 4, 14, {1, 2, 3, 4, 5, 6, 7}, 7},
        {"leading words only", 5, 27, {0xAAAAAAAA, 0xBBBBBBBB}, 2},
        {"more words than the record holds", 1, 15, {0x11111111, 0x22222222}, 1},
        {"record the PC keeps no slot for", 4, 16, {8}, 1},
        {"last record of the image", 14, 11, {0x12345678}, 1},
        {"unknown parameter", 99, 1, {0xDEADBEEF}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        const DeviceImageBytes before = rig.device.Memory();
        Bytes p{0x09, 0x00, uint8_t(c.module), uint8_t(c.index), uint8_t(c.words.size())};
        for (uint32_t w : c.words) {
            uint8_t b[4];
            StoreBe32(b, w);
            p.insert(p.end(), b, b + 4);
        }
        ASSERT_EQ(rig.One(p), Bytes{0x09});
        DeviceImageBytes expected = before;
        if (c.written > 0) {
            const ParamEntry* row = FindParam(c.module, c.index);
            ASSERT_NE(row, nullptr);
            for (size_t w = 0; w < c.written; ++w)
                StoreBe32(&expected[row->ValueOffset() + 4 * w], c.words[w]);
        }
        EXPECT_EQ(rig.device.Memory(), expected);
    }
}

TEST(SimDeviceTest, TruncatedParamWriteTakesOnlyTheWordsPresent) {
    Rig rig;
    const DeviceImageBytes before = rig.device.Memory();
    // Claims two words, carries one and a half.
    Bytes p = ParamWrite(4, 14, {0x01020304, 0x05060708});
    p.resize(p.size() - 2);
    EXPECT_EQ(rig.One(p), Bytes{0x09});
    DeviceImageBytes expected = before;
    StoreBe32(&expected[FindParam(4, 14)->ValueOffset()], 0x01020304);
    EXPECT_EQ(rig.device.Memory(), expected);
}

TEST(SimDeviceTest, FindParamRecordWalksTheImagesOwnRecords) {
    const DeviceImageBytes image = Factory();
    for (const ParamEntry& row : ParamTable()) {
        int words = 0;
        ASSERT_EQ(FindParamRecord(image.data(), row.module, row.index, &words), row.ValueOffset());
        EXPECT_EQ(words, row.count);
    }
    // A broken record ends the walk instead of reading garbage as records.
    DeviceImageBytes broken = image;
    broken[kParamSectionOffset + 2] = 0;
    EXPECT_EQ(FindParamRecord(broken.data(), 14, 11), -1);
}

TEST(SimDeviceTest, ModesStoreLoadAndRestore) {
    Rig rig;
    const DeviceImageBytes factory = rig.device.Memory();
    ASSERT_EQ(factory, Factory());

    rig.Send(ParamWrite(1, 14, {0x3E800000}));
    const DeviceImageBytes changed = rig.device.Memory();
    ASSERT_NE(changed, factory);
    EXPECT_EQ(rig.One({0x04, 2}), Bytes{0x04});
    EXPECT_EQ(rig.device.StoredMode(2), changed);
    EXPECT_EQ(rig.device.StoredMode(0), factory);

    // Restoring another mode loads the factory content into memory.
    EXPECT_EQ(rig.One({0x06, 0}), Bytes{0x06});
    EXPECT_EQ(rig.device.Memory(), factory);
    EXPECT_EQ(rig.device.CurrentMode(), 0);

    EXPECT_EQ(rig.One({0x05, 2}), Bytes{0x05});
    EXPECT_EQ(rig.device.Memory(), changed);
    EXPECT_EQ(rig.device.CurrentMode(), 2);
    EXPECT_EQ(rig.One({0x07}), (Bytes{0x07, 2}));

    // Restoring the loaded mode throws its stored change away.
    EXPECT_EQ(rig.One({0x06, 2}), Bytes{0x06});
    EXPECT_EQ(rig.device.StoredMode(2), factory);
    EXPECT_EQ(rig.device.Memory(), factory);

    EXPECT_EQ(rig.One({0x03, 3}), Bytes{0x03});
    EXPECT_EQ(rig.device.CurrentMode(), 3);
    // Out-of-range mode numbers change nothing.
    rig.Send({0x03, 4});
    rig.Send({0x04, 7});
    rig.Send({0x05, 4});
    EXPECT_EQ(rig.device.CurrentMode(), 3);
    EXPECT_EQ(rig.device.Memory(), factory);
}

TEST(SimDeviceTest, MemoryReadsAndWritesStopAtTheirAreas) {
    Rig rig;
    const DeviceImageBytes before = rig.device.Memory();

    // A read at 3880 asking 56 bytes returns the 32 that exist, and says so.
    Bytes a = rig.One({0x30, 0x0F, 0x28, 0x38});
    ASSERT_EQ(a.size(), 4u + 32u);
    EXPECT_EQ(a[3], 32);
    EXPECT_TRUE(std::equal(a.begin() + 4, a.end(), before.begin() + 3880));
    EXPECT_EQ(rig.One({0x30, 0x0F, 0x48, 0x10}), (Bytes{0x30, 0x0F, 0x48, 0x00}));
    // Longer reads than one payload holds are cut to 56.
    EXPECT_EQ(rig.One({0x30, 0x00, 0x00, 0xFF}).size(), 4u + 56u);

    // An image write at 3910 keeps its first two bytes.
    rig.Send({0x31, 0x0F, 0x46, 0x04, 0xA1, 0xA2, 0xA3, 0xA4});
    DeviceImageBytes expected = before;
    expected[3910] = 0xA1;
    expected[3911] = 0xA2;
    EXPECT_EQ(rig.device.Memory(), expected);

    // An EQ image write may not reach the parameter section at 1835.
    rig.Send({0x85, 0x07, 0x29, 0x06, 1, 2, 3, 4, 5, 6}); // offset 1833
    expected[1833] = 1;
    expected[1834] = 2;
    EXPECT_EQ(rig.device.Memory(), expected);
    rig.Send({0x85, 0x07, 0x2B, 0x01, 9}); // offset 1835: refused
    EXPECT_EQ(rig.device.Memory(), expected);

    // A write whose count claims more bytes than the payload has takes what is there.
    rig.Send({0x31, 0x00, 0x10, 0x08, 0xB1, 0xB2});
    expected[0x10] = 0xB1;
    expected[0x11] = 0xB2;
    EXPECT_EQ(rig.device.Memory(), expected);
}

TEST(SimDeviceTest, StatusCarriesPitchCodecsAndMovingMeters) {
    SimConfig config;
    config.identity.codecs = {.mic = 3, .music = 1, .ch12 = 4, .ch34 = 2, .ch56 = 1, .ch78 = 3};
    config.decoderFormat = 2;
    Rig rig(config);

    Bytes s1 = rig.One({0x0E});
    ASSERT_EQ(s1.size(), 1u + kStatusBlockSize);
    EXPECT_EQ(s1[1 + 7], 0x52); // factory pitch byte 5, format DTS
    const CodecBoards boards = CodecBoardsFromStatus(s1.data() + 1, kStatusBlockSize);
    EXPECT_EQ(boards.mic, 3);
    EXPECT_EQ(boards.music, 1);
    EXPECT_EQ(boards.ch12, 4);
    EXPECT_EQ(boards.ch34, 2);
    EXPECT_EQ(boards.ch56, 1);
    EXPECT_EQ(boards.ch78, 3);

    // The pitch follows the device's memory: pitch +3 is stored as 8.
    rig.Send(ParamWrite(4, 16, {8}));
    Bytes s2 = rig.One({0x0E});
    EXPECT_EQ(s2[1 + 7] >> 4, 8);
    EXPECT_FALSE(std::equal(s1.begin() + 1, s1.begin() + 7, s2.begin() + 1))
        << "the meters should move from one poll to the next";
    for (int i = 1; i <= 6; ++i)
        EXPECT_LE(s2[i], 60);
}

TEST(SimDeviceTest, LearnedKeyArrivesAfterTheDelayAndIsStored) {
    SimConfig config;
    config.learnDelay = std::chrono::milliseconds(300);
    Rig rig(config);
    const auto before = SimClock::now();
    EXPECT_TRUE(rig.Send({0x60, 5}).empty());
    const auto after = SimClock::now();
    ASSERT_TRUE(rig.device.NextDeadline().has_value());

    rig.device.Tick(before + std::chrono::milliseconds(299));
    EXPECT_TRUE(rig.out.empty());
    rig.device.Tick(after + std::chrono::milliseconds(300));
    const uint8_t v = SimDevice::LearnedCode(5);
    ASSERT_EQ(rig.out.size(), 1u);
    EXPECT_EQ(rig.out[0], (Bytes{0x60, SimDevice::kLearnedRemoteType, 5, v}));
    EXPECT_NE(v, 0);
    EXPECT_EQ(rig.device.KeyTable()[5], v);
    EXPECT_EQ(rig.device.KeyTable()[0], SimDevice::kLearnedRemoteType);
    EXPECT_FALSE(rig.device.NextDeadline().has_value());

    // Sent once only.
    rig.out.clear();
    rig.device.Tick(after + std::chrono::seconds(5));
    EXPECT_TRUE(rig.out.empty());

    // Ending the learning before a key is pressed cancels it.
    rig.Send({0x60, 6});
    rig.Send({0x61});
    rig.out.clear();
    rig.device.Tick(SimClock::now() + std::chrono::seconds(5));
    EXPECT_TRUE(rig.out.empty());
    EXPECT_EQ(rig.device.KeyTable()[6], 0);
}

TEST(SimDeviceTest, LearnedCodesAreDistinctPerKey) {
    std::vector<uint8_t> codes;
    for (uint8_t k = 1; k < kRemoteKeyTableSize; ++k)
        codes.push_back(SimDevice::LearnedCode(k));
    std::sort(codes.begin(), codes.end());
    EXPECT_EQ(std::adjacent_find(codes.begin(), codes.end()), codes.end());
}

TEST(SimDeviceTest, KeyTableAndSettingsRoundTrip) {
    Rig rig;
    Bytes table{0x63};
    for (int i = 0; i < kRemoteKeyTableSize; ++i)
        table.push_back(uint8_t(0xC0 + i));
    rig.Send(table);
    Bytes expectKeys{0x62};
    for (int i = 0; i < 16; ++i)
        expectKeys.push_back(uint8_t(0xC0 + i));
    EXPECT_EQ(rig.One({0x62}), expectKeys);
    EXPECT_EQ(rig.device.KeyTable()[29], 0xC0 + 29);

    Bytes settings = rig.One({0x92});
    ASSERT_EQ(settings.size(), 1u + kMachineSettingsSize);
    EXPECT_EQ(settings[1 + 5], 0x63);
    EXPECT_EQ(settings[1 + 6], 0x63);

    Bytes write{0x91};
    for (int i = 0; i < kMachineSettingsSize; ++i)
        write.push_back(uint8_t(i + 1));
    rig.Send(write);
    Bytes expect{0x92};
    for (int i = 0; i < kMachineSettingsSize; ++i)
        expect.push_back(uint8_t(i + 1));
    EXPECT_EQ(rig.One({0x92}), expect);
}

TEST(SimDeviceTest, UsbPaddingDoesNotChangeTheMeaning) {
    // Over USB every payload arrives zero-filled to 60 bytes.
    Rig rig;
    Bytes p = ParamWrite(1, 14, {0x3F000000});
    p.resize(60, 0);
    EXPECT_EQ(rig.One(p), Bytes{0x09});
    EXPECT_EQ(LoadBe32(&rig.device.Memory()[FindParam(1, 14)->ValueOffset()]), 0x3F000000u);
    Bytes read{0x30, 0x00, 0x00, 0x38};
    read.resize(60, 0);
    EXPECT_EQ(rig.One(read).size(), 60u);
}

class SimModeFileTest : public testing::Test {
  protected:
    void SetUp() override {
        m_path = (std::filesystem::temp_directory_path() /
                  ("sim_mode_" + std::to_string(::getpid()) + ".mode"))
                     .string();
    }
    void TearDown() override { std::filesystem::remove(m_path); }

    void Write(int version, const char* model, size_t imageBytes, const DeviceImageBytes& image) {
        DeviceInfo info;
        info.commandVersion = version;
        info.modelName = {};
        std::strncpy(info.modelName.data(), model, info.modelName.size() - 1);
        auto header = info.ToHeader();
        std::ofstream f(m_path, std::ios::binary);
        f.write(reinterpret_cast<const char*>(header.data()), header.size());
        f.write(reinterpret_cast<const char*>(image.data()), std::streamsize(imageBytes));
    }

    std::string m_path;
};

TEST_F(SimModeFileTest, ImageAndHeaderBecomeTheDevice) {
    DeviceImageBytes image = Factory();
    for (int i = 0; i < kEqSectionSize; ++i)
        image[i] = uint8_t(i * 7);
    Write(24, "Gresk", image.size(), image);

    SimConfig config;
    std::string error;
    ASSERT_TRUE(LoadSimModeFile(m_path, config, error)) << error;
    EXPECT_EQ(config.identity.model, "Gresk");
    ASSERT_TRUE(config.image.has_value());
    EXPECT_EQ(*config.image, image);

    Rig rig(config);
    EXPECT_EQ(rig.device.Memory(), image);
    EXPECT_EQ(rig.device.StoredMode(3), image);
    // Restoring factory settings still means the factory image, not the file.
    rig.Send({0x06, 3});
    EXPECT_EQ(rig.device.Memory(), Factory());
}

TEST_F(SimModeFileTest, ShortFileKeepsTheFactoryTail) {
    DeviceImageBytes image{};
    image.fill(0xEE);
    Write(24, "", 100, image);
    SimConfig config;
    std::string error;
    ASSERT_TRUE(LoadSimModeFile(m_path, config, error)) << error;
    EXPECT_EQ(config.identity.model, "Fenno"); // empty header name keeps the default
    const DeviceImageBytes factory = Factory();
    EXPECT_TRUE(std::all_of(config.image->begin(), config.image->begin() + 100,
                            [](uint8_t b) { return b == 0xEE; }));
    EXPECT_TRUE(
        std::equal(config.image->begin() + 100, config.image->end(), factory.begin() + 100));
}

TEST_F(SimModeFileTest, RefusesOtherVersionsAndMissingFiles) {
    Write(23, "Fenno", kDeviceImageSize, Factory());
    SimConfig config;
    std::string error;
    EXPECT_FALSE(LoadSimModeFile(m_path, config, error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(config.image.has_value());
    EXPECT_FALSE(LoadSimModeFile(m_path + ".missing", config, error));
}

} // namespace
} // namespace fenno
