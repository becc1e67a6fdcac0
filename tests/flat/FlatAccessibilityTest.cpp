// SPDX-License-Identifier: GPL-3.0-or-later
// What screen readers learn of the flat controls, through Qt's accessibility
// interfaces as the desktop's bridge reads them.
#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

#include "flat/TFlatButtonUnit.h"
#include "flat/TFlatComboBoxUnit.h"
#include "flat/TFlatProgressBarUnit.h"
#include "flat/TFlatTitlebarUnit.h"
#include "framework/Accessibility.h"

using namespace flat;

namespace {

QAccessibleInterface *Of(QObject *o) { return QAccessible::queryAccessibleInterface(o); }

// Every value change the controls announce while it lives.
struct ValueChanges {
    QList<QVariant> values;
    framework::AnnouncementSpy spy{[this](QAccessibleEvent &e) {
        if (e.type() == QAccessible::ValueChanged)
            values << static_cast<QAccessibleValueChangeEvent &>(e).value();
    }};
};

} // namespace

TEST(FlatAccessibility, ButtonsArePushButtonsThatPressByTheirNames)
{
    framework::TForm form;
    auto *bar = new TFlatTitlebar(&form);
    auto *close = new TFlatButton(bar);
    close->SetCaption(QStringLiteral("X"));
    auto *minimize = new TFlatButton(bar);
    minimize->SetCaption(QStringLiteral("~"));
    auto *join = new TFlatButton(&form);
    join->SetCaption(QStringLiteral("&Join && Play"));
    int clicks = 0;
    join->OnClick = [&](QObject *) { ++clicks; };

    EXPECT_EQ(Of(close)->text(QAccessible::Name), QStringLiteral("Close"));
    EXPECT_EQ(Of(minimize)->text(QAccessible::Name), QStringLiteral("Minimize"));
    QAccessibleInterface *a = Of(join);
    EXPECT_EQ(a->role(), QAccessible::Button);
    EXPECT_EQ(a->text(QAccessible::Name), QStringLiteral("Join & Play"));
    EXPECT_EQ(Of(bar)->role(), QAccessible::TitleBar);

    ASSERT_NE(a->actionInterface(), nullptr);
    EXPECT_EQ(a->actionInterface()->actionNames(), QStringList{QAccessibleActionInterface::pressAction()});
    a->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(clicks, 0) << "the answer goes back before the click runs";
    QCoreApplication::processEvents();
    EXPECT_EQ(clicks, 1);

    join->SetEnabled(false);
    a->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCoreApplication::processEvents();
    EXPECT_EQ(clicks, 1) << "a disabled button does not press";
    EXPECT_TRUE(a->state().disabled);
}

TEST(FlatAccessibility, ProgressBarsTellTheirValuesAndEachWholePercent)
{
    TFlatProgressBar bar;
    bar.SetMax(1000);
    QAccessibleValueInterface *v = Of(&bar)->valueInterface();
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(Of(&bar)->role(), QAccessible::ProgressBar);

    ValueChanges changes;
    bar.SetPosition(500);
    bar.SetPosition(505); // still 50 %
    bar.SetPosition(510);
    bar.SetPosition(0);
    EXPECT_EQ(changes.values, (QList<QVariant>{qint64(500), qint64(510), qint64(0)}));
    bar.SetPosition(250);
    EXPECT_EQ(v->currentValue().toLongLong(), 250);
    EXPECT_EQ(v->minimumValue().toLongLong(), 0);
    EXPECT_EQ(v->maximumValue().toLongLong(), 1000);

    // Sizes past 32 bits, as a join of large files sets them.
    bar.SetMax(qint64(8) << 32);
    bar.SetPosition(qint64(4) << 32);
    EXPECT_EQ(changes.values.last().toLongLong(), qint64(4) << 32);
    EXPECT_EQ(v->maximumValue().toLongLong(), qint64(8) << 32);
}

TEST(FlatAccessibility, TheComboBoxAndItsEditCarryTheLabel)
{
    TFlatComboBox box;
    box.SetAccessibleLabel(QStringLiteral("Output file"));
    box.SetText(QStringLiteral("/tmp/out.mpg"));
    // Before, the box was named by its path.
    EXPECT_EQ(Of(box.ComboBox())->text(QAccessible::Name), QStringLiteral("Output file"));
    EXPECT_EQ(Of(box.ComboBox())->text(QAccessible::Value), QStringLiteral("/tmp/out.mpg"));
    EXPECT_EQ(Of(box.ComboBox())->role(), QAccessible::ComboBox);
    EXPECT_EQ(Of(box.EditHandle())->text(QAccessible::Name), QStringLiteral("Output file"));
    // A new edit, as a change of style makes, carries it too.
    box.SetStyle(csDropDownList);
    box.SetStyle(csDropDown);
    ASSERT_NE(box.EditHandle(), nullptr);
    EXPECT_EQ(box.EditHandle()->accessibleName(), QStringLiteral("Output file"));
}
