#include "app/mode_commands.h"

#include "app/command_ids.h"
#include "app/main_frame.h"
#include "app/ui_text.h"
#include "app/velkorv13_app.h"
#include "protocol/device.h"
#include "protocol/mode_file.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QThread>
#include <QTimer>

namespace fenno {
namespace {

constexpr int kModeSettleMs = 50; // lets a status poll in flight finish before the mode changes
constexpr const char* kChineseNumbers[4] = {"一", "二", "三", "四"};

QString VersionNotSupported() {
    return QStringLiteral("Mode file version not support!");
}

} // namespace

QString ModeQuestionSuffix(int language, int mode) {
    return language == 1 ? QStringLiteral("%1?").arg(mode + 1)
                         : QString::fromUtf8(kChineseNumbers[mode]) + QStringLiteral("?");
}

QWidget* ModeCommands::Parent() const {
    return m_app.Frame();
}
int ModeCommands::Lang() const {
    return m_app.LanguageIndex();
}

bool ModeCommands::RequireLink() {
    if (m_app.Dev().IsConnected()) return true;
    m_app.ShowInfo(Pick(Lang(), "请先连接设备!", "Please connect device!"), kNoteMs);
    return false;
}

bool ModeCommands::OnCommand(int id) {
    if (id >= cmd::kLoadMode1 && id < cmd::kLoadMode1 + 4) {
        LoadMode(id - cmd::kLoadMode1);
    } else if (id >= cmd::kStoreMode1 && id < cmd::kStoreMode1 + 4) {
        StoreMode(id - cmd::kStoreMode1);
    } else if (id >= cmd::kRestoreMode1 && id < cmd::kRestoreMode1 + 4) {
        RestoreMode(id - cmd::kRestoreMode1);
    } else if (id == cmd::kLoadFile[0] || id == cmd::kLoadFile[1] || id == cmd::kFileOpen) {
        LoadModeFile();
    } else if (id == cmd::kSaveFile[0] || id == cmd::kSaveFile[1] || id == cmd::kFileSave) {
        SaveModeFile();
    } else {
        return false;
    }
    return true;
}

void ModeCommands::LoadMode(int mode) {
    Device& dev = m_app.Dev();
    if (!dev.IsConnected()) return;
    if (dev.State().settingsChanged) {
        QString text = Pick(Lang(), "参数已更改，确定要直接载入模式",
                            "Setting changed ! Are you sure load mode") +
                       ModeQuestionSuffix(Lang(), mode);
        if (QMessageBox::question(Parent(), Pick(Lang(), "信息", "Information"), text,
                                  QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
            return;
    }
    dev.State().ClearStatus();
    dev.Link().statusPoll = false;
    QThread::msleep(kModeSettleMs);
    dev.State().currentMode = mode;
    dev.Cmd().SendCommand({kCmdLoadMode, uint8_t(mode)});
    // The device answers 0x05, which starts the read job that ends this dialog.
    m_app.RunSyncDialog({});
}

void ModeCommands::StoreMode(int mode) {
    Device& dev = m_app.Dev();
    if (!dev.IsConnected()) return;
    QString text = Pick(Lang(), "确定要保存至机器模式", "Save to machine mode ") +
                   ModeQuestionSuffix(Lang(), mode);
    if (QMessageBox::question(Parent(), Pick(Lang(), "信息", "Information"), text,
                              QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    dev.Cmd().SaveDeviceMode(mode);
    QString info =
        Lang() == 1
            ? QStringLiteral("Saving Mode %1 ……").arg(mode + 1)
            : QStringLiteral("正在储存模式%1,请稍等").arg(QString::fromUtf8(kChineseNumbers[mode]));
    QTimer::singleShot(kStoreInfoDelayMs, &m_app,
                       [this, info] { m_app.ShowInfo(info, kStoreInfoMs); });
}

void ModeCommands::RestoreMode(int mode) {
    Device& dev = m_app.Dev();
    if (!dev.IsConnected()) return;
    mode = std::clamp(mode, 0, 3);
    dev.State().ClearStatus();
    dev.Link().statusPoll = false;
    QThread::msleep(kModeSettleMs);
    dev.State().currentMode = mode;
    dev.Cmd().SendCommand({kCmdRestoreMode, uint8_t(mode)});
    m_app.RunSyncDialog({});
}

bool ModeCommands::LoadAndWrite(const QString& path) {
    Device& dev = m_app.Dev();
    ModeFileError error;
    std::string model(dev.State().Info().Model());
    if (!fenno::LoadModeFile(path.toStdString(), dev.Store(), model, &error)) {
        if (error.badVersion || error.message.empty())
            QMessageBox::information(Parent(), QStringLiteral("Info"), VersionNotSupported());
        else
            QMessageBox::warning(Parent(), QStringLiteral("Info"),
                                 QString::fromStdString(error.message));
        return false;
    }
    auto pending = PendingModeFromName(path.toStdString());
    m_app.SetPendingMode(pending ? *pending : -1);
    dev.Jobs().StartWriteJob();
    m_app.Settings().AddRecentFile(path);
    m_app.RunSyncDialog({});
    return true;
}

void ModeCommands::LoadModeFile() {
    if (!RequireLink()) return;
    QString path = m_app.Files().open(Parent(), Pick(Lang(), "载入文件", "LoadFile"));
    if (path.isEmpty()) return;
    LoadAndWrite(path);
}

void ModeCommands::SaveModeFile() {
    if (!RequireLink()) return;
    QString path =
        m_app.Files().save(Parent(), Pick(Lang(), "保存文件", "SaveFile"), QStringLiteral("name"));
    if (path.isEmpty()) return;
    Device& dev = m_app.Dev();
    dev.Cmd().SaveDeviceMode(dev.State().currentMode);
    ModeFileError error;
    if (!fenno::SaveModeFile(path.toStdString(), dev.Store(), dev.State().Info(), &error)) {
        QMessageBox::warning(Parent(), QStringLiteral("Can't write to file"),
                             QString::fromStdString(error.message));
        return;
    }
    m_app.Settings().AddRecentFile(path);
}

void ModeCommands::OpenDocument(const QString& path) {
    QFileInfo info(path);
    if (!info.exists()) {
        QMessageBox::warning(Parent(), QStringLiteral("文件打开错误"),
                             QStringLiteral("文件不存在！"));
        return;
    }
    if (info.suffix().compare(QLatin1String("mode"), Qt::CaseInsensitive) != 0) return;
    if (!m_app.Dev().IsConnected()) return;
    LoadAndWrite(path);
}

} // namespace fenno
