// What the shell asks of the page shown in the main view and of its tool windows.
#pragma once

#include <QWidget>
#include <cstdint>

namespace fenno {

// Pages and tool windows that show device values re-read them here; nothing they show is theirs.
class CRefreshable {
  public:
    virtual ~CRefreshable() = default;
    virtual void RefreshFromStore() = 0;
    virtual void ApplyLanguage(int language) = 0;
};

// Windows that take device events passed on by the main view (remote keys, Z-Wave reports).
class CDeviceEventTarget {
  public:
    virtual ~CDeviceEventTarget() = default;
    virtual void OnDeviceEvent(int id, intptr_t w, intptr_t l) = 0;
};

// Template ids by which the view knows its pages.
enum PageTemplate : int {
    kMusicPage = 313,
    kDelayPage = 333,
    kSurroundPage = 334,
    kCompressorPage = 346,
    kOutputPage = 385,
    kEfxPage = 421,
    kRecordPage = 522,
};

// One editor page in the view's page area.
class CViewPage : public QWidget, public CRefreshable {
    Q_OBJECT
  public:
    using QWidget::QWidget;
    virtual int TemplateId() const = 0;

    // The status bar's EQ commands are offered only by pages that edit an EQ.
    virtual bool SupportsEq() const { return false; }
    virtual bool EqBypass() const { return false; }
    virtual void ToggleEqBypass() {}
    // Selected band to none, block back to its defaults, graph and list redrawn.
    virtual void ResetEq() {}
    // The output page shows this channel (0..7) when the Output category is chosen again.
    virtual void ShowOutputChannel(int /*channel*/) {}
};

} // namespace fenno
