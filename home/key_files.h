// The plugs' key files: one XML file per Z-Wave node under <documents>/Fenno/Plug, naming the
// plug's 32 infrared key slots and recording which of them are learned.
#pragma once

#include "home/key_file_xml.h"

#include <QList>
#include <QString>
#include <functional>

namespace fenno {

// Shown (by whoever installs the directory failure handler) when the key directory is missing
// and cannot be made.
inline constexpr char kKeyDirFailedText[] = "创建Key目录失败!";

// A key file far beyond 32 short lines is not one of ours; refusing it keeps memory bounded.
inline constexpr qint64 kMaxKeyFileBytes = 4 * 1024 * 1024;

struct KeyEntry {
    int index = 0;
    QString name;
    int status = 0; // 1 learned, 0 not
};

// Every operation reports failure only through its result; `error`, when given, receives a
// sentence for the developer or a log. Files are replaced atomically, so a failed write leaves
// the previous file as it was.
class KeyFiles {
  public:
    using FailureHandler = std::function<void(const QString& text)>;

    // Files live under <documentsDir>/Fenno/Plug; an empty documentsDir stands for the user's
    // documents folder.
    explicit KeyFiles(QString documentsDir = {});

    // Called with kKeyDirFailedText each time the key directory cannot be made; the GUI shows
    // it in a message box.
    void SetDirectoryFailureHandler(FailureHandler handler) { m_onDirFailure = std::move(handler); }

    // Makes every missing directory of the path first. On failure the handler runs and the path
    // is still returned, so the file operation that needed it fails in its turn.
    QString KeyDirectory() const;
    QString KeyFilePath(int node) const;
    bool KeyFileExists(int node) const;

    // Writes the new-file layout (Key1..Key32, none learned), replacing any existing file.
    bool CreateKeyFile(int node, QString* error = nullptr) const;
    // Every Key child of the root in file order. `keys` is left alone on failure.
    bool ReadKeys(int node, QList<KeyEntry>* keys, QString* error = nullptr) const;
    // Empty when the file is missing, unreadable or damaged, or no element has Index k.
    // Never creates the file.
    QString GetKeyName(int node, int k) const;
    // Change one attribute of the first Key element with Index k and leave every other byte of
    // the file as it was. Nothing is written when the file is missing or damaged or has no
    // such element.
    bool SetKeyName(int node, int k, const QString& name, QString* error = nullptr) const;
    bool SetKeyStatus(int node, int k, int status, QString* error = nullptr) const;

    // A missing file is not an error.
    bool DeleteKeyFile(int node, QString* error = nullptr) const;
    // Deletes every file in the key directory and its sub-directories; the directories stay.
    bool DeleteAllKeyFiles(QString* error = nullptr) const;

  private:
    bool UpdateKeyAttribute(int node, int k, std::string_view attribute, const std::string& value,
                            QString* error) const;

    QString m_documentsDir;
    FailureHandler m_onDirFailure;
};

} // namespace fenno
