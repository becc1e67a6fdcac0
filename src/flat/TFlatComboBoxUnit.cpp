// SPDX-License-Identifier: GPL-3.0-or-later
#include "flat/TFlatComboBoxUnit.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QProxyStyle>
#include <QScreen>
#include <QStyleOptionComboBox>
#include <QStyledItemDelegate>
#include <algorithm>
#include <optional>

#include "flat/FlatAccessibility.h"

namespace flat {

using framework::AssignAndRepaint;
using framework::bsSolid;
using framework::clHighlight;
using framework::clHighlightText;
using framework::clWindow;
using framework::Rect;
using framework::TSavedDC;

// Hands the combo box's frame, button and text-area drawing to the flat
// control and tells the combo box where its edit and its button lie.
// Everything else (the list, other widgets) is the application's style.
class FlatComboStyle : public QProxyStyle {
public:
    explicit FlatComboStyle(TFlatComboBox *owner) : owner_(owner) {}

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option, QPainter *painter,
                            const QWidget *widget) const override
    {
        if (control == CC_ComboBox && isOwners(widget)) {
            owner_->PaintTo(*painter);
            return;
        }
        QProxyStyle::drawComplexControl(control, option, painter, widget);
    }

    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override
    {
        if (element == CE_ComboBoxLabel && isOwners(widget))
            return; // the text area is part of the face
        QProxyStyle::drawControl(element, option, painter, widget);
    }

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex *option, SubControl sub,
                         const QWidget *widget) const override
    {
        if (control == CC_ComboBox && isOwners(widget)) {
            const int w = widget->width(), h = widget->height();
            switch (sub) {
            case SC_ComboBoxEditField: // ends short of the flat button
                return QRect(3, 3, w - owner_->ArrowAreaWidth() - 8, h - 6);
            case SC_ComboBoxArrow: return owner_->Style() == csSimple ? QRect() : QRect(w - 13, 0, 13, h);
            case SC_ComboBoxFrame: return widget->rect();
            default: break;
            }
        }
        return QProxyStyle::subControlRect(control, option, sub, widget);
    }

    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        // A plain list in the box's colours rather than a menu.
        if (hint == SH_ComboBox_Popup && isOwners(widget))
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }

private:
    bool isOwners(const QWidget *widget) const
    {
        return widget && widget == static_cast<const QWidget *>(owner_->ComboBox());
    }
    TFlatComboBox *owner_;
};

// List rows: ItemHeight high, drawn by the control for the owner-drawn styles.
class FlatComboItemDelegate : public QStyledItemDelegate {
public:
    explicit FlatComboItemDelegate(TFlatComboBox *owner) : owner_(owner) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        if (owner_->Style() < csOwnerDrawFixed) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        const QRect r = option.rect;
        TCanvas item(r.width(), r.height());
        TOwnerDrawState state = 0;
        if (option.state & QStyle::State_Selected)
            state |= odSelected | odFocused;
        if (!(option.state & QStyle::State_Enabled))
            state |= odDisabled;
        owner_->DrawItem(item, index.row(), Rect(0, 0, r.width(), r.height()), state);
        painter->drawImage(r.topLeft(), item.Image());
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const QSize base = QStyledItemDelegate::sizeHint(option, index);
        const int h = owner_->Style() == csOwnerDrawVariable ? owner_->MeasureItem(index.row()) : owner_->ItemHeight();
        return {base.width(), h};
    }

private:
    TFlatComboBox *owner_;
};

// The platform combo box: reports the drop-down and passes keys through the
// control's key events first.
class FlatComboInner : public QComboBox {
public:
    FlatComboInner(TFlatComboBox *owner) : QComboBox(owner), owner_(owner) {}

    void showPopup() override
    {
        owner_->Fire(owner_->OnDropDown);
        if (count() > 0)
            QComboBox::showPopup();
        else
            showEmptyList(); // QComboBox shows nothing for an empty list
    }

protected:
    static framework::TShiftState shiftOf(const QKeyEvent *e)
    {
        framework::TShiftState s = 0;
        if (e->modifiers() & Qt::ShiftModifier)
            s |= framework::ssShift;
        if (e->modifiers() & Qt::AltModifier)
            s |= framework::ssAlt;
        if (e->modifiers() & Qt::ControlModifier)
            s |= framework::ssCtrl;
        return s;
    }

    void keyPressEvent(QKeyEvent *e) override
    {
        int key = e->key();
        if (owner_->OnKeyDown)
            owner_->Guarded([&] { owner_->OnKeyDown(owner_, key, shiftOf(e)); });
        if (key == 0) {
            e->accept();
            return;
        }
        QKeyEvent *pass = e;
        std::optional<QKeyEvent> changed;
        const QString typed = e->text();
        if (owner_->OnKeyPress && typed.size() == 1 && typed[0].isPrint()) {
            QChar ch = typed[0];
            owner_->Guarded([&] { owner_->OnKeyPress(owner_, ch); });
            if (ch.isNull()) {
                e->accept();
                return;
            }
            if (ch != typed[0]) {
                changed.emplace(e->type(), e->key(), e->modifiers(), QString(ch), e->isAutoRepeat(), e->count());
                pass = &*changed;
            }
        }
        const QString before = owner_->Text();
        QComboBox::keyPressEvent(pass);
        e->setAccepted(pass->isAccepted());
        if (owner_->Style() >= csDropDownList && owner_->Text() != before)
            owner_->DrawSelectionStrip();
    }

    void keyReleaseEvent(QKeyEvent *e) override
    {
        int key = e->key();
        if (owner_->OnKeyUp)
            owner_->Guarded([&] { owner_->OnKeyUp(owner_, key, shiftOf(e)); });
        if (key == 0) {
            e->accept();
            return;
        }
        QComboBox::keyReleaseEvent(e);
    }

    void mouseDoubleClickEvent(QMouseEvent *e) override
    {
        QComboBox::mouseDoubleClickEvent(e);
        owner_->Fire(owner_->OnDblClick);
    }

private:
    // As the desktop's combo box does, an empty list drops as a strip of ten
    // pixels under the box, or over it where the screen ends.
    void showEmptyList()
    {
        constexpr int EmptyListHeight = 10;
        QWidget *list = view()->window();
        QRect r(mapToGlobal(QPoint(0, height())), QSize(width(), EmptyListHeight));
        if (const QScreen *s = screen(); s && r.bottom() > s->availableGeometry().bottom())
            r.moveBottom(mapToGlobal(QPoint(0, 0)).y() - 1);
        list->setGeometry(r);
        list->show();
        list->raise();
    }

    TFlatComboBox *owner_;
};

TFlatComboBox::TFlatComboBox(QWidget *parent)
    : TCustomControl(parent), comboStyle_(std::make_unique<FlatComboStyle>(this)),
      delegate_(std::make_unique<FlatComboItemDelegate>(this))
{
    InstallFlatAccessibleFactory();
    combo_ = new FlatComboInner(this);
    combo_->setStyle(comboStyle_.get());
    combo_->setItemDelegate(delegate_.get());
    combo_->setGeometry(rect());
    combo_->setEditable(true);
    combo_->setMaxVisibleItems(8);
    systemButtonWidth_ = combo_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, combo_);
    setFocusProxy(combo_);
    SetTabStop(true);
    SetColor(clWindow);
    SetUpEdit();

    popup_ = combo_->view()->parentWidget();
    if (popup_)
        popup_->installEventFilter(this);
    combo_->installEventFilter(this);
    connect(combo_, &QComboBox::activated, this, [this] {
        // A choice from the list: first the click, then the change.
        Click();
        Fire(OnChange);
        if (style_ >= csDropDownList)
            DrawSelectionStrip();
    });
    connect(combo_, &QComboBox::currentIndexChanged, this, [this] {
        if (style_ >= csDropDownList)
            DrawSelectionStrip();
    });
    resize(145, 21);
}

TFlatComboBox::~TFlatComboBox()
{
    // The combo box uses the style and the delegate to the end, and tells
    // this half-destroyed control nothing while it goes.
    combo_->disconnect(this);
    combo_->removeEventFilter(this);
    if (QLineEdit *edit = combo_->lineEdit()) {
        edit->disconnect(this);
        edit->removeEventFilter(this);
    }
    if (popup_)
        popup_->removeEventFilter(this);
    delete combo_;
    combo_ = nullptr;
}

QComboBox *TFlatComboBox::ComboBox() const { return combo_; }

void TFlatComboBox::SetAccessibleLabel(const QString &label)
{
    accessibleLabel_ = label;
    combo_->setAccessibleName(label);
    if (edit_)
        edit_->setAccessibleName(label);
}
QLineEdit *TFlatComboBox::EditHandle() const { return combo_ ? combo_->lineEdit() : nullptr; }

void TFlatComboBox::SetUpEdit()
{
    combo_->setInsertPolicy(QComboBox::NoInsert);
    QLineEdit *edit = combo_->lineEdit();
    // Kept apart: the filter must not ask the combo box, which may be going.
    edit_ = edit;
    if (!edit)
        return;
    // The text stays exactly as typed: no completion from the list.
    combo_->setCompleter(nullptr);
    edit->setMaxLength(maxLength_ > 0 ? maxLength_ : 32767);
    edit->setAccessibleName(accessibleLabel_);
    edit->installEventFilter(this);
    // One line only: a line break pasted or dropped in would become part of
    // the text, where nothing can show or use it.
    connect(edit, &QLineEdit::textChanged, this, [edit](const QString &text) {
        if (!text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
            return;
        const int cursor = edit->cursorPosition();
        QString oneLine = text;
        oneLine.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
        edit->setText(oneLine);
        edit->setCursorPosition(std::min(cursor, int(oneLine.size())));
    });
    connect(edit, &QLineEdit::textEdited, this, [this] { Fire(OnChange); });
    ApplyPalette();
}

void TFlatComboBox::ApplyPalette()
{
    QPalette pal = combo_->palette();
    const QColor back = framework::ToQColor(Color());
    pal.setColor(QPalette::Base, back);
    pal.setColor(QPalette::Window, back);
    pal.setColor(QPalette::Text, framework::ToQColor(Font().Color));
    pal.setColor(QPalette::Highlight, framework::ToQColor(clHighlight));
    pal.setColor(QPalette::HighlightedText, framework::ToQColor(clHighlightText));
    combo_->setPalette(pal);
    // The list is a window of its own and inherits nothing.
    combo_->view()->setPalette(pal);
    combo_->view()->setFont(QtFont());
}

void TFlatComboBox::RepaintAll() { combo_->update(); }

void TFlatComboBox::SetStyle(TComboBoxStyle value)
{
    if (style_ == value)
        return;
    style_ = value;
    const bool editable = value == csDropDown || value == csSimple;
    if (editable != combo_->isEditable()) {
        combo_->setEditable(editable);
        SetUpEdit();
    }
    RepaintAll();
}

void TFlatComboBox::SetColors(int index, TColor value)
{
    (index == 0 ? colorArrow_ : index == 1 ? colorArrowBackground_ : colorBorder_) = value;
    RepaintAll();
}

void TFlatComboBox::SetAdvColors(int index, TAdvColors value)
{
    (index == 0 ? advColorBorder_ : advColorArrowBackground_) = std::min<TAdvColors>(value, 100);
    ApplyAdvColors();
    RepaintAll();
}

void TFlatComboBox::SetUseAdvColors(bool value)
{
    AssignAndRepaint(useAdvColors_, value, [this] {
        ApplyAdvColors();
        RepaintAll();
    });
}

void TFlatComboBox::ApplyAdvColors()
{
    if (!useAdvColors_)
        return;
    TColor parentColor;
    if (TControl *p = ParentControl())
        parentColor = p->Color();
    else if (QWidget *w = parentWidget())
        parentColor = framework::FromQColor(w->palette().color(QPalette::Window));
    else
        return; // nothing to derive from
    colorBorder_ = ComputeAdvColor(parentColor, colorBorder_, advColorBorder_, true);
    colorArrowBackground_ = ComputeAdvColor(parentColor, colorArrowBackground_, advColorArrowBackground_, true);
}

int TFlatComboBox::DropDownCount() const { return combo_->maxVisibleItems(); }

void TFlatComboBox::SetItemHeight(int value)
{
    if (value <= 0 || itemHeight_ == value)
        return;
    itemHeight_ = value;
    // The list measures its rows again.
    combo_->setItemDelegate(delegate_.get());
}

void TFlatComboBox::SetMaxLength(int value)
{
    maxLength_ = std::max(value, 0);
    if (QLineEdit *edit = combo_->lineEdit())
        edit->setMaxLength(maxLength_ > 0 ? maxLength_ : 32767);
}

void TFlatComboBox::SetSorted(bool value)
{
    if (sorted_ == value)
        return;
    sorted_ = value;
    if (!value)
        return;
    QStringList items = Items();
    std::stable_sort(items.begin(), items.end(), [](const QString &a, const QString &b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
    const int index = ItemIndex();
    const QString current = index >= 0 ? combo_->itemText(index) : QString();
    KeepTextAndIndex([&] {
        combo_->clear();
        combo_->addItems(items);
        combo_->setCurrentIndex(index >= 0 ? static_cast<int>(items.indexOf(current)) : -1);
    });
}

QStringList TFlatComboBox::Items() const
{
    QStringList items;
    for (int i = 0; i < combo_->count(); ++i)
        items << combo_->itemText(i);
    return items;
}

void TFlatComboBox::SetItems(const QStringList &items)
{
    ClearItems();
    for (const QString &item : items)
        AddItem(item);
}

int TFlatComboBox::AddItem(const QString &item)
{
    int at = combo_->count();
    if (sorted_) {
        at = 0;
        while (at < combo_->count() && QString::compare(combo_->itemText(at), item, Qt::CaseInsensitive) <= 0)
            ++at;
    }
    KeepTextAndIndex([&] { combo_->insertItem(at, item); });
    return at;
}

void TFlatComboBox::DeleteItem(int index)
{
    if (index >= 0 && index < combo_->count())
        KeepTextAndIndex([&] { combo_->removeItem(index); });
}

void TFlatComboBox::ClearItems()
{
    // The edit empties with the list.
    combo_->clear();
    if (combo_->isEditable())
        combo_->setEditText(QString());
}

int TFlatComboBox::ItemCount() const { return combo_->count(); }

void TFlatComboBox::KeepTextAndIndex(const std::function<void()> &change)
{
    const QString text = Text();
    const int index = ItemIndex();
    change();
    // The combo box selects the first item put into an empty list.
    if (index < 0 && combo_->currentIndex() >= 0)
        combo_->setCurrentIndex(-1);
    if (combo_->isEditable() && combo_->currentText() != text)
        combo_->setEditText(text);
}

QString TFlatComboBox::Text() const { return combo_->currentText(); }

void TFlatComboBox::SetText(const QString &text)
{
    if (combo_->isEditable()) {
        combo_->setEditText(text);
        return;
    }
    // The list-only styles show an item's text or nothing.
    const int index = combo_->findText(text, Qt::MatchFixedString);
    if (index >= 0)
        combo_->setCurrentIndex(index);
}

int TFlatComboBox::ItemIndex() const { return combo_->currentIndex(); }

void TFlatComboBox::SetItemIndex(int index)
{
    const int valid = index >= 0 && index < combo_->count() ? index : -1;
    // An unchanged index keeps the typed text.
    if (valid == combo_->currentIndex())
        return;
    combo_->setCurrentIndex(valid);
}

void TFlatComboBox::UpdateActiveState()
{
    const QLineEdit *edit = combo_->lineEdit();
    const bool active = droppedDown_ || combo_->hasFocus() || (edit && edit->hasFocus());
    if (active == activeState_)
        return;
    activeState_ = active;
    DrawFrameAndButton();
}

void TFlatComboBox::DrawFrameAndButton() { combo_->update(); }

void TFlatComboBox::DrawSelectionStrip()
{
    const int w = combo_->width(), h = combo_->height();
    combo_->update(Rect(3, 3, w - 16, h - 3).ToQRect());
}

void TFlatComboBox::CloseUp()
{
    // The button shows its arrow pointing down again.
    const int w = combo_->width(), h = combo_->height();
    combo_->update(Rect(w - 14, 0, w - 1, h).ToQRect());
}

bool TFlatComboBox::FocusMarkShown() const
{
    const QLineEdit *edit = combo_->lineEdit();
    return focusMark_.Shown() && (combo_->hasFocus() || (edit && edit->hasFocus()));
}

bool TFlatComboBox::SelectionFocused() const { return combo_->hasFocus() && !droppedDown_; }

bool TFlatComboBox::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (watched == popup_ && (type == QEvent::Show || type == QEvent::Hide)) {
        droppedDown_ = type == QEvent::Show;
        UpdateActiveState();
        if (droppedDown_)
            RepaintAll();
        else
            CloseUp();
    } else if ((watched == combo_ || watched == edit_) && (type == QEvent::FocusIn || type == QEvent::FocusOut)) {
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        if (type == QEvent::FocusIn)
            focusMark_.FocusIn(reason, combo_);
        else if (!combo_->hasFocus())
            focusMark_.FocusOut(reason, combo_);
        UpdateActiveState();
        if (style_ >= csDropDownList)
            DrawSelectionStrip();
        const auto *focus = static_cast<QFocusEvent *>(event);
        if (focus->reason() != Qt::PopupFocusReason) {
            const bool inside = combo_->hasFocus();
            if (inside && !entered_) {
                entered_ = true;
                Fire(OnEnter);
            } else if (!inside && entered_) {
                entered_ = false;
                Fire(OnExit);
            }
        }
    } else if (watched == edit_ && type == QEvent::MouseButtonDblClick) {
        Fire(OnDblClick);
    }
    if (watched == combo_ || watched == edit_) {
        if (type == QEvent::KeyPress)
            focusMark_.KeyPressed(combo_);
        else if (type == QEvent::MouseButtonPress)
            focusMark_.MousePressed(combo_);
    }
    return TControl::eventFilter(watched, event);
}

void TFlatComboBox::resizeEvent(QResizeEvent *event)
{
    TControl::resizeEvent(event);
    combo_->setGeometry(rect());
}

void TFlatComboBox::ColorChanged()
{
    TControl::ColorChanged();
    ApplyPalette();
    RepaintAll();
}

void TFlatComboBox::FontChanged()
{
    TControl::FontChanged();
    itemHeight_ = 13;
    ApplyPalette();
    RepaintAll();
}

void TFlatComboBox::DevicePixelRatioChanged()
{
    TControl::DevicePixelRatioChanged();
    ApplyPalette(); // the list's font
    RepaintAll();
}

void TFlatComboBox::EnabledChanged()
{
    TControl::EnabledChanged();
    RepaintAll();
}

void TFlatComboBox::SysColorChange()
{
    ApplyAdvColors();
    ApplyPalette(); // system colours may stand behind Color and the font's colour
    RepaintAll();
}

void TFlatComboBox::ParentColorChanged()
{
    ApplyAdvColors();
    RepaintAll();
}

} // namespace flat
