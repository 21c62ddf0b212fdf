#include "protocol/device_info.h"
#include "protocol/device_state.h"
#include "protocol/model_rules.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

using namespace fenno;

namespace {

TEST(DeviceInfo, HeaderLayoutIsLittleEndianVersionThenZeroPaddedTexts) {
    DeviceInfo info;
    info.commandVersion = 24;
    info.boardCode = {0x55, 1, 2, 3};
    const auto h = info.ToHeader();
    EXPECT_EQ(h[0], 24);
    EXPECT_EQ(h[1], 0);
    EXPECT_EQ(h[2], 0);
    EXPECT_EQ(h[3], 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&h[4])), "Unknown");
    EXPECT_EQ(h[4 + 7], 0);
    EXPECT_EQ(h[35], 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&h[36])), "2016-10-03");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&h[47])), "2016-11-30");
    EXPECT_EQ(h[58], 0);
    EXPECT_EQ(h[59], 0);
}

TEST(DeviceInfo, HeaderRoundTripKeepsIdentityButNotBoardCodes) {
    DeviceInfo info;
    info.commandVersion = 0x01020318;
    std::memset(info.modelName.data(), 0, info.modelName.size());
    std::memcpy(info.modelName.data(), "Pellin", 6);
    std::memcpy(info.mcuVersion.data(), "2018-09-20", 10);
    info.boardCode = {0x55, 9, 9, 9};
    const auto h = info.ToHeader();
    DeviceInfo back = DeviceInfo::FromHeader(h.data(), h.size());
    EXPECT_EQ(back.commandVersion, 0x01020318);
    EXPECT_EQ(back.Model(), "Pellin");
    EXPECT_EQ(back.Mcu(), "2018-09-20");
    EXPECT_EQ(back.Dsp(), "2016-11-30");
    EXPECT_EQ(back.boardCode[0], 0); // not part of a mode file
    EXPECT_EQ(back.ToHeader(), h);
}

TEST(DeviceInfo, ShortOrUnterminatedHeaderGivesZerosAndTerminatedTexts) {
    // Only the version's two low bytes arrived.
    const uint8_t shortHeader[] = {24, 0};
    DeviceInfo a = DeviceInfo::FromHeader(shortHeader, sizeof shortHeader);
    EXPECT_EQ(a.commandVersion, 24);
    EXPECT_EQ(a.Model(), "");
    EXPECT_EQ(a.Dsp(), "");

    // A file whose text fields carry no zero byte must not run one text into the next.
    std::array<uint8_t, kModeHeaderSize> h;
    h.fill('A');
    DeviceInfo b = DeviceInfo::FromHeader(h.data(), h.size());
    EXPECT_EQ(b.Model().size(), 31u);
    EXPECT_EQ(b.Mcu().size(), 10u);
    EXPECT_EQ(b.Dsp().size(), 10u);
}

TEST(DeviceInfo, StartUpDefaults) {
    DeviceState state;
    state.info.commandVersion = 24;
    state.info.boardCode = {0x55, 0, 0, 0};
    state.machineSettings.fill(7);
    state.machineSettingsSent.fill(7);
    ResetDeviceDefaults(state);
    const DeviceInfo info = state.Info();
    EXPECT_EQ(info.commandVersion, 17);
    EXPECT_EQ(info.Model(), "Unknown");
    EXPECT_EQ(info.Mcu(), "2016-10-03");
    EXPECT_EQ(info.Dsp(), "2016-11-30");
    EXPECT_EQ(info.boardCode, (std::array<uint8_t, 4>{}));
    EXPECT_EQ(state.machineSettings, (std::array<uint8_t, kMachineSettingsSize>{}));
    std::array<uint8_t, kMachineSettingsSize> sent{};
    sent[5] = sent[6] = 0x63;
    EXPECT_EQ(state.machineSettingsSent, sent);
    EXPECT_FALSE(IsSupportedCommandVersion(info.commandVersion));
    EXPECT_TRUE(IsSupportedCommandVersion(24));
}

struct InputSourceCase {
    const char* model;
    uint8_t source;
    uint8_t expected;
};

TEST(FixInputSource, ReplacesOnlyValuesTheModelLacks) {
    const InputSourceCase cases[] = {
        {"Fenno", 4, 0},   {"Fenno", 6, 6}, {"Orvel", 12, 0},   {"Istren", 4, 4},
        {"Istren", 7, 5},  {"Gresk", 4, 3}, {"Holvar", 12, 12}, {"Belto", 8, 8},
        {"Belto", 0, 11},  {"Nusk", 6, 11}, {"Pellin", 13, 13}, {"Jasko", 9, 9},
        {"Quarn", 5, 0},   {"Arven", 4, 0}, {"Mervo", 3, 0},    {"Rusel", 12, 11},
        {"Unknown", 4, 4}, {"fenno", 4, 4}, // names compare case-sensitively
        {"Zzz", 200, 200},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FixInputSource(c.model, c.source), c.expected)
            << c.model << " source " << int(c.source);
}

TEST(IdentityText, LinesAndCodecNames) {
    DeviceInfo info;
    info.commandVersion = 24;
    std::memcpy(info.modelName.data(), "Fenno\0\0", 8);
    CodecBoards b;
    b.mic = 4;
    b.music = 9; // outside the music table
    b.ch12 = 3;
    b.ch34 = 1;
    b.ch56 = 255;
    b.ch78 = 4;
    const IdentityText t = MakeIdentityText(info, b);
    EXPECT_EQ(t.module, "Module:Fenno");
    EXPECT_EQ(t.mcu, "MCU Ver:2016-10-03 CMD Ver:24");
    EXPECT_EQ(t.dsp, "DSP Ver:2016-11-30");
    EXPECT_EQ(t.codecs,
              "MIC:CS5381\nMusic:未知\nCH12:耳放板\nCH34:AK4396\nCH56:未知\nCH78:PCM1794 ");

    info.commandVersion = 7;
    EXPECT_EQ(MakeIdentityText(info, b).mcu, "MCU Ver:2016-10-03 CMD Ver:07");
}

TEST(IdentityText, CodecBoardsComeFromTheirStatusBytes) {
    std::array<uint8_t, kStatusBlockSize> status{};
    status[16] = 1; // mic
    status[17] = 2; // CH7/8
    status[18] = 3; // CH5/6
    status[19] = 4; // CH3/4
    status[20] = 5; // CH1/2
    status[22] = 6; // music
    const CodecBoards b = CodecBoardsFromStatus(status.data(), status.size());
    EXPECT_EQ(b.mic, 1);
    EXPECT_EQ(b.ch78, 2);
    EXPECT_EQ(b.ch56, 3);
    EXPECT_EQ(b.ch34, 4);
    EXPECT_EQ(b.ch12, 5);
    EXPECT_EQ(b.music, 6);
    EXPECT_EQ(MicCodecName(5), std::string("未知"));
    EXPECT_EQ(MicCodecName(-1), std::string("未知"));
}

TEST(ModelRules, InputPageByModelUnlessTheBoardCodeIsValid) {
    struct Case {
        const char* model;
        uint8_t board0;
        int expected;
    } cases[] = {
        {"Arven", 0, 527},      {"Dunmo", 0, 538},    {"Cirra", 0, 538},   {"Lunra", 0, 536},
        {"Pellin", 0, 541},     {"Rusel", 0, 512},    {"Unknown", 0, 512}, {"Fenno", 0x55, 543},
        {"Unknown", 0x55, 543}, {"Fenno", 0x54, 530},
    };
    for (const auto& c : cases)
        EXPECT_EQ(InputPageTemplate(c.model, c.board0), c.expected) << c.model;
}

TEST(ModelRules, ModelSpecificControls) {
    EXPECT_EQ(MachineSettingsHiddenControls("Jasko").size(), 2u);
    EXPECT_EQ(MachineSettingsHiddenControls("Jasko")[0], 1186);
    EXPECT_TRUE(MachineSettingsHiddenControls("Fenno").empty());
    EXPECT_TRUE(MachineSettingsHiddenControls("Unknown").empty());
    EXPECT_TRUE(HasThirdMic("Pellin"));
    EXPECT_FALSE(HasThirdMic("Fenno"));
    EXPECT_EQ(InputPageExtraControls("Arven", 20).size(), 3u);
    EXPECT_TRUE(InputPageExtraControls("Arven", 24).empty());
    EXPECT_TRUE(InputPageExtraControls("Belto", 20).empty());
    EXPECT_STREQ(ScenesSyncFailedText("Holvar", 1), "Please don't try.");
    EXPECT_STREQ(ScenesSyncFailedText("Fenno", 0),
                 "同步失败！可能智能模块未就绪，请稍等片刻重试！");
}

} // namespace
