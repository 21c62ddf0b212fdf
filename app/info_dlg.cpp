#include "app/info_dlg.h"

#include "app/ui_text.h"
#include "ui/controls/control_id.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace fenno {

CInfoDlg::CInfoDlg(int language, QWidget* parent) : QDialog(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(Pick(language, "信息", "Information"));
    PaintDialogBackground(this);

    m_text = new QLabel(this);
    SetControlId(m_text, 1223);
    QFont f = font();
    f.setFamilies({QStringLiteral("宋体"), f.family()});
    f.setPixelSize(18);
    f.setWeight(QFont::Medium);
    m_text->setFont(f);
    m_text->setAlignment(Qt::AlignCenter);
    m_text->setWordWrap(true);
    m_text->setMinimumWidth(280);

    m_close = new QPushButton(Pick(language, "关闭", "Close"), this);
    SetControlId(m_close, 2);
    connect(m_close, &QPushButton::clicked, this, &QDialog::close);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 18, 20, 14);
    layout->addWidget(m_text, 1);
    layout->addLayout(buttons);

    m_life.setSingleShot(true);
    connect(&m_life, &QTimer::timeout, this, &QDialog::close);
}

void CInfoDlg::ShowText(const QString& text, int ms) {
    m_text->setText(text);
    adjustSize();
    m_life.start(ms);
}

QString CInfoDlg::Text() const {
    return m_text->text();
}

} // namespace fenno
