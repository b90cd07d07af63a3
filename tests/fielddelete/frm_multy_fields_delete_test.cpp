// FrmMultyFieldsDelete driven as a user drives it: the offered fields, its captions in both
// languages, and CmdDel with its one confirmation, a No, a field gone meanwhile and a failure.
#include "fielddelete/frm_multy_fields_delete.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "errors/error_handling.h"

namespace kartoplot::fielddelete {
namespace {

using Strings = std::vector<std::string>;

// Fields OBJECTID, Shape, NAME, a, b, c; two features.
std::shared_ptr<host::FeatureClass> towns() {
    auto fc = std::make_shared<host::FeatureClass>("Towns", host::GeometryType::Point);
    fc->addField({"NAME", "", host::FieldType::String, 20});
    for (const char* name : {"a", "b", "c"}) {
        fc->addField({name, "", host::FieldType::Double, 0});
    }
    fc->createFeature(host::Point{1, 2}, {"Tver", 1.0, 2.0, 3.0});
    fc->createFeature(host::Point{3, 4}, {"Klin", 4.0, 5.0, 6.0});
    return fc;
}

Strings fieldNames(const host::FeatureClass& fc) {
    Strings out;
    for (const auto& f : fc.fields().all()) {
        out.push_back(f.name);
    }
    return out;
}

template <class W>
W* ctl(FrmMultyFieldsDelete& form, const char* name) {
    auto* widget = qobject_cast<W*>(form.control(QString::fromLatin1(name)));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

Strings listed(FrmMultyFieldsDelete& form) {
    Strings out;
    auto* list = ctl<QListWidget>(form, "LstFields");
    for (int i = 0; i < list->count(); ++i) {
        out.push_back(list->item(i)->text().toStdString());
    }
    return out;
}

TEST(FrmMultyFieldsDelete, OffersAllButTheRequiredFieldsUnderTranslatedCaptions) {
    const struct {
        const char* language;
        const char* caption;
        const char* del;
        const char* cancel;
    } cases[] = {{"Русский", "Удаление нескольких полей ", "Удалить", "Отмена"},
                 {"English", "Multi-Fields Delete", "Delete", "Cancel"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language);
        FrmMultyFieldsDelete form;
        form.setLanguage(c.language);
        form.setFeatureClass(towns());
        form.setLayerName("Towns");
        form.Form_Load();
        EXPECT_EQ(form.windowTitle().toStdString(), c.caption);
        EXPECT_EQ(ctl<QPushButton>(form, "CmdDel")->text().toStdString(), c.del);
        EXPECT_EQ(ctl<QPushButton>(form, "CmdCancel")->text().toStdString(), c.cancel);
        EXPECT_EQ(ctl<QLabel>(form, "LblLayerName")->text().toStdString(), "Towns");
        // OBJECTID and Shape are not offered: deleting them would destroy the layer.
        EXPECT_EQ(listed(form), (Strings{"NAME", "a", "b", "c"}));
        EXPECT_EQ(ctl<QListWidget>(form, "LstFields")->selectionMode(),
                  QAbstractItemView::MultiSelection);
    }
}

TEST(FrmMultyFieldsDelete, DeletesTheTickedFieldsAfterOneConfirmation) {
    const struct {
        const char* what;
        Strings ticked;
        std::vector<host::MessageResult> answers;  // empty queue: the user says Yes
        bool withInteraction;
        std::function<void(host::FeatureClass&)> meanwhile;
        Strings remaining;
        bool open;  // the dialog stays open
        int records;
    } cases[] = {
        {"nothing ticked", {}, {}, true, nullptr, {"OBJECTID", "Shape", "NAME", "a", "b", "c"}, false, 0},
        {"two ticked, Yes", {"a", "c"}, {}, true, nullptr, {"OBJECTID", "Shape", "NAME", "b"}, false, 0},
        {"two ticked, No", {"a", "c"}, {host::MessageResult::No}, true, nullptr,
         {"OBJECTID", "Shape", "NAME", "a", "b", "c"}, true, 0},
        {"a ticked field gone meanwhile is passed over", {"NAME", "a"}, {}, true,
         [](host::FeatureClass& fc) { fc.deleteField(fc.findField("NAME")); },
         {"OBJECTID", "Shape", "b", "c"}, false, 0},
        {"no interaction service: reported, nothing deleted", {"a"}, {}, false, nullptr,
         {"OBJECTID", "Shape", "NAME", "a", "b", "c"}, false, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto log = std::make_shared<CapturingErrorLog>();
        ScopedErrorLog scoped(log);
        auto ui = std::make_shared<host::ScriptedInteraction>();
        ui->messageAnswers.assign(c.answers.begin(), c.answers.end());
        const auto fc = towns();
        FrmMultyFieldsDelete form;
        form.setLanguage("English");
        if (c.withInteraction) {
            form.setInteraction(ui);
        }
        form.setFeatureClass(fc);
        form.Form_Load();
        form.show();
        auto* list = ctl<QListWidget>(form, "LstFields");
        for (const std::string& name : c.ticked) {
            list->findItems(QString::fromStdString(name), Qt::MatchExactly).front()->setSelected(true);
        }
        if (c.meanwhile) {
            c.meanwhile(*fc);
        }
        QTest::mouseClick(ctl<QPushButton>(form, "CmdDel"), Qt::LeftButton);

        EXPECT_EQ(fieldNames(*fc), c.remaining);
        EXPECT_EQ(form.isVisible(), c.open);
        ASSERT_EQ(log->records().size(), static_cast<std::size_t>(c.records));
        if (c.records == 1) {
            EXPECT_NE(log->records()[0].find("\tCmdDel_Click FrmMultyFieldsDelete Line : 1"),
                      std::string::npos);
        }
        if (c.ticked.empty() || !c.withInteraction) {
            EXPECT_TRUE(ui->messages.empty());
            continue;
        }
        ASSERT_EQ(ui->messages.size(), 1U);
        std::string names;
        for (const std::string& n : c.ticked) {
            names += (names.empty() ? "" : ", ") + n;
        }
        EXPECT_EQ(ui->messages[0].text,
                  "Delete these fields from the layer in the map? The layer's data file is not "
                  "changed.\n" + names);
        EXPECT_EQ(ui->messages[0].title, "Multi-Fields Delete");
        EXPECT_EQ(ui->messages[0].buttons, host::MessageButtons::YesNo);
        // The values of the fields that stay still belong to them.
        const int b = fc->findField("b");
        EXPECT_EQ(fc->feature(2)->value(b), host::Variant(5.0));
        EXPECT_EQ(form.result() == QDialog::Accepted, !c.open && fc->fields().fieldCount() < 6);
    }
}

TEST(FrmMultyFieldsDelete, CancelClosesWithoutChanges) {
    const auto fc = towns();
    FrmMultyFieldsDelete form;
    form.setFeatureClass(fc);
    form.Form_Load();
    form.show();
    ctl<QListWidget>(form, "LstFields")->item(1)->setSelected(true);
    QTest::mouseClick(ctl<QPushButton>(form, "CmdCancel"), Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Rejected);
    EXPECT_EQ(fc->fields().fieldCount(), 6);
}

}  // namespace
}  // namespace kartoplot::fielddelete
