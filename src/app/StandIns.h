#pragma once
// Standard widgets in the places of the output-name box and the two
// progress bars, with the properties the window drives them through.
#include <QComboBox>
#include <QProgressBar>
#include <QStringList>
#include <algorithm>

namespace app {

// Min, Max and Position are 64-bit so a bar can count the bytes of a file
// of any size; the widget shows them on a fixed scale.
class ProgressStandIn : public QProgressBar {
public:
    explicit ProgressStandIn(QWidget *parent = nullptr) : QProgressBar(parent)
    {
        setTextVisible(false);
        setRange(0, Scale);
    }
    qint64 Min() const { return min_; }
    qint64 Max() const { return max_; }
    qint64 Position() const { return position_; }
    void SetMin(qint64 v) { if (v != min_) { min_ = v; show(); } }
    void SetMax(qint64 v)
    {
        if (v == max_)
            return;
        if (v < position_)
            position_ = v;
        max_ = v;
        show();
    }
    void SetPosition(qint64 v)
    {
        v = std::max(std::min(v, max_), min_);
        if (v != position_) {
            position_ = v;
            show();
        }
    }

private:
    static constexpr int Scale = 10000;
    void show()
    {
        const qint64 range = max_ - min_;
        setValue(range <= 0 ? 0 : static_cast<int>((position_ - min_) * Scale / range));
    }
    qint64 min_ = 0, max_ = 100, position_ = 0;
};

class ComboStandIn : public QComboBox {
public:
    explicit ComboStandIn(QWidget *parent = nullptr) : QComboBox(parent)
    {
        setEditable(true);
        setInsertPolicy(QComboBox::NoInsert);
    }
    QString Text() const { return currentText(); }
    void SetText(const QString &text) { setEditText(text); }
    QStringList Items() const
    {
        QStringList items;
        for (int i = 0; i < count(); ++i)
            items << itemText(i);
        return items;
    }
    void AddItem(const QString &item) { addItem(item); }
};

} // namespace app
