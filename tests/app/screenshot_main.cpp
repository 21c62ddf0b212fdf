// Renders the main window on the built-in simulator to PNG files, for the README.
// Usage: app_screenshot OUTDIR   (writes main_zh.png and main_en.png)
#include "app/main_frame.h"
#include "app/velkorv13_app.h"
#include "app/velkorv13_view.h"
#include "protocol/device.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QStandardPaths>
#include <QThread>
#include <cstdio>

namespace {

void Spin(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

bool Render(int language, const QString& path) {
    fenno::AppOptions options;
    options.demo = fenno::SimConfig{};
    options.singleInstance = false;
    options.systemHotplug = false;
    fenno::AppSettings().SetLanguage(language);
    fenno::CVelkorv13App app(std::move(options));
    if (!app.Start()) return false;
    // Wait for the connection and the full read, then for the sync dialog to have closed.
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 15000 && !(app.Dev().IsConnected() && app.View()->StatusPollRunning()))
        Spin(50);
    Spin(600);
    QPixmap shot = app.Frame()->grab();
    return shot.save(path);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out);
    bool ok = Render(0, QDir(out).filePath(QStringLiteral("main_zh.png"))) &&
              Render(1, QDir(out).filePath(QStringLiteral("main_en.png")));
    std::printf("%s\n", ok ? "screenshots written" : "screenshots failed");
    return ok ? 0 : 1;
}
