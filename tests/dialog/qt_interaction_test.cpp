#include "dialog/qt_interaction.h"

#include <QAbstractButton>
#include <QColorDialog>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFontDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "dialog/symbol_chooser.h"
#include "language/messages.h"
#include "tests/dialog/qt_interaction_test_modal.h"

namespace kartoplot::dialog {
namespace {

using testing::answerModal;

TEST(QtFilterFromHost, ConvertsEveryPairToOneQtEntryAndSelectsByOneBasedIndex) {
    struct Case {
        std::string host;
        QStringList qt;
    };
    const std::vector<Case> cases = {
        {"", {}},
        {"Legend *.leg|*.leg", {"Legend (*.leg)"}},
        {"*.leg|*.leg", {"*.leg"}},
        {"Legend (*.leg)|*.leg| Layer (*.lyr)|*.lyr", {"Legend (*.leg)", "Layer (*.lyr)"}},
        {"Параметры (*.par)|*.par", {"Параметры (*.par)"}},
        {"Pictures|*.png;*.bmp", {"Pictures (*.png *.bmp)"}},
        {"Pictures (*.png; *.bmp)|*.png;*.bmp", {"Pictures (*.png *.bmp)"}},
        {"Layer *.lyr backup|*.lyr", {"Layer *.lyr backup (*.lyr)"}},
        {"Old (*.obj)|*.lyr", {"Old (*.obj) (*.lyr)"}},
        {"All files|", {"All files (*)"}},
        {"Text", {"Text (*)"}},
        {"A|*.a|", {"A (*.a)"}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.host);
        EXPECT_EQ(qtFiltersFromHost(c.host), c.qt);
        EXPECT_EQ(qtFilterFromHost(c.host), c.qt.join(";;"));
    }
    const std::string filter = "Legend|*.leg|Layer|*.lyr";
    EXPECT_EQ(qtSelectedFilter(filter, 2), "Layer (*.lyr)");
    for (int outside : {0, 1, 3}) {
        EXPECT_EQ(qtSelectedFilter(filter, outside), "Legend (*.leg)") << outside;
    }
    EXPECT_EQ(qtSelectedFilter("", 1), "");
}

TEST(QtInteractionMessageBox, ReturnsThePressedButtonAndTheEscapeAnswer) {
    using B = host::MessageButtons;
    using R = host::MessageResult;
    using Q = QMessageBox;
    using I = host::MessageIcon;
    const std::tuple<B, Q::StandardButtons, R> boxes[] = {
        {B::Ok, Q::Ok, R::Ok},
        {B::OkCancel, Q::Ok | Q::Cancel, R::Cancel},
        {B::YesNo, Q::Yes | Q::No, R::No},
        {B::YesNoCancel, Q::Yes | Q::No | Q::Cancel, R::Cancel},
        {B::RetryCancel, Q::Retry | Q::Cancel, R::Cancel}};
    // NoButton: the user presses Escape.
    const std::pair<Q::StandardButton, R> presses[] = {
        {Q::Ok, R::Ok}, {Q::Cancel, R::Cancel}, {Q::Yes, R::Yes}, {Q::No, R::No}, {Q::Retry, R::Retry}, {Q::NoButton, {}}};
    const std::pair<I, Q::Icon> icons[] = {
        {I::None, Q::NoIcon},       {I::Information, Q::Information}, {I::Exclamation, Q::Warning},
        {I::Question, Q::Question}, {I::Critical, Q::Critical},
    };
    QWidget window;
    QtInteraction interaction;
    interaction.setParentWidget(&window);
    int shown = 0;
    for (const auto& [buttons, qtButtons, escape] : boxes) {
        for (const auto& [press, pressResult] : presses) {
            if (press != Q::NoButton && !qtButtons.testFlag(press)) {
                continue;
            }
            const auto& [hostIcon, qtIcon] = icons[shown++ % std::size(icons)];
            SCOPED_TRACE(::testing::Message() << "box " << qtButtons << " press " << press);
            const auto result = answerModal<QMessageBox>(
                [&] {
                    return interaction.messageBox("Удалить подписи?", "Kartoplot", buttons,
                                                  hostIcon);
                },
                [&](QMessageBox& box) {
                    EXPECT_EQ(box.text(), "Удалить подписи?");
                    EXPECT_EQ(box.windowTitle(), "Kartoplot");
                    EXPECT_EQ(box.icon(), qtIcon);
                    EXPECT_EQ(box.parentWidget(), &window);
                    EXPECT_EQ(box.standardButtons(), qtButtons);
                    if (press == Q::NoButton) {
                        QTest::keyClick(&box, Qt::Key_Escape);
                    } else {
                        box.button(press)->click();
                    }
                });
            EXPECT_EQ(result, press == Q::NoButton ? escape : pressResult);
        }
    }
}

class QtInteractionFiles : public ::testing::Test {
protected:
    void SetUp() override {
        QFile legend(path("a.leg"));
        ASSERT_TRUE(legend.open(QIODevice::WriteOnly));
        request_.title = "Открыть легенду";
        request_.filter = "Legend (*.leg)|*.leg| Layer (*.lyr)|*.lyr";
        request_.filterIndex = 2;
        request_.initialFolder = folder_.path().toStdString();
        request_.fileName = "a.leg";
    }
    QString path(const QString& name) const { return QDir(folder_.path()).filePath(name); }

    // Checks what the dialog shows, then chooses the file `choice` (empty: cancels).
    void expectRequestShown(QFileDialog& dialog, const QString& choice) {
        EXPECT_EQ(dialog.windowTitle(), "Открыть легенду");
        EXPECT_EQ(dialog.nameFilters(), (QStringList{"Legend (*.leg)", "Layer (*.lyr)"}));
        EXPECT_EQ(dialog.selectedNameFilter(), "Layer (*.lyr)");
        EXPECT_EQ(QDir(dialog.directory()).canonicalPath(), QDir(folder_.path()).canonicalPath());
        auto* name = dialog.findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        if (dialog.acceptMode() == QFileDialog::AcceptOpen) {
            EXPECT_EQ(name->text(), "a.leg");
        }
        if (choice.isEmpty()) {
            dialog.reject();
            return;
        }
        // Typed like a user does: selectFile() leaves a focused name box alone.
        name->setText(choice);
        static_cast<QDialog&>(dialog).accept();  // QFileDialog's own accept() is protected
    }

    QTemporaryDir folder_;
    host::FileDialogRequest request_;
    QtInteraction interaction_;
};

TEST_F(QtInteractionFiles, OpenAndSaveShowTheRequestAndReturnTheChosenFile) {
    const auto open = [&](const QString& choice) {
        return answerModal<QFileDialog>([&] { return interaction_.openFile(request_); },
                                        [&](QFileDialog& dialog) {
                                            EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptOpen);
                                            EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFile);
                                            expectRequestShown(dialog, choice);
                                        });
    };
    EXPECT_EQ(open(path("a.leg")), path("a.leg").toStdString());
    EXPECT_FALSE(open({}).has_value());
    for (const bool prompt : {true, false}) {  // save asks before overwriting only when requested
        request_.overwritePrompt = prompt;
        const auto chosen = answerModal<QFileDialog>(
            [&] { return interaction_.saveFile(request_); },
            [&](QFileDialog& dialog) {
                EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
                EXPECT_EQ(dialog.testOption(QFileDialog::DontConfirmOverwrite), !prompt);
                expectRequestShown(dialog, path("new.lyr"));
            });
        EXPECT_EQ(chosen, path("new.lyr").toStdString()) << prompt;
    }
}

TEST(QtInteractionChoosers, ColourAndFontDialogsStartOnTheCurrentValue) {
    QtInteraction interaction;
    const auto chosen = answerModal<QColorDialog>(
        [&] {
            return interaction.chooseColor({255, 0, 0});
        },
        [](QColorDialog& dialog) {
            EXPECT_EQ(dialog.currentColor(), QColor(255, 0, 0));
            dialog.setCurrentColor(QColor(0, 128, 255));
            dialog.accept();
        });
    EXPECT_EQ(chosen, (host::Color{0, 128, 255}));
    EXPECT_FALSE(answerModal<QColorDialog>([&] { return interaction.chooseColor({}); },
                                           [](QColorDialog& dialog) { dialog.reject(); }));
    // Fonts keep the host name of the family they draw with; a font without a point size
    // keeps the current size.
    const host::Font current{"Arial", 12.0, true, false, true, false};
    const auto unchanged =
        answerModal<QFontDialog>([&] { return interaction.chooseFont(current); },
                                 [](QFontDialog& dialog) {
                                     const QFont shown = dialog.currentFont();
                                     EXPECT_EQ(shown.family(), "Liberation Sans");
                                     EXPECT_EQ(shown.pointSize(), 12);
                                     EXPECT_TRUE(shown.bold() && shown.underline());
                                     dialog.accept();
                                 });
    EXPECT_EQ(unchanged, current);
    QFont other("Liberation Serif");
    other.setPixelSize(20);
    other.setItalic(true);
    other.setStrikeOut(true);
    EXPECT_EQ(hostFontFromQt(other, current),
              (host::Font{"Liberation Serif", 12.0, false, true, false, true}));
    EXPECT_FALSE(answerModal<QFontDialog>([&] { return interaction.chooseFont(current); },
                                          [](QFontDialog& dialog) { dialog.reject(); }));
}

TEST(QtInteractionChoosers, SymbolChooserIsModalAndSpeaksTheLanguage) {
    QtInteraction interaction(nullptr, std::string(language::kRussian));
    auto fill = std::make_shared<host::SimpleFillSymbol>();
    const auto chosen = answerModal<SymbolChooser>(
        [&] { return interaction.chooseSymbol(fill); },
        [](SymbolChooser& chooser) {
            EXPECT_TRUE(chooser.isModal());
            EXPECT_EQ(chooser.windowTitle(), "Символ");
            chooser.findChild<ColorButton*>("FillColor")->setColor({0, 0, 255});
            chooser.findChild<QAbstractButton*>("CmdOK")->click();
        });
    ASSERT_NE(chosen, nullptr);
    EXPECT_EQ(static_cast<host::SimpleFillSymbol&>(*chosen).color, (host::Color{0, 0, 255}));
    EXPECT_EQ(answerModal<SymbolChooser>([&] { return interaction.chooseSymbol(fill); },
                                         [](SymbolChooser& chooser) { chooser.reject(); }),
              nullptr);
    EXPECT_EQ(interaction.chooseSymbol(nullptr), nullptr) << "nothing to edit, no dialog";
}

// Receives the links QDesktopServices hands to the test's own scheme.
class LinkCatcher : public QObject {
    Q_OBJECT

public:
    QList<QUrl> links;

public Q_SLOTS:
    void open(const QUrl& link) { links << link; }
};

TEST(QtInteractionOpenUrl, HandsTheLinkToTheSystem) {
    LinkCatcher catcher;
    QDesktopServices::setUrlHandler("kartoplot-test", &catcher, "open");
    QtInteraction interaction;
    EXPECT_TRUE(interaction.openUrl("kartoplot-test://help/charts"));
    EXPECT_FALSE(interaction.openUrl("  "));
    QDesktopServices::unsetUrlHandler("kartoplot-test");
    EXPECT_EQ(catcher.links, QList<QUrl>{QUrl("kartoplot-test://help/charts")});
}

}  // namespace
}  // namespace kartoplot::dialog

#include "qt_interaction_test.moc"
