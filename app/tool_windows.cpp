#include "app/tool_windows.h"

#include "app/view_page.h"

namespace fenno {

void ToolWindows::Register(int templateId, Factory factory) {
    m_factories[templateId] = std::move(factory);
}

void ToolWindows::SetExclusive(int a, int b) {
    m_exclusive.emplace_back(a, b);
}

QWidget* ToolWindows::Find(int templateId) const {
    auto it = m_windows.find(templateId);
    return it == m_windows.end() ? nullptr : it->second.data();
}

QWidget* ToolWindows::Open(int templateId, int variant) {
    for (auto [a, b] : m_exclusive) {
        if (a == templateId) Destroy(b);
        if (b == templateId) Destroy(a);
    }
    QWidget* w = Find(templateId);
    if (!w) {
        auto f = m_factories.find(templateId);
        if (f == m_factories.end()) return nullptr;
        w = f->second(m_host, variant);
        if (!w) return nullptr;
        // A tool window is a window of its own above the main window, never a child in it.
        if (!w->isWindow()) w->setWindowFlags(w->windowFlags() | Qt::Dialog);
        m_windows[templateId] = w;
    }
    if (m_captions) m_captions(w, templateId);
    if (auto* r = dynamic_cast<CRefreshable*>(w)) r->RefreshFromStore();
    CentreOn(w, m_host);
    w->show();
    w->raise();
    w->activateWindow();
    return w;
}

void ToolWindows::Destroy(int templateId) {
    // The request may come from inside the window's own handlers (a window that closes its
    // partner, or itself): it goes from the registry now and from memory afterwards.
    if (QWidget* w = Find(templateId)) {
        w->hide();
        w->deleteLater();
    }
    m_windows.erase(templateId);
}

std::vector<QWidget*> ToolWindows::Existing(std::initializer_list<int> ids) const {
    std::vector<QWidget*> out;
    for (int id : ids)
        if (QWidget* w = Find(id)) out.push_back(w);
    return out;
}

void ToolWindows::ApplyLanguage(int language, std::initializer_list<int> order) {
    for (int id : order) {
        QWidget* w = Find(id);
        if (!w) continue;
        // The input source windows are captioned with the keys of their base template.
        if (m_captions) m_captions(w, id);
        if (auto* r = dynamic_cast<CRefreshable*>(w)) r->ApplyLanguage(language);
    }
}

void CentreOn(QWidget* window, const QWidget* host) {
    if (!host) return;
    QSize size = window->size().expandedTo(window->sizeHint());
    QPoint centre = host->mapToGlobal(host->rect().center());
    window->move(centre - QPoint(size.width() / 2, size.height() / 2));
}

} // namespace fenno
