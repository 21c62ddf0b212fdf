// The application's modeless tool windows: made on first use, kept, shown again centred.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <map>
#include <utility>
#include <vector>

namespace fenno {

// Template ids of the tool windows.
enum ToolTemplate : int {
    kToolMachineSettings = 335,
    kToolInfo = 344,
    kToolRemoteStudy = 372,
    kToolRemote = 373,
    kToolAutoSub = 410,
    kToolHomeTheater = 479,
    kToolZwaveEdit = 480,
    kToolZwaveLight = 484,
    kToolZwaveSwitch = 485,
    kToolInputSource = 512,
    kToolFeatures = 515,
    kToolNetwork = 521,
    kToolAdvEq = 542,
    kToolInputSourceSet = 543,
};

class ToolWindows : public QObject {
    Q_OBJECT
  public:
    // variant is the layout a window is built with on its first opening (input source: the
    // template chosen by model); later openings reuse the window whatever they ask.
    using Factory = std::function<QWidget*(QWidget* parent, int variant)>;
    // Applies the captions of a template to a window in the current language.
    using CaptionHook = std::function<void(QWidget* window, int templateId)>;

    explicit ToolWindows(QObject* parent = nullptr) : QObject(parent) {}

    void SetHost(QWidget* host) { m_host = host; }
    void SetCaptionHook(CaptionHook hook) { m_captions = std::move(hook); }
    void Register(int templateId, Factory factory);
    // Opening one of the pair first destroys the other.
    void SetExclusive(int a, int b);

    bool IsAvailable(int templateId) const { return m_factories.count(templateId) != 0; }
    QWidget* Find(int templateId) const;
    // Creates the window if needed, centres it on the host, applies captions, refreshes it and
    // shows it. Null when no window of that kind is built into the program.
    QWidget* Open(int templateId, int variant = 0);
    void Destroy(int templateId);
    // Every existing window, in the order of the given ids.
    std::vector<QWidget*> Existing(std::initializer_list<int> ids) const;

    // Re-applies captions and lets every existing window refresh its texts.
    void ApplyLanguage(int language, std::initializer_list<int> order);

  private:
    QWidget* m_host = nullptr;
    CaptionHook m_captions;
    std::map<int, Factory> m_factories;
    std::map<int, QPointer<QWidget>> m_windows;
    std::vector<std::pair<int, int>> m_exclusive;
};

// Puts a window in the middle of another.
void CentreOn(QWidget* window, const QWidget* host);

} // namespace fenno
