#pragma once
// Menu items and popup menus, shown through QMenu.
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QMenu;
class QWidget;

namespace framework {

class TMenuItem : public QObject {
    Q_OBJECT
public:
    explicit TMenuItem(QObject *owner = nullptr, const QString &name = QString(),
                       const QString &caption = QString());

    QString Caption() const { return caption_; }
    void SetCaption(const QString &caption) { caption_ = caption; }
    bool IsLine() const { return caption_ == QLatin1String("-"); }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value) { enabled_ = value; }
    bool Checked() const { return checked_; }
    void SetChecked(bool value) { checked_ = value; }
    bool Visible() const { return visible_; }
    void SetVisible(bool value) { visible_ = value; }
    int ImageIndex() const { return imageIndex_; }
    void SetImageIndex(int index) { imageIndex_ = index; }

    int Count() const { return static_cast<int>(items_.size()); }
    TMenuItem *Items(int index) const { return items_.at(static_cast<std::size_t>(index)); }
    TMenuItem *Parent() const { return parent_; }
    void Add(TMenuItem *item);

    // Runs OnClick through the application's error guard.
    void Click();
    std::function<void(QObject *sender)> OnClick;

private:
    QString caption_;
    bool enabled_ = true, checked_ = false, visible_ = true;
    int imageIndex_ = -1;
    TMenuItem *parent_ = nullptr;
    std::vector<TMenuItem *> items_;
};

class TPopupMenu : public QObject {
    Q_OBJECT
public:
    explicit TPopupMenu(QObject *owner = nullptr, const QString &name = QString());
    ~TPopupMenu() override;

    TMenuItem *Items() const { return items_; }
    // Shows the menu at a screen point and returns when it has closed.
    void Popup(int x, int y);
    // The QMenu for the current items; owned by the caller.
    std::unique_ptr<QMenu> BuildMenu(QWidget *parent = nullptr) const;

private:
    TMenuItem *items_;
};

} // namespace framework
