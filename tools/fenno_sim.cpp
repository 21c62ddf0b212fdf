// fenno-sim: the simulated amplifier as its own process, reachable over TCP.
#include "sim/sim_device.h"
#include "sim/sim_tcp_server.h"
#include "sim/sim_zwave.h"

#include <CLI/CLI.hpp>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <pthread.h>
#include <signal.h>
#include <string>

namespace {

// "01 02 03 04 05", "01:02:03:04:05" or "0102030405"; five or six bytes, the sixth 0 if absent.
std::optional<std::array<uint8_t, fenno::kBoardCodeSize>> ParseBoard(const std::string& text) {
    std::string hex;
    for (char c : text) {
        if (std::isxdigit(static_cast<unsigned char>(c)))
            hex.push_back(c);
        else if (c != ' ' && c != ':' && c != '-' && c != ',')
            return std::nullopt;
    }
    if (hex.size() % 2 != 0 || hex.size() < 10 || hex.size() > 2 * fenno::kBoardCodeSize)
        return std::nullopt;
    std::array<uint8_t, fenno::kBoardCodeSize> board{};
    for (size_t i = 0; i < hex.size() / 2; ++i)
        board[i] = uint8_t(std::stoi(hex.substr(2 * i, 2), nullptr, 16));
    return board;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Simulated amplifier: answers the Fenno command set over TCP."};

    fenno::SimServerConfig server;
    fenno::SimConfig device;
    std::string model;
    int commandSet = device.identity.commandSet;
    std::string board;
    std::string image;
    int delayMs = 0;
    int learnDelayMs = int(device.learnDelay.count());

    app.add_option("--bind", server.bind, "IPv4 address to listen on")->capture_default_str();
    app.add_option("--port", server.port, "TCP port; 0 picks a free one")->capture_default_str();
    auto* modelOpt = app.add_option("--model", model, "model name (default Fenno)");
    app.add_option("--command-set", commandSet, "command-set version reported by 0x7F")
        ->capture_default_str()
        ->check(CLI::Range(0, 255));
    app.add_option("--board", board, "board code, five or six hex bytes (default 01 02 03 04 05)");
    app.add_option("--image", image, "start from this .mode file instead of the factory image")
        ->check(CLI::ExistingFile);
    app.add_option("--delay-ms", delayMs, "hold every answer this long")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--learn-delay-ms", learnDelayMs, "time until a learned remote key is reported")
        ->capture_default_str()
        ->check(CLI::NonNegativeNumber);
    app.add_option("--silent-after", server.silentAfter,
                   "go silent (no answers, no heartbeat) after N frames")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--bad-check-every", server.badCheckEvery,
                   "give every Nth answer frame a wrong check byte")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--drop-after", server.dropAfter, "close the connection after N frames")
        ->check(CLI::NonNegativeNumber);
    fenno::SimZWaveConfig zwave;
    bool noZWave = false;
    int pressMs = int(zwave.pressDelay.count());
    app.add_flag("--no-zwave", noZWave, "a device without a Z-Wave module (no plugs)");
    app.add_option("--zwave-press-ms", pressMs,
                   "time until the pretend user holds a plug's button when adding or removing")
        ->capture_default_str()
        ->check(CLI::NonNegativeNumber);
    app.add_flag("--zwave-fail-add", zwave.failAdd, "adding a plug fails");
    app.add_flag("--zwave-fail-remove", zwave.failRemove, "removing a plug fails");
    app.add_flag("--zwave-fail-transmit", zwave.failTransmit, "no plug acknowledges a command");
    app.add_flag("--zwave-silent", zwave.silent, "the Z-Wave module answers nothing");
    int removeNode = 0;
    app.add_option("--zwave-remove-node", removeNode,
                   "the plug whose button is held when removing (0: a plug of no network)")
        ->check(CLI::Range(0, 232));
    CLI11_PARSE(app, argc, argv);
    zwave.pressDelay = std::chrono::milliseconds(pressMs);
    zwave.removeNode = uint8_t(removeNode);

    if (!image.empty()) {
        std::string error;
        if (!fenno::LoadSimModeFile(image, device, error)) {
            std::cerr << "fenno-sim: " << error << "\n";
            return 1;
        }
    }
    if (modelOpt->count() > 0) device.identity.model = model;
    device.identity.commandSet = commandSet;
    if (!board.empty()) {
        auto parsed = ParseBoard(board);
        if (!parsed) {
            std::cerr << "fenno-sim: --board needs five or six hex bytes, got \"" << board
                      << "\"\n";
            return 1;
        }
        device.identity.board = *parsed;
    }
    device.learnDelay = std::chrono::milliseconds(learnDelayMs);
    server.answerDelay = std::chrono::milliseconds(delayMs);

    // Block the stop signals before any thread starts, so that only sigwait below sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    fenno::SimDevice sim(device);
    if (!noZWave) sim.SetHomeControl(std::make_unique<fenno::SimZWave>(zwave));
    fenno::SimTcpServer tcp(sim, server);
    if (const int err = tcp.Start(); err != 0) {
        std::cerr << "fenno-sim: cannot listen on " << server.bind << ":" << server.port << ": "
                  << std::strerror(err) << "\n";
        return 1;
    }
    std::printf("listening on %s:%u\n", tcp.Host().c_str(), unsigned(tcp.Port()));
    std::fflush(stdout);

    int sig = 0;
    sigwait(&stopSignals, &sig);
    tcp.Stop();
    return 0;
}
