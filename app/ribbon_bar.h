// Our ribbon: the application button with its menu, category tabs with panels, a button row.
#pragma once

#include <QFrame>
#include <QPointer>
#include <QWidget>
#include <map>
#include <vector>

class QCheckBox;
class QLabel;
class QMenu;
class QStackedWidget;
class QTabBar;
class QToolButton;
class QVBoxLayout;
class QHBoxLayout;

namespace fenno {

class CRibbonBar;
class CXBmpSlider;

// A panel: rows of elements above its name.
class CRibbonPanel : public QFrame {
    Q_OBJECT
  public:
    CRibbonPanel(CRibbonBar& bar, const QString& name, QWidget* parent);

    void SetName(const QString& name);
    QString Name() const;

    QLabel* AddLabel(int id, const QString& text);
    CXBmpSlider* AddSlider(int id, int min, int max, int width);
    QCheckBox* AddCheckBox(int id, const QString& text);
    // With a menu the button is a split button; the menu's actions carry their command ids.
    QToolButton* AddButton(int id, const QString& text, QMenu* menu = nullptr);

  private:
    CRibbonBar& m_bar;
    QVBoxLayout* m_rows;
    QLabel* m_caption;
};

class CRibbonBar : public QWidget {
    Q_OBJECT
  public:
    explicit CRibbonBar(QWidget* parent);

    QToolButton* ApplicationButton() const { return m_appButton; }
    QMenu* ApplicationMenu() const { return m_appMenu; }

    int AddCategory(const QString& name);
    CRibbonPanel* AddPanel(int category, const QString& name);
    QToolButton* AddRowButton(int id, const QString& text);

    int CategoryCount() const;
    int ActiveCategory() const;
    void SetActiveCategory(int category);
    QString CategoryName(int category) const;
    QString ActiveCategoryName() const { return CategoryName(ActiveCategory()); }
    void SetCategoryName(int category, const QString& name);
    QTabBar* Tabs() const { return m_tabs; }

    CRibbonPanel* Panel(int category, int index) const;
    int PanelCount(int category) const;
    // The panel of the active category under a point of the ribbon, or -1.
    int PanelAt(QPoint ribbonPos) const;

    QWidget* Element(int id) const;
    template <class T> T* ElementAs(int id) const { return qobject_cast<T*>(Element(id)); }
    CXBmpSlider* Slider(int id) const;
    QLabel* Label(int id) const;
    QCheckBox* CheckBox(int id) const;
    QToolButton* Button(int id) const;

    // Lays the panels out again after captions changed.
    void Relayout();

    void Register(int id, QWidget* element);
    void Fire(int id) { emit command(id); }

    // Moves a slider without firing its command; every programmatic move goes through here so
    // that a press that leaves the thumb where it is does not count as a change.
    void SetSliderPos(int id, int pos);
    // From a slider's notification: fires the command only when the position changed.
    void OnSliderMoved(int id, int pos);

  signals:
    void command(int id);
    void categoryChanged(int category);

  private:
    QToolButton* m_appButton;
    QMenu* m_appMenu;
    QTabBar* m_tabs;
    QHBoxLayout* m_rowButtons;
    QStackedWidget* m_pages;
    std::vector<std::vector<CRibbonPanel*>> m_panels;
    std::map<int, QPointer<QWidget>> m_elements;
    std::map<int, int> m_sliderPos; // last position each slider had
};

// The ribbon's panel colour (sliders paint their background with it).
QColor RibbonPanelColour();

} // namespace fenno
