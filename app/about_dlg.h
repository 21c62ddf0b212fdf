// The About box: build line, the connected device's identity, and the hidden level-polling switch.
#pragma once

#include "protocol/device_info.h"

#include <QDialog>
#include <optional>

class QCheckBox;
class QLabel;

namespace fenno {

class CAboutDlg : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kTemplateId = 100;

    // identity is given only while a device is connected. levelPolling is the "Peak" switch.
    CAboutDlg(const std::optional<IdentityText>& identity, bool* levelPolling, QWidget* parent);

    bool HiddenItemsShown() const;
    QLabel* Line(int controlId) const;
    QCheckBox* PeakBox() const { return m_peak; }

  protected:
    void keyReleaseEvent(QKeyEvent* e) override;

  private:
    void ShowHiddenItems();

    QLabel* m_module;
    QLabel* m_mcu;
    QLabel* m_dsp;
    QLabel* m_codecs;
    QCheckBox* m_peak;
};

} // namespace fenno
