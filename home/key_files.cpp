#include "home/key_files.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>
#include <optional>

namespace fenno {

namespace {

void SetError(QString* error, const QString& text) {
    if (error) *error = text;
}

struct LoadedDocument {
    XmlDocument doc;
    QByteArray bom;          // a UTF-8 byte-order mark goes back where it was
    bool transcoded = false; // decoded from another encoding: saved as UTF-8 from now on
};

std::optional<QStringDecoder> DecoderFor(const XmlSourceEncoding& enc) {
    // Stateless: a character cut off at the end of the file counts as an error.
    constexpr auto kFlags = QStringConverter::Flag::Stateless;
    switch (enc.encoding) {
    case XmlEncoding::Utf8:
        return std::nullopt;
    case XmlEncoding::Utf16LE:
        return QStringDecoder(QStringConverter::Utf16LE, kFlags);
    case XmlEncoding::Utf16BE:
        return QStringDecoder(QStringConverter::Utf16BE, kFlags);
    case XmlEncoding::Utf32LE:
        return QStringDecoder(QStringConverter::Utf32LE, kFlags);
    case XmlEncoding::Utf32BE:
        return QStringDecoder(QStringConverter::Utf32BE, kFlags);
    case XmlEncoding::Named:
        return QStringDecoder(enc.name.c_str(), kFlags);
    }
    return std::nullopt;
}

bool LoadDocument(const QString& path, LoadedDocument* out, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        SetError(error, QStringLiteral("cannot open %1: %2").arg(path, file.errorString()));
        return false;
    }
    const QByteArray bytes = file.read(kMaxKeyFileBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        SetError(error, QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
        return false;
    }
    if (bytes.size() > kMaxKeyFileBytes) {
        SetError(error, QStringLiteral("%1 is too large for a key file").arg(path));
        return false;
    }

    const std::string_view raw(bytes.constData(), size_t(bytes.size()));
    const XmlSourceEncoding enc = DetectXmlEncoding(raw);
    const qsizetype bomLength = qsizetype(enc.bomLength);
    std::optional<QStringDecoder> decoder = DecoderFor(enc);
    if (!decoder) {
        // UTF-8 goes through untouched, invalid sequences included, so that an update
        // rewrites nothing but the one value.
        out->bom = bytes.left(bomLength);
        out->doc = XmlDocument(std::string(raw.substr(size_t(bomLength))));
        out->transcoded = false;
        return true;
    }
    if (!decoder->isValid()) {
        SetError(error, QStringLiteral("%1 uses the unknown encoding %2")
                            .arg(path, QString::fromStdString(enc.name)));
        return false;
    }
    const QString text = decoder->decode(QByteArrayView(bytes).sliced(bomLength));
    // UTF-16 input passes lone surrogates straight through; they would not survive a save.
    if (decoder->hasError() || !QStringView(text).isValidUtf16()) {
        SetError(error, QStringLiteral("%1 is not valid in its own encoding").arg(path));
        return false;
    }
    out->bom.clear();
    out->doc = XmlDocument(text.toStdString());
    out->transcoded = true;
    return true;
}

bool LoadWellFormed(const QString& path, LoadedDocument* out, QString* error) {
    if (!LoadDocument(path, out, error)) return false;
    if (!out->doc.WellFormed()) {
        SetError(error, QStringLiteral("%1 is not well formed (%2)")
                            .arg(path, QString::fromStdString(XmlReasonText(out->doc.Reasons()))));
        return false;
    }
    return true;
}

bool SaveBytes(const QString& path, const QByteArray& bytes, QString* error) {
    // QSaveFile writes beside the target and renames over it, so a failure anywhere keeps the
    // previous file whole. Unbuffered, because a buffered short write (a full disk, a size
    // limit) is flushed at commit without being noticed and the cut file replaces the old one.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        SetError(error, QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        SetError(error, QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        SetError(error, QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
        return false;
    }
    return true;
}

} // namespace

KeyFiles::KeyFiles(QString documentsDir) : m_documentsDir(std::move(documentsDir)) {}

QString KeyFiles::KeyDirectory() const {
    const QString base = m_documentsDir.isEmpty()
                             ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
                             : m_documentsDir;
    // Without a documents folder there is no sensible place; an empty path makes every file
    // operation fail instead of writing under the file-system root.
    const QString dir = base.isEmpty() ? QString() : QDir::cleanPath(base + "/Fenno/Plug");
    if (dir.isEmpty() || !QDir().mkpath(dir)) {
        if (m_onDirFailure) m_onDirFailure(QString::fromUtf8(kKeyDirFailedText));
    }
    return dir;
}

QString KeyFiles::KeyFilePath(int node) const {
    const QString dir = KeyDirectory();
    if (dir.isEmpty()) return {};
    return dir + '/' + QString::number(node) + QStringLiteral(".xml");
}

bool KeyFiles::KeyFileExists(int node) const {
    const QString path = KeyFilePath(node);
    return !path.isEmpty() && QFileInfo(path).isFile();
}

bool KeyFiles::CreateKeyFile(int node, QString* error) const {
    return SaveBytes(KeyFilePath(node), QByteArray::fromStdString(NewKeyFileText()), error);
}

bool KeyFiles::ReadKeys(int node, QList<KeyEntry>* keys, QString* error) const {
    LoadedDocument loaded;
    if (!LoadWellFormed(KeyFilePath(node), &loaded, error)) return false;
    QList<KeyEntry> result;
    for (const KeyRecord& r : ReadKeyRecords(loaded.doc))
        result.push_back({r.index, QString::fromStdString(r.name), r.status});
    if (keys) *keys = std::move(result);
    return true;
}

QString KeyFiles::GetKeyName(int node, int k) const {
    LoadedDocument loaded;
    if (!LoadWellFormed(KeyFilePath(node), &loaded, nullptr)) return {};
    const int el = FindKeyElement(loaded.doc, k);
    return el < 0 ? QString() : QString::fromStdString(loaded.doc.Attribute(el, "Name"));
}

bool KeyFiles::SetKeyName(int node, int k, const QString& name, QString* error) const {
    return UpdateKeyAttribute(node, k, "Name", name.toStdString(), error);
}

bool KeyFiles::SetKeyStatus(int node, int k, int status, QString* error) const {
    return UpdateKeyAttribute(node, k, "Status", std::to_string(status), error);
}

bool KeyFiles::UpdateKeyAttribute(int node, int k, std::string_view attribute,
                                  const std::string& value, QString* error) const {
    const QString path = KeyFilePath(node);
    LoadedDocument loaded;
    if (!LoadWellFormed(path, &loaded, error)) return false;
    const int el = FindKeyElement(loaded.doc, k);
    if (el < 0) {
        SetError(error, QStringLiteral("%1 has no Key with Index %2").arg(path).arg(k));
        return false;
    }
    loaded.doc.SetAttribute(el, attribute, value);
    if (loaded.transcoded) loaded.doc.SetDeclaredEncodingUtf8();
    const std::string& text = loaded.doc.Text();
    return SaveBytes(path, loaded.bom + QByteArray(text.data(), qsizetype(text.size())), error);
}

bool KeyFiles::DeleteKeyFile(int node, QString* error) const {
    const QString path = KeyFilePath(node);
    if (path.isEmpty()) {
        SetError(error, QStringLiteral("no key directory"));
        return false;
    }
    QFile file(path);
    if (file.remove()) return true;
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) return true;
    SetError(error, QStringLiteral("cannot delete %1: %2").arg(path, file.errorString()));
    return false;
}

bool KeyFiles::DeleteAllKeyFiles(QString* error) const {
    const QString dir = KeyDirectory();
    if (dir.isEmpty() || !QFileInfo(dir).isDir()) {
        SetError(error, QStringLiteral("no key directory %1").arg(dir));
        return false;
    }
    // Symbolic links are removed as links; linked directories are not entered.
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    QStringList failed;
    while (it.hasNext()) {
        const QString path = it.next();
        if (!QFile::remove(path)) failed << path;
    }
    if (!failed.isEmpty()) {
        SetError(error, QStringLiteral("cannot delete %1").arg(failed.join(QStringLiteral(", "))));
        return false;
    }
    return true;
}

} // namespace fenno
