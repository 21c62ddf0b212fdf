#include "app/about_dlg.h"

#include "app/ui_text.h"
#include "ui/controls/control_id.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace fenno {
namespace {

QLabel* MakeLine(QWidget* parent, int id, const std::string& text) {
    auto* l = new QLabel(QString::fromStdString(text), parent);
    SetControlId(l, id);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

} // namespace

CAboutDlg::CAboutDlg(const std::optional<IdentityText>& identity, bool* levelPolling,
                     QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("About"));
    PaintDialogBackground(this);

    auto* icon = new QLabel(this);
    icon->setPixmap(QApplication::windowIcon().pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop);

    auto* title = new QLabel(QStringLiteral("调音软件_V24.01_20180920"), this);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    auto* build = new QLabel(QStringLiteral("Build %1").arg(QStringLiteral(__DATE__)), this);

    IdentityText id = identity.value_or(IdentityText{});
    m_module = MakeLine(this, 1005, id.module);
    m_mcu = MakeLine(this, 1007, id.mcu);
    m_dsp = MakeLine(this, 1006, id.dsp);
    m_codecs = MakeLine(this, 1283, id.codecs);
    // The model line is kept for the hidden key; the rest shows while a device is connected.
    m_module->hide();
    m_mcu->setVisible(identity.has_value());
    m_dsp->setVisible(identity.has_value());
    m_codecs->setVisible(identity.has_value());

    m_peak = new QCheckBox(QStringLiteral("Peak"), this);
    SetControlId(m_peak, 1045);
    m_peak->setChecked(levelPolling && *levelPolling);
    m_peak->hide();
    connect(m_peak, &QCheckBox::toggled, this, [levelPolling](bool on) {
        if (levelPolling) *levelPolling = on;
    });

    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    SetControlId(ok, 1);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* text = new QVBoxLayout;
    text->setSpacing(6);
    text->addWidget(title);
    text->addWidget(build);
    text->addSpacing(6);
    text->addWidget(m_module);
    text->addWidget(m_mcu);
    text->addWidget(m_dsp);
    text->addWidget(m_codecs);
    text->addWidget(m_peak);
    text->addStretch();
    auto* top = new QHBoxLayout;
    top->setSpacing(16);
    top->addWidget(icon);
    top->addLayout(text, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 18, 20, 14);
    layout->addLayout(top);
    layout->addLayout(buttons);
    setMinimumWidth(340);
}

QLabel* CAboutDlg::Line(int controlId) const {
    for (QLabel* l : {m_module, m_mcu, m_dsp, m_codecs})
        if (l->property("controlId").toInt() == controlId) return l;
    return nullptr;
}

bool CAboutDlg::HiddenItemsShown() const {
    return !m_peak->isHidden();
}

void CAboutDlg::ShowHiddenItems() {
    m_module->setVisible(!m_module->text().isEmpty());
    m_peak->show();
}

void CAboutDlg::keyReleaseEvent(QKeyEvent* e) {
    const auto mods = e->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    if (e->key() == Qt::Key_F11 && mods == (Qt::ControlModifier | Qt::ShiftModifier)) {
        ShowHiddenItems();
        return;
    }
    QDialog::keyReleaseEvent(e);
}

} // namespace fenno
