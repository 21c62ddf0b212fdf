// The real application object on the offscreen platform, with its built-in simulator, plus the
// helpers the app tests share: waiting, answering message boxes, reading the simulator's memory.
#pragma once

#include "app/app_settings.h"
#include "app/main_frame.h"
#include "app/ribbon_bar.h"
#include "app/velkorv13_app.h"
#include "app/velkorv13_view.h"
#include "protocol/bytes.h"
#include "protocol/device.h"
#include "protocol/param_table.h"
#include "protocol/value_kind.h"
#include "sim/sim_device.h"
#include "sim/sim_tcp_server.h"
#include "ui/controls/xbmp_slider.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <vector>

namespace fenno::test {

inline bool WaitFor(const std::function<bool()>& done, int ms = 10000) {
    return QTest::qWaitFor(done, ms);
}

// Fresh per-user settings for every test, never the user's own. Test mode keeps the standard
// folders away from the user's; the settings also get a folder of this process alone, so that
// tests running side by side do not clear each other's.
class AppTest : public ::testing::Test {
  protected:
    void SetUp() override {
        QStandardPaths::setTestModeEnabled(true);
        static QTemporaryDir settingsDir;
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());
        AppSettings().Store().clear();
    }
    void TearDown() override { AppSettings().Store().clear(); }
};

// Answers every message box that appears, in order, and remembers what it said.
class BoxAnswerer : public QObject {
  public:
    struct Box {
        QString title;
        QString text;
        QMessageBox::Icon icon;
    };

    explicit BoxAnswerer(std::deque<QMessageBox::StandardButton> answers = {})
        : m_answers(std::move(answers)) {
        connect(&m_poll, &QTimer::timeout, this, &BoxAnswerer::Poll);
        m_poll.start(10);
    }
    void Push(QMessageBox::StandardButton b) { m_answers.push_back(b); }
    const std::vector<Box>& Boxes() const { return m_seen; }
    size_t Count() const { return m_seen.size(); }
    const Box& Last() const { return m_seen.back(); }

  private:
    void Poll() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box || !box->isVisible() || m_handled.contains(box)) continue;
            m_handled << box;
            m_seen.push_back({box->windowTitle(), box->text(), box->icon()});
            QMessageBox::StandardButton b = QMessageBox::NoButton;
            if (!m_answers.empty()) {
                b = m_answers.front();
                m_answers.pop_front();
            }
            QAbstractButton* button = b != QMessageBox::NoButton ? box->button(b) : nullptr;
            if (!button) button = box->defaultButton();
            if (!button && !box->buttons().isEmpty()) button = box->buttons().first();
            QTimer::singleShot(0, button, &QAbstractButton::click);
        }
    }

    QTimer m_poll;
    std::deque<QMessageBox::StandardButton> m_answers;
    std::vector<Box> m_seen;
    QList<QPointer<QMessageBox>> m_handled;
};

struct RigOptions {
    SimConfig sim{};
    int firstAttemptMs = 0;
    bool demo = true;
    std::function<void(AppOptions&)> tweak;
};

// The application as `fenno --demo` runs it.
struct AppRig {
    explicit AppRig(RigOptions o = {}) {
        AppOptions options;
        if (o.demo) options.demo = o.sim;
        options.singleInstance = false;
        options.systemHotplug = false;
        options.firstAttemptMs = o.firstAttemptMs;
        if (o.tweak) o.tweak(options);
        app = std::make_unique<CVelkorv13App>(std::move(options));
        started = app->Start();
    }
    ~AppRig() {
        if (app && app->Frame()) app->Frame()->hide();
    }

    CVelkorv13View& View() { return *app->View(); }
    CMainFrame& Frame() { return *app->Frame(); }
    CRibbonBar& Ribbon() { return Frame().Ribbon(); }
    Device& Dev() { return app->Dev(); }
    SimDevice& Sim() { return *app->DemoDevice(); }

    // Connected, the read finished, the dialog closed and the view's timers running.
    bool WaitSynced(int ms = 15000) {
        return WaitFor(
            [&] { return Dev().IsConnected() && View().StatusPollRunning() && !app->SyncDialog(); },
            ms);
    }
    // Every queued parameter write has reached the simulator and been answered.
    bool Drain() {
        bool ok = Dev().WaitQueueDrained(std::chrono::milliseconds(3000));
        QTest::qWait(20);
        return ok;
    }

    std::unique_ptr<CVelkorv13App> app;
    bool started = false;
};

// The host value the simulator's memory holds for a parameter.
inline double SimValue(const SimDevice& d, int module, int index, int word = 0) {
    auto mem = d.Memory();
    int count = 0;
    int off = FindParamRecord(mem.data(), module, index, &count);
    if (off < 0 || word >= count) return -1e9;
    uint32_t w = LoadBe32(&mem[size_t(off + 4 * word)]);
    return DeviceToHost(FindParam(module, index)->kind, w);
}

inline std::array<uint8_t, 4> SimWord(const SimDevice& d, int module, int index) {
    auto mem = d.Memory();
    int off = FindParamRecord(mem.data(), module, index);
    if (off < 0) return {};
    return {mem[size_t(off)], mem[size_t(off + 1)], mem[size_t(off + 2)], mem[size_t(off + 3)]};
}

// Drags a slider's thumb to a position, as a user would; returns where it ended. A short
// slider with a long range cannot reach every position by dragging.
inline int DragSlider(CXBmpSlider* s, int target) {
    const SliderGeometry g = s->mapping();
    const QPoint from = g.thumbRect(s->getPos()).center();
    QPoint to = from;
    for (int x = 0; x < s->width(); ++x) {
        if (g.dragPos(QPoint(x, from.y())) == target) {
            to = QPoint(x, from.y());
            break;
        }
    }
    QTest::mousePress(s, Qt::LeftButton, {}, from);
    QTest::mouseMove(s, to);
    QTest::mouseRelease(s, Qt::LeftButton, {}, to);
    return s->getPos();
}

inline void SendWheel(QWidget* target, QPoint pos, int notches) {
    QPoint global = target->mapToGlobal(pos);
    QWheelEvent e(pos, global, QPoint(), QPoint(0, 120 * notches), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &e);
}

} // namespace fenno::test
