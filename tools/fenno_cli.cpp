// fenno-cli: scriptable access to an amplifier and to mode files, over the same core as the GUI.
#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>

#include "eq/eq_block.h"
#include "eq/filter_kind.h"
#include "link/tcp_link.h"
#include "link/usb_link.h"
#include "protocol/bytes.h"
#include "protocol/device.h"
#include "protocol/mode_file.h"
#include "protocol/plug_record.h"
#include "protocol/remote_file.h"
#include "tools/cli_support.h"

using namespace fenno;
using json = nlohmann::json;
using namespace std::chrono_literals;

namespace {

enum Exit : int {
    kExitOk = 0,
    kExitUsage = 2,
    kExitConnect = 3,
    kExitDevice = 4,
    kExitFile = 5,
};

constexpr auto kDrainBound = 10s;
constexpr auto kReadBound = 30s; // as long as the GUI's sync dialog waits

struct Options {
    std::string tcp;
    bool usb = false;
    bool json = false;
};

std::string Hex(const uint8_t* p, size_t n) {
    std::string s;
    char b[4];
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(b, sizeof b, "%02X", p[i]);
        s += b;
    }
    return s;
}

std::string MismatchText(const DeviceInfo& info) {
    char b[96];
    std::snprintf(b, sizeof b, "E:%s_%02x 通信版本不匹配!", std::string(info.Model()).c_str(),
                  unsigned(info.commandVersion));
    return b;
}

int ParseMode(const std::string& s) {
    if (s.size() == 2 && (s[0] == 'M' || s[0] == 'm') && s[1] >= '1' && s[1] <= '4') return s[1] - '1';
    return -1;
}

// One connected session: connects on construction, says goodbye on Close.
class Session {
public:
    WaitingSink sink; // outlives the device, whose threads post into it
    Device device{&sink};

    int Connect(const Options& opt) {
        if (opt.usb) {
            if (device.OpenUsb() == 1) return kExitOk;
            std::string why = device.Usb().LastOpenError();
            std::cerr << "connection failed: no amplifier (2010:1031) could be opened on USB"
                      << (why.empty() ? "" : ": " + why) << "\n";
            return kExitConnect;
        }
        std::string host = opt.tcp.empty() ? std::string(kDefaultDeviceAddress) : opt.tcp;
        uint16_t port = kDefaultDevicePort;
        if (auto colon = host.rfind(':'); colon != std::string::npos) {
            try {
                int p = std::stoi(host.substr(colon + 1));
                if (p <= 0 || p > 65535) throw std::out_of_range("port");
                port = uint16_t(p);
            } catch (const std::exception&) {
                std::cerr << "bad port in '" << host << "'\n";
                return kExitUsage;
            }
            host.erase(colon);
        }
        int r = device.ConnectTcp(host, port);
        if (r == 1) return kExitOk;
        std::cerr << "connection to " << host << ":" << port << " failed: error " << r;
        if (r > 1) std::cerr << " (" << std::strerror(r) << ")";
        std::cerr << "\n";
        return kExitConnect;
    }

    // Every queued payload out and answered, then the farewell.
    int Close(int code) {
        if (device.IsConnected() && !device.WaitQueueDrained(kDrainBound))
            std::cerr << "warning: the device did not answer every queued command\n";
        device.Disconnect(true);
        return code;
    }

    int VersionCheck() {
        DeviceInfo info = device.State().Info();
        if (!device.IsConnected()) {
            std::cerr << "the link went down while reading\n";
            return kExitDevice;
        }
        if (!IsSupportedCommandVersion(info.commandVersion)) {
            std::cerr << MismatchText(info) << "\n";
            return kExitDevice;
        }
        return kExitOk;
    }

    // A full read with the GUI's time bound; the link is dropped when it runs out.
    int FullRead() {
        std::atomic<bool> done{false};
        std::thread watchdog([&] {
            auto until = std::chrono::steady_clock::now() + kReadBound;
            while (!done && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(20ms);
            if (!done) device.Disconnect(false);
        });
        bool ok = device.Jobs().SynchronizeData();
        done = true;
        watchdog.join();
        if (int v = VersionCheck()) return v;
        if (!ok) {
            std::cerr << "reading the device timed out\n";
            return kExitDevice;
        }
        return kExitOk;
    }
};

json InfoJson(const Device& d, const DeviceState& s) {
    (void)d;
    DeviceInfo info = s.Info();
    uint8_t board[6];
    std::copy(info.boardCode.begin(), info.boardCode.end(), board);
    std::copy(info.boardCodeHalf.begin(), info.boardCodeHalf.end(), board + 4);
    return {{"model", std::string(info.Model())},
            {"mcuVersion", std::string(info.Mcu())},
            {"dspVersion", std::string(info.Dsp())},
            {"commandSet", info.commandVersion},
            {"mode", s.currentMode.load()},
            {"boardCode", Hex(board, 6)}};
}

std::string KindName(int kind) {
    const char* c = KindListCaption(kind, 1);
    return (c && *c) ? c : "kind " + std::to_string(kind);
}

json ParamValueJson(const ParamStore& s, const ParamEntry& e) {
    if (e.kind == ValueKind::Raw) {
        json words = json::array();
        for (int w = 0; w < e.count; ++w) {
            uint32_t word = s.Word(e, w);
            char b[12];
            std::snprintf(b, sizeof b, "%08X", word);
            words.push_back(b);
        }
        return words;
    }
    double v = s.host[ParamRowOf(&e)];
    if (IsIntKind(e.kind)) return int64_t(v);
    return v;
}

json DumpJson(const ParamStore& s, const DeviceInfo& h) {
    json out;
    out["header"] = {{"commandSet", h.commandVersion},
                     {"model", std::string(h.Model())},
                     {"mcuVersion", std::string(h.Mcu())},
                     {"dspVersion", std::string(h.Dsp())}};
    json params = json::array();
    for (const ParamEntry& e : ParamTable())
        params.push_back({{"module", e.module},
                          {"index", e.index},
                          {"kind", ValueKindName(e.kind)},
                          {"value", ParamValueJson(s, e)}});
    out["params"] = params;
    json eq = json::array();
    for (int block = 0; block < kEqBlockCount; ++block) {
        if (block == kRecordEqBlock) continue; // kept on the PC only, not in the file
        int bands = IsOutputBlock(block) ? 15 : kEqBlocks[block].bands;
        for (int b = 0; b < bands; ++b) {
            EqRecord r = s.ReadEqBand(block, b);
            eq.push_back({{"block", block}, {"band", b}, {"kind", r.type}, {"freq", r.freqHz},
                          {"gain", r.gainDb}, {"q", r.q}});
        }
    }
    out["eq"] = eq;
    auto comp = [](const CompressorValues& c) {
        return json{{"threshold", c.threshold}, {"ratio", c.ratio}, {"attack", c.attackMs},
                    {"release", c.releaseMs}};
    };
    json comps = json::array();
    for (const auto& c : s.compressor) comps.push_back(comp(c));
    json speakers = json::array();
    for (int p = 1; p < 9; ++p) speakers.push_back({s.surround.pos[p][0], s.surround.pos[p][1]});
    out["derived"] = {
        {"compressors", comps},
        {"musicCompressor", comp(s.musicCompressor)},
        {"delayModes", s.delayMode},
        {"musicPitch", int(s.musicPitch)},
        {"fbcRates", s.fbcRate},
        {"surround",
         {{"width", s.surround.width},
          {"length", s.surround.length},
          {"listener", {s.surround.pos[0][0], s.surround.pos[0][1]}},
          {"speakers", speakers}}}};
    return out;
}

std::string ParamLine(const ParamStore& s, const ParamEntry& e) {
    json v = ParamValueJson(s, e);
    std::string text = v.is_array() ? v.dump() : v.dump();
    return "module " + std::to_string(e.module) + " index " + std::to_string(e.index) + " (" +
           ValueKindName(e.kind) + "): " + text;
}

std::string BandText(const EqRecord& r) {
    char b[96];
    std::snprintf(b, sizeof b, "%s %dHz %+.1fdB Q %.2f", KindName(r.type).c_str(), r.freqHz,
                  r.gainDb, r.q);
    return b;
}

void PrintDump(const ParamStore& s, const DeviceInfo& h) {
    std::cout << "header: command set " << h.commandVersion << ", model " << h.Model() << ", MCU "
              << h.Mcu() << ", DSP " << h.Dsp() << "\n";
    for (const ParamEntry& e : ParamTable()) std::cout << ParamLine(s, e) << "\n";
    for (int block = 0; block < kEqBlockCount; ++block) {
        if (block == kRecordEqBlock) continue;
        int bands = IsOutputBlock(block) ? 15 : kEqBlocks[block].bands;
        for (int b = 0; b < bands; ++b)
            std::cout << kEqBlocks[block].titleEn << " band " << b + 1 << ": "
                      << BandText(s.ReadEqBand(block, b)) << "\n";
    }
    std::cout << DumpJson(s, h)["derived"].dump(2) << "\n";
}

// Loads a mode file for inspection: no model correction, clear message on failure.
bool LoadForInspection(const std::string& path, ParamStore& store, DeviceInfo& header) {
    ModeFileError err;
    if (LoadModeFile(path, store, "", &err, &header)) return true;
    std::cerr << path << ": " << (err.badVersion ? "not a mode file of command set 24 (" + err.message + ")"
                                                 : err.message)
              << "\n";
    return false;
}


constexpr const char* kSceneNames[kSceneCount] = {"TV", "Movie", "Karaoke", "Music", "PowerON",
                                                  "PowerOFF"};

const char* PlugTypeName(uint8_t type) {
    switch (type) {
    case kPlugSwitch:
        return "switch";
    case kPlugDimmer:
        return "dimmer";
    default:
        return "unknown";
    }
}

std::string StepText(ScenePair step) {
    if (step.node == kDelayStepNode) return "delay " + std::to_string(step.value) + "s";
    if (step.node == kHdmiStepNode) return "HDMI";
    std::string v = step.value == 0    ? "off"
                    : step.value == 99 ? "on"
                    : step.value >= 128 && step.value < 192
                        ? "key " + std::to_string(step.value - 128)
                        : std::to_string(step.value);
    return "node " + std::to_string(step.node) + " " + v;
}

json PlugsJson(const HomeControl& home) {
    json plugs = json::array();
    for (int n : home.PlugNodes()) {
        PlugRecord r = home.GetPlugRecord(n);
        plugs.push_back({{"node", n},
                         {"type", r[0]},
                         {"typeName", PlugTypeName(r[0])},
                         {"name", Utf16ToUtf8(PlugName(r))},
                         {"state", home.NodeState(n)}});
    }
    json scenes = json::array();
    for (int sc = 0; sc < kSceneCount; ++sc) {
        SceneRecord rec = home.GetScene(sc);
        json steps = json::array();
        for (int i = 0; i < kScenePairs; ++i) {
            ScenePair st = SceneStep(rec, i);
            if (st.node != kEmptyStepNode)
                steps.push_back({{"node", st.node}, {"value", st.value}});
        }
        scenes.push_back({{"scene", sc}, {"name", kSceneNames[sc]}, {"steps", steps}});
    }
    return {{"synced", home.Synced()},
            {"controller", home.IsNodePresent(kControllerNode)},
            {"plugs", plugs},
            {"scenes", scenes}};
}

void PrintPlugs(const json& j) {
    std::cout << "controller: " << (j["controller"].get<bool>() ? "present" : "absent") << "\n";
    if (j["plugs"].empty()) std::cout << "no plugs\n";
    for (const auto& p : j["plugs"])
        std::cout << "plug " << p["node"].get<int>() << ": " << p["name"].get<std::string>() << " ("
                  << p["typeName"].get<std::string>() << "), state " << p["state"].get<int>()
                  << "\n";
    for (const auto& sc : j["scenes"]) {
        std::cout << "scene " << sc["scene"].get<int>() << " " << sc["name"].get<std::string>()
                  << ":";
        if (sc["steps"].empty()) std::cout << " empty";
        bool first = true;
        for (const auto& st : sc["steps"]) {
            std::cout << (first ? " " : ", ")
                      << StepText({st["node"].get<uint8_t>(), st["value"].get<uint8_t>()});
            first = false;
        }
        std::cout << "\n";
    }
}
} // namespace

int main(int argc, char** argv) {
    CLI::App app{"fenno-cli: talk to a Fenno amplifier or inspect mode files"};
    app.require_subcommand(1);
    Options opt;
    auto* tcpOpt = app.add_option("--tcp", opt.tcp, "amplifier address HOST[:PORT] (default port 30303)");
    app.add_flag("--usb", opt.usb, "use the USB cable")->excludes(tcpOpt);
    app.add_flag("--json", opt.json, "print JSON");

    auto* info = app.add_subcommand("info", "identity and current mode");
    std::string readPath, writePath, factoryPath, dumpPath, diffA, diffB;
    auto* read = app.add_subcommand("read", "read the whole device and save it as a mode file");
    read->add_option("FILE", readPath, "mode file to write")->required();
    auto* write = app.add_subcommand("write", "load a mode file into the device (and its mode from the name)");
    write->add_option("FILE", writePath, "mode file to send")->required();
    int setModule = 0, setIndex = 0;
    double setValue = 0;
    auto* set = app.add_subcommand("set", "set one parameter (value as the parameter's kind takes it)");
    set->add_option("MODULE", setModule)->required();
    set->add_option("INDEX", setIndex)->required();
    set->add_option("VALUE", setValue)->required();
    int eqBlock = 0, eqBand = 0, eqKind = 1, eqFreq = 1000;
    float eqGain = 0, eqQ = 1.41f;
    auto* eq = app.add_subcommand("eq", "set one EQ band");
    eq->add_option("BLOCK", eqBlock)->required()->check(CLI::Range(0, 23));
    eq->add_option("BAND", eqBand)->required();
    eq->add_option("KIND", eqKind)->required()->check(CLI::Range(0, 21));
    eq->add_option("FREQ", eqFreq)->required()->check(CLI::Range(20, 20000));
    eq->add_option("GAIN", eqGain)->required()->check(CLI::Range(-15.0, 15.0));
    eq->add_option("Q", eqQ)->required()->check(CLI::Range(0.1, 30.0));
    std::string modeAction, modeName;
    auto* mode = app.add_subcommand("mode", "load, store or restore a device mode");
    mode->add_option("ACTION", modeAction)->required()->check(CLI::IsMember({"load", "store", "factory"}));
    mode->add_option("MODE", modeName, "M1..M4")->required();
    auto* factory = app.add_subcommand("factory", "write the factory image as a mode file");
    factory->add_option("FILE", factoryPath)->required();
    auto* dump = app.add_subcommand("dump", "print a mode file");
    dump->add_option("FILE", dumpPath)->required();
    auto* diff = app.add_subcommand("diff", "the parameters and bands that differ between two mode files");
    diff->add_option("A", diffA)->required();
    diff->add_option("B", diffB)->required();
    auto* plugs =
        app.add_subcommand("plugs", "read the Z-Wave node list, the plug records and the scenes");
    std::string remoteReadPath, remoteWritePath;
    auto* remoteRead = app.add_subcommand(
        "remote-read", "save the remote key table as a .remo file (the device gives bytes 0..15)");
    remoteRead
        ->add_option("FILE", remoteReadPath, "remote file to write (extension forced to .remo)")
        ->required();
    auto* remoteWrite = app.add_subcommand("remote-write", "load a .remo file into the device");
    remoteWrite
        ->add_option("FILE", remoteWritePath, "remote file to send (extension forced to .remo)")
        ->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int code = app.exit(e);
        return code == 0 ? kExitOk : kExitUsage;
    }

    // Commands on files alone.
    if (*factory) {
        ParamStore store; // starts as the factory image
        DeviceInfo header;
        header.commandVersion = kRequiredCommandVersion;
        ModeFileError err;
        if (!SaveModeFile(factoryPath, store, header, &err)) {
            std::cerr << err.message << "\n";
            return kExitFile;
        }
        if (!opt.json) std::cout << "wrote the factory image to " << factoryPath << "\n";
        return kExitOk;
    }
    if (*dump) {
        ParamStore store;
        DeviceInfo header;
        if (!LoadForInspection(dumpPath, store, header)) return kExitFile;
        if (opt.json) std::cout << DumpJson(store, header).dump(2) << "\n";
        else PrintDump(store, header);
        return kExitOk;
    }
    if (*diff) {
        ParamStore a, b;
        DeviceInfo ha, hb;
        if (!LoadForInspection(diffA, a, ha) || !LoadForInspection(diffB, b, hb)) return kExitFile;
        json changes = json::array();
        for (const ParamEntry& e : ParamTable()) {
            json va = ParamValueJson(a, e), vb = ParamValueJson(b, e);
            if (va != vb)
                changes.push_back({{"module", e.module}, {"index", e.index},
                                   {"kind", ValueKindName(e.kind)}, {"a", va}, {"b", vb}});
        }
        json bands = json::array();
        for (int block = 0; block < kEqBlockCount; ++block) {
            if (block == kRecordEqBlock) continue;
            int n = IsOutputBlock(block) ? 15 : kEqBlocks[block].bands;
            for (int band = 0; band < n; ++band) {
                if (std::equal(a.EqRecordAt(block, band), a.EqRecordAt(block, band) + kEqRecordSize,
                               b.EqRecordAt(block, band)))
                    continue;
                bands.push_back({{"block", block}, {"title", kEqBlocks[block].titleEn},
                                 {"band", band}, {"a", BandText(a.ReadEqBand(block, band))},
                                 {"b", BandText(b.ReadEqBand(block, band))}});
            }
        }
        bool other = !std::equal(a.image.begin() + kSurroundLevelOffset,
                                 a.image.begin() + kParamSectionOffset,
                                 b.image.begin() + kSurroundLevelOffset);
        if (opt.json) {
            std::cout << json{{"params", changes}, {"eq", bands}, {"surroundDiffers", other}}.dump(2)
                      << "\n";
        } else {
            for (const auto& c : changes)
                std::cout << "module " << c["module"] << " index " << c["index"] << " ("
                          << c["kind"].get<std::string>() << "): " << c["a"].dump() << " -> "
                          << c["b"].dump() << "\n";
            for (const auto& c : bands)
                std::cout << c["title"].get<std::string>() << " band " << c["band"].get<int>() + 1
                          << ": " << c["a"].get<std::string>() << " -> " << c["b"].get<std::string>()
                          << "\n";
            if (other) std::cout << "surround levels or layout differ\n";
            if (changes.empty() && bands.empty() && !other) std::cout << "no differences\n";
        }
        return kExitOk;
    }

    // Commands on a device.
    Session s;
    if (int c = s.Connect(opt)) return c;
    Device& d = s.device;

    if (*info) {
        bool ok = d.Jobs().ReadIdentity();
        if (int v = s.VersionCheck()) return s.Close(v);
        if (!ok) return s.Close(kExitDevice);
        json j = InfoJson(d, d.State());
        if (opt.json) {
            std::cout << j.dump() << "\n";
        } else {
            std::cout << "model:       " << j["model"].get<std::string>() << "\n"
                      << "MCU version: " << j["mcuVersion"].get<std::string>() << "\n"
                      << "DSP version: " << j["dspVersion"].get<std::string>() << "\n"
                      << "command set: " << j["commandSet"].get<int>() << "\n"
                      << "mode:        M" << j["mode"].get<int>() + 1 << "\n"
                      << "board code:  " << j["boardCode"].get<std::string>() << "\n";
        }
        return s.Close(kExitOk);
    }
    if (*read) {
        if (int c = s.FullRead()) return s.Close(c);
        ModeFileError err;
        if (!SaveModeFile(readPath, d.Store(), d.State().Info(), &err)) {
            std::cerr << err.message << "\n";
            return s.Close(kExitFile);
        }
        if (opt.json) std::cout << InfoJson(d, d.State()).dump() << "\n";
        else std::cout << "saved " << readPath << "\n";
        return s.Close(kExitOk);
    }
    if (*write) {
        // The device must speak our command set before it receives an image.
        if (!d.Jobs().ReadIdentity()) {
            int v = s.VersionCheck();
            return s.Close(v ? v : kExitDevice);
        }
        ModeFileError err;
        if (!LoadModeFile(writePath, d.Store(), d.State().Info().Model(), &err)) {
            std::cerr << writePath << ": " << err.message << "\n";
            return s.Close(kExitFile);
        }
        std::optional<int> pending = PendingModeFromName(writePath);
        d.Jobs().StartWriteJob();
        if (!s.sink.WaitFor(kEvSyncDone, kReadBound)) {
            std::cerr << "writing the device timed out\n";
            d.Disconnect(false);
            return kExitDevice;
        }
        if (pending) {
            d.Cmd().SendCommand({kCmdSetCurrentMode, uint8_t(*pending)});
            std::this_thread::sleep_for(20ms);
            d.Cmd().SaveDeviceMode(*pending);
        }
        if (!opt.json) {
            std::cout << "wrote " << writePath;
            if (pending) std::cout << " and stored it as M" << *pending + 1;
            std::cout << "\n";
        }
        return s.Close(kExitOk);
    }
    if (*set) {
        const ParamEntry* e = FindParam(setModule, setIndex);
        if (!e) {
            std::cerr << "no parameter at module " << setModule << " index " << setIndex << "\n";
            return s.Close(kExitUsage);
        }
        if (e->kind == ValueKind::Raw) {
            std::cerr << "module " << setModule << " index " << setIndex
                      << " has no single value; it is written by its own editor\n";
            return s.Close(kExitUsage);
        }
        d.Cmd().SetParam(setModule, setIndex, setValue);
        return s.Close(kExitOk);
    }
    if (*eq) {
        if (eqBand < 0 || eqBand >= BandCount(eqBlock)) {
            std::cerr << "block " << eqBlock << " has bands 0.." << BandCount(eqBlock) - 1 << "\n";
            return s.Close(kExitUsage);
        }
        d.Cmd().SetEqBand(eqBlock, eqBand, eqKind, eqFreq, eqGain, eqQ);
        return s.Close(kExitOk);
    }
    if (*plugs) {
        d.Home().SynchronizeReadZWAVEThreadProc();
        // The job does not wait for the answer to its last read; the listing must.
        if (d.Link().replyEvent.Wait(2000ms)) d.Link().replyEvent.Set();
        json j = PlugsJson(d.Home());
        if (opt.json)
            std::cout << j.dump(2) << "\n";
        else
            PrintPlugs(j);
        if (!d.Home().Synced()) {
            std::cerr << "the Z-Wave module did not answer with a node list that holds its "
                         "controller\n";
            return s.Close(kExitDevice);
        }
        return s.Close(kExitOk);
    }
    if (*remoteRead) {
        if (!d.Home().ReadRemoteKeyTable()) {
            std::cerr << "the device did not report its remote key table\n";
            return s.Close(kExitDevice);
        }
        RemoteFileError err;
        std::string path = remoteReadPath;
        if (!SaveRemoteFile(path, d.Home().RemoteKeyTable(), &err)) {
            std::cerr << err.message << "\n";
            return s.Close(kExitFile);
        }
        const RemoteKeyTable saved = d.Home().RemoteKeyTable();
        if (opt.json)
            std::cout << json{{"file", path}, {"table", Hex(saved.data(), saved.size())}}.dump()
                      << "\n";
        else
            std::cout << "saved " << path << "\n";
        return s.Close(kExitOk);
    }
    if (*remoteWrite) {
        // A short file keeps the rest of the table: start from what the device reports.
        d.Home().ReadRemoteKeyTable();
        RemoteKeyTable table = d.Home().RemoteKeyTable();
        RemoteFileError err;
        std::string path = remoteWritePath;
        size_t got = 0;
        if (!LoadRemoteFile(path, table, &err, &got)) {
            std::cerr << err.message << "\n载入遥控文件失败\n";
            return s.Close(kExitFile);
        }
        d.Home().SetRemoteKeyTable(table);
        d.Home().SendRemoteKeyTable();
        if (opt.json)
            std::cout << json{{"file", path},
                              {"bytes", got},
                              {"table", Hex(table.data(), table.size())}}
                             .dump()
                      << "\n";
        else
            std::cout << "sent " << got << " bytes of " << path << "\n";
        return s.Close(kExitOk);
    }
    if (*mode) {
        int m = ParseMode(modeName);
        if (m < 0) {
            std::cerr << "mode must be M1..M4\n";
            return s.Close(kExitUsage);
        }
        if (modeAction == "store") {
            d.Cmd().SaveDeviceMode(m);
            return s.Close(kExitOk);
        }
        // The device answers a load or restore and the program reads everything again.
        d.State().currentMode = m;
        d.Cmd().SendCommand({modeAction == "load" ? kCmdLoadMode : kCmdRestoreMode, uint8_t(m)});
        if (!s.sink.WaitFor(kEvSyncDone, kReadBound)) {
            std::cerr << "the device did not answer the mode command\n";
            return s.Close(kExitDevice);
        }
        if (int v = s.VersionCheck()) return s.Close(v);
        if (opt.json) std::cout << InfoJson(d, d.State()).dump() << "\n";
        return s.Close(kExitOk);
    }
    return s.Close(kExitUsage);
}
