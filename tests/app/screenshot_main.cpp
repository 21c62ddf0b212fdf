// Renders the main window on the built-in simulator to PNG files, for the README.
// Usage: app_screenshot OUTDIR   (writes main_zh.png and main_en.png)
#include "app/about_dlg.h"
#include "app/dialog_ip.h"
#include "app/info_dlg.h"
#include "app/main_frame.h"
#include "app/syn_dlg.h"
#include "app/velkorv13_app.h"
#include "app/velkorv13_view.h"
#include "app/wait_dlg.h"
#include "protocol/device.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QStandardPaths>
#include <QThread>
#include <cstdio>

namespace {
using namespace fenno;

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
    if (!shot.save(path)) return false;
    if (!qEnvironmentVariableIsSet("FENNO_SHOT_DIALOGS")) return true;

    // The shell's dialogs, for looking at them; not part of the README.
    const QString base = path.left(path.size() - 4);
    CSynDlg syn(language, {}, app.Frame());
    syn.show();
    Spin(100);
    syn.grab().save(base + "_sync.png");
    QWidget* ip = app.View()->OpenTool(521);
    Spin(100);
    ip->grab().save(base + "_ip.png");
    ip->hide();
    app.ShowInfo(language ? "Mic vol can't over max value!" : "不能超过最大话筒音量!", 5000);
    Spin(100);
    app.InfoBox()->grab().save(base + "_info.png");
    CWaitDlg wait(QStringLiteral("正在添加设备，请按下插座按键……"), 0x4A, 0, 0, app.Frame());
    wait.show();
    Spin(400);
    wait.grab().save(base + "_wait.png");
    bool peak = true;
    CAboutDlg about(MakeIdentityText(app.Dev().State().Info(), app.Codecs()), &peak, app.Frame());
    about.show();
    Spin(100);
    about.grab().save(base + "_about.png");
    return true;
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
