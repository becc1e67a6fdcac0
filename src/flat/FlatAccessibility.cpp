// SPDX-License-Identifier: GPL-3.0-or-later
#include "flat/FlatAccessibility.h"

#include <QAbstractItemView>
#include <QAccessibleValueInterface>
#include <QComboBox>
#include <QLineEdit>

#include "flat/TFlatButtonUnit.h"
#include "flat/TFlatComboBoxUnit.h"
#include "flat/TFlatProgressBarUnit.h"
#include "flat/TFlatTitlebarUnit.h"
#include "framework/Accessibility.h"

namespace flat {

using framework::IsClass;
using framework::TControlAccessible;

namespace {

// The glyphs a title bar's buttons show, by what they do.
QString TitlebarButtonName(const QString &caption)
{
    if (caption == u"X")
        return QStringLiteral("Close");
    if (caption == u"~" || caption == u"_")
        return QStringLiteral("Minimize");
    return {};
}

class ButtonAccessible final : public TControlAccessible {
public:
    explicit ButtonAccessible(TFlatButton *b) : TControlAccessible(b, QAccessible::Button) {}

    TFlatButton *button() const { return static_cast<TFlatButton *>(widget()); }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty() &&
            qobject_cast<TFlatTitlebar *>(widget()->parentWidget())) {
            const QString name = TitlebarButtonName(button()->Caption());
            if (!name.isEmpty())
                return name;
        }
        return TControlAccessible::text(t);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = TControlAccessible::state();
        s.pressed = button()->Down();
        return s;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }
    void doAction(const QString &name) override
    {
        if (name == pressAction() && button()->isEnabled())
            framework::DoLater(button(), [b = button()] { b->Click(); });
    }
};

class ProgressAccessible final : public TControlAccessible, public QAccessibleValueInterface {
public:
    explicit ProgressAccessible(TFlatProgressBar *bar) : TControlAccessible(bar, QAccessible::ProgressBar) {}

    TFlatProgressBar *bar() const { return static_cast<TFlatProgressBar *>(widget()); }

    void *interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return TControlAccessible::interface_cast(t);
    }
    QVariant currentValue() const override { return bar()->Position(); }
    // The join sets the position; nobody else does.
    void setCurrentValue(const QVariant &) override {}
    QVariant maximumValue() const override { return bar()->Max(); }
    QVariant minimumValue() const override { return bar()->Min(); }
    QVariant minimumStepSize() const override { return 0; }
};

// The platform combo box under a flat one. On Linux Qt names a combo box by
// its text, leaving the label to a label widget's relation, which this box
// has none of: the name is the label ("Output file"), the value the text.
class ComboAccessible final : public QAccessibleWidget {
public:
    explicit ComboAccessible(QComboBox *combo) : QAccessibleWidget(combo, QAccessible::ComboBox) {}

    QComboBox *combo() const { return static_cast<QComboBox *>(widget()); }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return widget()->accessibleName();
        if (t == QAccessible::Value)
            return combo()->currentText();
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.expanded = combo()->view()->isVisible();
        return s;
    }
    // The list, and the edit of an editable box, as Qt's own combo box has them.
    int childCount() const override { return combo()->isEditable() ? 2 : 1; }
    QAccessibleInterface *child(int index) const override
    {
        if (index == 0)
            return QAccessible::queryAccessibleInterface(combo()->view());
        if (index == 1 && combo()->isEditable())
            return QAccessible::queryAccessibleInterface(combo()->lineEdit());
        return nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        if (child->object() == combo()->view())
            return 0;
        return combo()->isEditable() && child->object() == combo()->lineEdit() ? 1 : -1;
    }
    // The edit takes the keyboard for the box.
    QAccessibleInterface *focusChild() const override { return combo()->isEditable() ? child(1) : nullptr; }
    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
    void doAction(const QString &name) override
    {
        if (name != showMenuAction() && name != pressAction())
            return;
        if (combo()->view()->isVisible())
            combo()->hidePopup();
        else
            combo()->showPopup();
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }
};

class TitlebarAccessible final : public TControlAccessible {
public:
    explicit TitlebarAccessible(QWidget *bar) : TControlAccessible(bar, QAccessible::TitleBar) {}
};

QAccessibleInterface *Factory(const QString &className, QObject *object)
{
    auto *w = qobject_cast<QWidget *>(object);
    if (!w)
        return nullptr;
    if (IsClass<TFlatButton>(className))
        return new ButtonAccessible(static_cast<TFlatButton *>(w));
    if (IsClass<TFlatProgressBar>(className))
        return new ProgressAccessible(static_cast<TFlatProgressBar *>(w));
    if (IsClass<TFlatTitlebar>(className))
        return new TitlebarAccessible(w);
    // Only holds the platform combo box, which speaks for itself.
    if (IsClass<TFlatComboBox>(className))
        return new TControlAccessible(w, QAccessible::Client);
    if (auto *combo = qobject_cast<QComboBox *>(w); combo && qobject_cast<TFlatComboBox *>(combo->parentWidget()))
        return new ComboAccessible(combo);
    return nullptr;
}

} // namespace

void InstallFlatAccessibleFactory()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    framework::InstallAccessibleFactory();
    QAccessible::installFactory(&Factory);
}

} // namespace flat
