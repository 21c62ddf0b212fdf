// The device mode and mode file commands as the user reaches them.
#pragma once

#include <QString>

class QWidget;

namespace fenno {

class CVelkorv13App;

class ModeCommands {
  public:
    static constexpr int kNoteMs = 1100;
    static constexpr int kStoreInfoDelayMs = 500;
    static constexpr int kStoreInfoMs = 2500;

    explicit ModeCommands(CVelkorv13App& app) : m_app(app) {}

    // 32910..32913, 32914..32917, 32823..32826; false for any other id.
    bool OnCommand(int id);

    void LoadMode(int mode);
    void StoreMode(int mode);
    void RestoreMode(int mode);
    void LoadModeFile();
    void SaveModeFile();
    // The open-document request (recent file, double-clicked file, command line).
    void OpenDocument(const QString& path);

    // "请先连接设备!" for 1100 ms when no link is up; true when one is.
    bool RequireLink();

  private:
    // Reads the file into the stores and starts the write job; the pending mode comes from the
    // file name and is kept only when the file was accepted.
    bool LoadAndWrite(const QString& path);
    QWidget* Parent() const;
    int Lang() const;

    CVelkorv13App& m_app;
};

// "一?" … "四?" / "1?" … "4?" after the load and store questions.
QString ModeQuestionSuffix(int language, int mode);

} // namespace fenno
