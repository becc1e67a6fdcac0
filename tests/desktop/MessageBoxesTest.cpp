// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>
#include <optional>

#include "desktop/Desktop.h"

// A posed question returns at once: the window keeps running its own loop,
// takes no input while the box is open, and hears the answer when it comes.
TEST(MessageBoxesTest, APosedQuestionWaitsForItsAnswerWithoutALoopOfItsOwn)
{
    QWidget window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    platform::Question question;
    question.Text = QStringLiteral("Stop joining?");
    question.Answers = {QStringLiteral("&Yes"), QStringLiteral("&No")};
    question.EscapeAnswer = 1;

    for (const int clicked : {1, 0, -1}) { // No, Yes, Escape
        std::optional<int> answer;
        platform::CurrentMessageBoxes().Pose(&window, question, [&](int a) { answer = a; });
        EXPECT_FALSE(answer) << "returned before the person answered";
        QMessageBox *box = nullptr;
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return (box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())); }));
        EXPECT_EQ(box->text(), question.Text);
        EXPECT_EQ(box->parentWidget(), &window);
        if (clicked >= 0) {
            for (QAbstractButton *button : box->buttons()) {
                if (button->text() == question.Answers[clicked])
                    button->click();
            }
        } else
            QTest::keyClick(box, Qt::Key_Escape);
        ASSERT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }));
        EXPECT_EQ(*answer, clicked >= 0 ? clicked : 1);
        EXPECT_TRUE(QTest::qWaitFor([] { return QApplication::activeModalWidget() == nullptr; }));
    }
}
