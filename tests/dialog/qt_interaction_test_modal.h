// Answers a modal dialog the way a user would: the tests open a dialog whose exec() blocks,
// and a polling timer finds it among the active modal widgets and presses its buttons.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

namespace kartoplot::dialog::testing {

inline constexpr int kPollMilliseconds = 10;
// A dialog still open this long after it appeared is rejected, so a failing test ends.
inline constexpr qint64 kModalTimeoutMilliseconds = 5000;

// Calls open(); the first visible modal T it shows is handed to answer(T&), which must close
// it. Returns open()'s result; fails the test when no T was shown.
template <class T, class Open, class Answer>
auto answerModal(Open&& open, Answer&& answer) {
    bool answered = false;
    QElapsedTimer clock;
    clock.start();
    QTimer poll;
    poll.setInterval(kPollMilliseconds);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        auto* dialog = qobject_cast<T*>(modal);
        if (!answered && dialog != nullptr && dialog->isVisible()) {
            answered = true;
            answer(*dialog);
        } else if (modal != nullptr && clock.elapsed() > kModalTimeoutMilliseconds) {
            ADD_FAILURE() << "a modal " << modal->metaObject()->className() << " stayed open";
            if (auto* stuck = qobject_cast<QDialog*>(modal)) {
                stuck->reject();
            } else {
                modal->close();
            }
        }
    });
    poll.start();
    auto result = open();
    poll.stop();
    EXPECT_TRUE(answered) << "no " << T::staticMetaObject.className() << " was shown";
    return result;
}

}  // namespace kartoplot::dialog::testing
