#include "app/ribbon_bar.h"

#include "ui/controls/control_id.h"
#include "ui/controls/xbmp_slider.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QStackedWidget>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace fenno {
namespace {

constexpr int kRowHeight = 24;
constexpr int kSliderHeight = 22;
constexpr int kTrackImage = 324;
constexpr int kThumbImage = 320;
constexpr int kFocusedThumbImage = 369;
constexpr int kDisabledThumbImage = 325;

// The blue ribbon look (ApplicationLook 215).
const char* const kRibbonStyle = R"(
QWidget#ribbon { background: #c4d8f0; }
QWidget#ribbonBody { background: #dbe7f6; border-top: 1px solid #8db2e3;
                     border-bottom: 1px solid #8db2e3; }
QWidget#ribbonCategory { background: #dbe7f6; }
QFrame#ribbonPanel { background: #dae6f6; border: 1px solid #a3bfe3; border-radius: 3px; }
QLabel#panelCaption { background: #c1d7f1; color: #15428b; border: none;
                      border-top: 1px solid #a9c6ea; padding: 1px 4px; }
QFrame#ribbonPanel QLabel { color: #15428b; background: transparent; }
QFrame#ribbonPanel QCheckBox { color: #15428b; }
QFrame#ribbonPanel QToolButton { color: #15428b; background: transparent; border: 1px solid transparent;
                           border-radius: 2px; padding: 2px 6px; }
QFrame#ribbonPanel QToolButton:hover { background: #fde9a8; border-color: #dbce99; }
QFrame#ribbonPanel QToolButton::menu-button { border: none; width: 14px; }
QTabBar { background: transparent; }
QTabBar::tab { color: #15428b; background: transparent; padding: 4px 18px 5px 18px;
               margin-top: 3px; border: 1px solid transparent; border-bottom: none;
               border-top-left-radius: 3px; border-top-right-radius: 3px; }
QTabBar::tab:hover:!selected { background: #d6e5f7; border-color: #a9c6ea; }
QTabBar::tab:selected { background: #dbe7f6; border-color: #8db2e3; }
QToolButton#rowButton { color: #15428b; background: transparent; border: 1px solid transparent;
                        border-radius: 2px; padding: 3px 7px; }
QToolButton#rowButton:hover { background: #fde9a8; border-color: #dbce99; }
QToolButton#appButton { color: white; font-weight: bold; border: 1px solid #1f4f93;
                        border-radius: 4px; padding: 3px 12px;
                        background: qlineargradient(x1:0, y1:0, x2:0, y2:1,
                                    stop:0 #5b94e0, stop:1 #2a5ea8); }
QToolButton#appButton:hover { background: qlineargradient(x1:0, y1:0, x2:0, y2:1,
                                    stop:0 #74a8ec, stop:1 #3a70bd); }
QToolButton#appButton::menu-indicator { image: none; }
)";

} // namespace

QColor RibbonPanelColour() {
    return QColor(0xda, 0xe6, 0xf6);
}

CRibbonPanel::CRibbonPanel(CRibbonBar& bar, const QString& name, QWidget* parent)
    : QFrame(parent), m_bar(bar) {
    setObjectName(QStringLiteral("ribbonPanel"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(1, 3, 1, 1);
    outer->setSpacing(2);
    m_rows = new QVBoxLayout;
    m_rows->setContentsMargins(6, 0, 6, 0);
    m_rows->setSpacing(2);
    outer->addLayout(m_rows);
    outer->addStretch(1);
    m_caption = new QLabel(name, this);
    m_caption->setObjectName(QStringLiteral("panelCaption"));
    m_caption->setAlignment(Qt::AlignCenter);
    outer->addWidget(m_caption);
}

void CRibbonPanel::SetName(const QString& name) {
    m_caption->setText(name);
}
QString CRibbonPanel::Name() const {
    return m_caption->text();
}

QLabel* CRibbonPanel::AddLabel(int id, const QString& text) {
    auto* l = new QLabel(text, this);
    l->setFixedHeight(kRowHeight - 4);
    // The labels are texts with a command that does nothing; they never take input.
    l->setTextFormat(Qt::PlainText);
    m_rows->addWidget(l);
    m_bar.Register(id, l);
    return l;
}

CXBmpSlider* CRibbonPanel::AddSlider(int id, int min, int max, int width) {
    auto* s = new CXBmpSlider(id, this);
    s->setImages(kTrackImage, kThumbImage, kFocusedThumbImage, kDisabledThumbImage);
    s->setBackgroundColour(RibbonPanelColour());
    s->setMargins(2, 2, 2, 2);
    s->setRange(min, max);
    s->setFixedSize(width, kSliderHeight);
    m_rows->addWidget(s, 0, Qt::AlignLeft);
    QObject::connect(s, &CXBmpSlider::positionChanged, &m_bar,
                     [this](int sliderId, int pos) { m_bar.OnSliderMoved(sliderId, pos); });
    m_bar.Register(id, s);
    m_bar.SetSliderPos(id, s->getPos());
    return s;
}

QCheckBox* CRibbonPanel::AddCheckBox(int id, const QString& text) {
    auto* c = new QCheckBox(text, this);
    c->setFixedHeight(kRowHeight - 4);
    c->setFocusPolicy(Qt::NoFocus);
    m_rows->addWidget(c);
    QObject::connect(c, &QCheckBox::clicked, &m_bar, [this, id] { m_bar.Fire(id); });
    m_bar.Register(id, c);
    return c;
}

QToolButton* CRibbonPanel::AddButton(int id, const QString& text, QMenu* menu) {
    auto* b = new QToolButton(this);
    b->setText(text);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setFocusPolicy(Qt::NoFocus);
    b->setMinimumWidth(86);
    b->setFixedHeight(kRowHeight + 2);
    if (menu) {
        b->setMenu(menu);
        b->setPopupMode(QToolButton::MenuButtonPopup);
        QObject::connect(menu, &QMenu::triggered, &m_bar, [this](QAction* a) {
            bool ok = false;
            int cmd = a->data().toInt(&ok);
            if (ok) m_bar.Fire(cmd);
        });
    }
    m_rows->addWidget(b);
    QObject::connect(b, &QToolButton::clicked, &m_bar, [this, id] { m_bar.Fire(id); });
    m_bar.Register(id, b);
    return b;
}

CRibbonBar::CRibbonBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ribbon"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QString::fromLatin1(kRibbonStyle));

    m_appMenu = new QMenu(this);
    m_appMenu->setMinimumWidth(300);
    m_appButton = new QToolButton(this);
    m_appButton->setObjectName(QStringLiteral("appButton"));
    m_appButton->setMenu(m_appMenu);
    m_appButton->setPopupMode(QToolButton::InstantPopup);
    m_appButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_appButton->setFocusPolicy(Qt::NoFocus);

    m_tabs = new QTabBar(this);
    m_tabs->setDrawBase(false);
    m_tabs->setExpanding(false);
    m_tabs->setFocusPolicy(Qt::NoFocus);
    m_tabs->setContextMenuPolicy(Qt::PreventContextMenu);

    auto* top = new QHBoxLayout;
    top->setContentsMargins(4, 3, 4, 0);
    top->setSpacing(6);
    top->addWidget(m_appButton, 0, Qt::AlignVCenter);
    top->addWidget(m_tabs, 0, Qt::AlignBottom);
    top->addStretch(1);
    m_rowButtons = new QHBoxLayout;
    m_rowButtons->setSpacing(1);
    top->addLayout(m_rowButtons);

    m_pages = new QStackedWidget(this);
    m_pages->setObjectName(QStringLiteral("ribbonBody"));
    m_pages->setAttribute(Qt::WA_StyledBackground);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(top);
    layout->addWidget(m_pages);

    connect(m_tabs, &QTabBar::currentChanged, this, [this](int index) {
        if (index < 0) return;
        m_pages->setCurrentIndex(index);
        emit categoryChanged(index);
    });
}

int CRibbonBar::AddCategory(const QString& name) {
    auto* page = new QWidget(m_pages);
    page->setObjectName(QStringLiteral("ribbonCategory"));
    page->setAttribute(Qt::WA_StyledBackground);
    auto* row = new QHBoxLayout(page);
    row->setContentsMargins(4, 4, 4, 4);
    row->setSpacing(4);
    row->addStretch(1);
    m_pages->addWidget(page);
    m_panels.emplace_back();
    QSignalBlocker block(m_tabs);
    return m_tabs->addTab(name);
}

CRibbonPanel* CRibbonBar::AddPanel(int category, const QString& name) {
    QWidget* page = m_pages->widget(category);
    auto* row = static_cast<QHBoxLayout*>(page->layout());
    auto* panel = new CRibbonPanel(*this, name, page);
    row->insertWidget(row->count() - 1, panel);
    m_panels[size_t(category)].push_back(panel);
    return panel;
}

QToolButton* CRibbonBar::AddRowButton(int id, const QString& text) {
    auto* b = new QToolButton(this);
    b->setObjectName(QStringLiteral("rowButton"));
    b->setText(text);
    b->setFocusPolicy(Qt::NoFocus);
    m_rowButtons->addWidget(b);
    connect(b, &QToolButton::clicked, this, [this, id] { emit command(id); });
    Register(id, b);
    return b;
}

int CRibbonBar::CategoryCount() const {
    return m_tabs->count();
}
int CRibbonBar::ActiveCategory() const {
    return m_tabs->currentIndex();
}
void CRibbonBar::SetActiveCategory(int category) {
    m_tabs->setCurrentIndex(category);
}
QString CRibbonBar::CategoryName(int category) const {
    return m_tabs->tabText(category);
}
void CRibbonBar::SetCategoryName(int category, const QString& name) {
    m_tabs->setTabText(category, name);
}

CRibbonPanel* CRibbonBar::Panel(int category, int index) const {
    if (category < 0 || size_t(category) >= m_panels.size()) return nullptr;
    const auto& panels = m_panels[size_t(category)];
    return index >= 0 && size_t(index) < panels.size() ? panels[size_t(index)] : nullptr;
}

int CRibbonBar::PanelCount(int category) const {
    return category >= 0 && size_t(category) < m_panels.size()
               ? int(m_panels[size_t(category)].size())
               : 0;
}

int CRibbonBar::PanelAt(QPoint ribbonPos) const {
    int cat = ActiveCategory();
    for (int i = 0; i < PanelCount(cat); ++i) {
        CRibbonPanel* p = Panel(cat, i);
        QRect r(p->mapTo(this, QPoint(0, 0)), p->size());
        if (r.contains(ribbonPos)) return i;
    }
    return -1;
}

QWidget* CRibbonBar::Element(int id) const {
    auto it = m_elements.find(id);
    return it == m_elements.end() ? nullptr : it->second.data();
}

CXBmpSlider* CRibbonBar::Slider(int id) const {
    return ElementAs<CXBmpSlider>(id);
}
QLabel* CRibbonBar::Label(int id) const {
    return ElementAs<QLabel>(id);
}
QCheckBox* CRibbonBar::CheckBox(int id) const {
    return ElementAs<QCheckBox>(id);
}
QToolButton* CRibbonBar::Button(int id) const {
    return ElementAs<QToolButton>(id);
}

void CRibbonBar::Relayout() {
    for (auto& panels : m_panels)
        for (CRibbonPanel* p : panels)
            p->updateGeometry();
    if (layout()) layout()->invalidate();
    update();
}

void CRibbonBar::SetSliderPos(int id, int pos) {
    if (CXBmpSlider* s = Slider(id)) {
        s->setPos(pos);
        m_sliderPos[id] = s->getPos();
    }
}

void CRibbonBar::OnSliderMoved(int id, int pos) {
    auto it = m_sliderPos.find(id);
    if (it != m_sliderPos.end() && it->second == pos) return;
    m_sliderPos[id] = pos;
    emit command(id);
}

void CRibbonBar::Register(int id, QWidget* element) {
    SetControlId(element, id);
    m_elements[id] = element;
}

} // namespace fenno
