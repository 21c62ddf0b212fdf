#include "ui/controls/tab_wnd.h"

#include <QResizeEvent>

namespace fenno {

CTabWnd::CTabWnd(QWidget* parent) : QWidget(parent) {}

int CTabWnd::addPage(QWidget* page) {
    page->setParent(this);
    page->setGeometry(rect());
    m_pages.emplace_back(page);
    const int index = count() - 1;
    if (m_current < 0) {
        m_current = index;
        page->show();
    } else {
        page->hide();
    }
    return index;
}

QWidget* CTabWnd::page(int index) const {
    if (index < 0 || index >= count()) return nullptr;
    return m_pages[static_cast<size_t>(index)];
}

int CTabWnd::select(int index) {
    if (index < 0 || index >= count()) return -1;
    for (int i = 0; i < count(); ++i)
        if (QWidget* p = page(i)) p->setVisible(i == index);
    const bool changed = m_current != index;
    m_current = index;
    if (changed) emit currentChanged(index);
    return index;
}

// Every page takes the client area. The selected page stays the one shown: going back to
// the first page on each resize would leave the owner's page buttons pointing elsewhere.
void CTabWnd::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutPages();
}

void CTabWnd::layoutPages() {
    for (const auto& p : m_pages)
        if (p) p->setGeometry(rect());
}

} // namespace fenno
