// CTabWnd: a container that shows one of its page windows at a time.
#pragma once

#include <QPointer>
#include <QWidget>
#include <vector>

namespace fenno {

// Has no tab bar of its own: the owning window drives it with its page buttons.
class CTabWnd : public QWidget {
    Q_OBJECT
  public:
    explicit CTabWnd(QWidget* parent = nullptr);

    // Takes the page as a child filling the client area. The first page added is shown,
    // later ones start hidden. Returns the page's index.
    int addPage(QWidget* page);

    // Shows the page at index and hides the others. Returns index, or -1 (nothing changes)
    // when there is no such page.
    int select(int index);

    int currentIndex() const { return m_current; }
    int count() const { return static_cast<int>(m_pages.size()); }
    QWidget* page(int index) const;

  signals:
    void currentChanged(int index);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void layoutPages();

    std::vector<QPointer<QWidget>> m_pages;
    int m_current = -1;
};

} // namespace fenno
