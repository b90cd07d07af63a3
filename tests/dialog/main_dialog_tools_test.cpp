// The main dialog's chart tools on charts standing in their chart graphics layer: label
// removal, identify, and the field deletion dialog opened for the chosen layer.
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <functional>
#include <tuple>

#include "engine/element_data.h"
#include "fielddelete/frm_multy_fields_delete.h"
#include "tests/dialog/main_dialog_fixture.h"

namespace kartoplot::dialog::testing {
namespace {

using host::MessageButtons;
using host::MessageResult;
using Strings = std::vector<std::string>;

// Charts as the run leaves them in "Cities_charts": a group of the marker (named after the key,
// carrying the chart data), three value labels and a leader line; beside them a group that is
// no chart (a text and an unnamed marker without data) and a plain text in the default layer.
class ChartToolsTest : public MainDialogTest {
protected:
    ChartToolsTest() {
        load();
        ui->messages.clear();
        standCharts();
    }

    void standCharts() {
        charts->deleteAllElements();
        map->basicGraphicsLayer().deleteAllElements();
        moscow = addChart("Moscow", {100.0, 0.0, 12.5, host::Variant("<Null>")});
        paris = addChart("Paris", {100.0, 0.0, 4.0, -2.0});
        other = std::make_shared<host::GroupElement>();
        other->addElement(std::make_shared<host::TextElement>());
        other->addElement(std::make_shared<host::MarkerElement>());
        charts->addElement(other);
        note = std::make_shared<host::TextElement>();
        map->basicGraphicsLayer().addElement(note);
    }

    std::shared_ptr<host::GroupElement> addChart(const std::string& key,
                                              std::vector<host::Variant> values) {
        auto marker = std::make_shared<host::MarkerElement>();
        marker->setName(key);
        values.insert(values.begin(), host::Variant("Cities"));
        engine::SetElementData(*marker,
                               std::make_shared<const std::vector<std::string>>(
                                   Strings{"LayerName", "#Vmax#", "#Vmin#", "a", "b"}),
                               std::move(values));
        auto group = std::make_shared<host::GroupElement>();
        group->addElement(marker);
        for (int i = 0; i < 3; ++i) {
            group->addElement(std::make_shared<host::TextElement>());
        }
        group->addElement(std::make_shared<host::LineElement>());
        charts->addElement(group);
        return group;
    }
    void select(const std::vector<std::shared_ptr<host::Element>>& elements) {
        map->unselectAllElements();
        for (const auto& e : elements) {
            map->selectElement(e);
        }
    }
    static Strings kinds(const host::GroupElement& group) {
        Strings out;
        for (const auto& m : group.members()) {
            out.push_back(m->className());
        }
        return out;
    }
    std::vector<host::ScriptedInteraction::ShownMessage> shown() const { return ui->messages; }

    std::shared_ptr<host::GraphicsLayer> charts = map->basicGraphicsLayer().addLayer("Cities_charts");
    std::shared_ptr<host::GroupElement> moscow;
    std::shared_ptr<host::GroupElement> paris;
    std::shared_ptr<host::GroupElement> other;
    std::shared_ptr<host::TextElement> note;
};

const Strings kWholeChart{"MarkerElement", "TextElement", "TextElement", "TextElement", "LineElement"};
const Strings kUnlabelledChart{"MarkerElement", "LineElement"};
const Strings kOther{"TextElement", "MarkerElement"};

// Every chart group of the selection loses its labels in its own layer (not only the first one,
// as an update in the map's default layer refused it); others keep theirs.
TEST_F(ChartToolsTest, RemoveLabelsFromEverySelectedChartAfterAYes) {
    const struct {
        const char* what;
        bool selectAll;
        std::vector<MessageResult> answers;
        bool withInteraction;
        Strings moscowAfter;
        Strings parisAfter;
        int questions;
        int records;
    } cases[] = {
        {"nothing selected", false, {}, true, kWholeChart, kWholeChart, 0, 0},
        {"No", true, {MessageResult::No}, true, kWholeChart, kWholeChart, 1, 0},
        {"Yes", true, {}, true, kUnlabelledChart, kUnlabelledChart, 1, 0},
        {"no interaction service", true, {}, false, kWholeChart, kWholeChart, 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        standCharts();
        select(c.selectAll ? std::vector<std::shared_ptr<host::Element>>{moscow, other, note, paris}
                           : std::vector<std::shared_ptr<host::Element>>{});
        ui->messages.clear();
        ui->messageAnswers.assign(c.answers.begin(), c.answers.end());
        log->clear();
        dialog.setInteraction(c.withInteraction ? ui : nullptr);
        const auto changesBefore = charts->changeCount();

        ctl<QPushButton>("CmdRemoveLabels")->click();

        EXPECT_EQ(kinds(*moscow), c.moscowAfter);
        EXPECT_EQ(kinds(*paris), c.parisAfter);
        EXPECT_EQ(kinds(*other), kOther);
        EXPECT_EQ(note->container(), &map->basicGraphicsLayer());
        ASSERT_EQ(ui->messages.size(), static_cast<std::size_t>(c.questions));
        if (c.questions == 1) {
            EXPECT_EQ(ui->messages[0].text, "Do you want to remove chart labels?");
            EXPECT_EQ(ui->messages[0].title, "remove labels");
            EXPECT_EQ(ui->messages[0].buttons, MessageButtons::YesNo);
        }
        const bool removed = c.moscowAfter == kUnlabelledChart;
        EXPECT_EQ(charts->changeCount() > changesBefore, removed);
        if (removed) {
            EXPECT_EQ(map->lastRefreshPhase(), host::DrawPhase::Graphics);
        }
        ASSERT_EQ(log->records().size(), static_cast<std::size_t>(c.records));
        if (c.records == 1) {
            EXPECT_NE(log->records()[0].find("\tCmdRemoveLabels_Click frmKartoplot_ListView Line : 2"),
                      std::string::npos);
        }
        EXPECT_TRUE(dialog.isVisible());
    }
}

TEST_F(ChartToolsTest, IdentifyShowsEachChartsDataAndStopsOnCancel) {
    const std::string moscowText = "#Vmax# = 100\r\n#Vmin# = 0\r\na = 12.5\r\nb = <Null>\r\n";
    const std::string parisText = "#Vmax# = 100\r\n#Vmin# = 0\r\na = 4\r\nb = -2\r\n";
    using Shown = std::tuple<std::string, std::string, MessageButtons>;
    const struct {
        const char* what;
        std::vector<std::shared_ptr<host::Element>> selection;
        std::vector<MessageResult> answers;
        std::vector<Shown> messages;
    } cases[] = {
        {"nothing selected", {}, {}, {}},
        {"two charts", {moscow, paris}, {},
         {{moscowText, "info# 1 Key= Moscow", MessageButtons::RetryCancel},
          {parisText, "info# 2 Key= Paris", MessageButtons::Ok}}},
        {"Cancel on the first skips the second", {moscow, paris}, {MessageResult::Cancel},
         {{moscowText, "info# 1 Key= Moscow", MessageButtons::RetryCancel}}},
        {"a plain text and a group without data", {note, other}, {},
         {{"no attached data", "info# 1", MessageButtons::Ok},
          {"no attached data", "info# 2", MessageButtons::Ok}}},
        {"the chart's marker itself", {moscow->element(0)}, {},
         {{moscowText, "info# 1 Key= Moscow", MessageButtons::Ok}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        select(c.selection);
        ui->messages.clear();
        ui->messageAnswers.assign(c.answers.begin(), c.answers.end());
        log->clear();
        ctl<QPushButton>("CmdIdentityGraphics")->click();
        std::vector<Shown> messages;
        for (const auto& m : ui->messages) {
            messages.emplace_back(m.text, m.title, m.buttons);
        }
        EXPECT_EQ(messages, c.messages);
        EXPECT_TRUE(log->records().empty());
        EXPECT_TRUE(dialog.isVisible());
        if (c.messages.size() == 2 && c.selection.size() == 2) {
            // Each element in turn became the selection's current one, redrawn where it stands.
            EXPECT_EQ(map->selectedElement(0), c.selection[1]);
            EXPECT_EQ(map->lastRefreshPhase(), host::DrawPhase::GraphicSelection);
        }
    }
    // A failure ends the command with a report, and the dialog comes back.
    select({moscow});
    dialog.setInteraction(nullptr);
    ctl<QPushButton>("CmdIdentityGraphics")->click();
    ASSERT_EQ(log->records().size(), 1U);
    EXPECT_NE(log->records()[0].find("\tCmdIdentityGraphics_Click frmKartoplot_ListView Line : 1"),
              std::string::npos);
    EXPECT_TRUE(dialog.isVisible());
}

// The field deletion dialog works on the chosen layer; the main dialog's lists then show the
// layer's fields as they are, instead of the deleted ones, and the chart rows and key field that
// stay keep their places, symbols and labels.
TEST_F(ChartToolsTest, FieldDeletionOnTheChosenLayerRefreshesTheFieldLists) {
    ASSERT_EQ(ctl<QComboBox>("CmbLayers")->currentText().toStdString(), "Cities");
    const struct {
        const char* what;
        const char* button;
        Strings deleted;
    } cases[] = {{"Cancel", "CmdCancel", {}}, {"Delete a and b", "CmdDel", {"a", "b"}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        dialog.CmdFieldsBackAll_Click();
        moveToChart({"c"});
        moveToChart({"a"});
        ctl<QComboBox>("CmbKey")->setCurrentText("NAME");
        const host::SymbolArray symbolsBefore = dialog.ChartSymbolArray();
        Strings offered;
        std::string layerName;
        dialog.setFieldDeleteShow([&](fielddelete::FrmMultyFieldsDelete& form) {
            auto* list = qobject_cast<QListWidget*>(form.control("LstFields"));
            for (int i = 0; i < list->count(); ++i) {
                offered.push_back(list->item(i)->text().toStdString());
                list->item(i)->setSelected(list->item(i)->text() == "a" || list->item(i)->text() == "b");
            }
            layerName = qobject_cast<QLabel*>(form.control("LblLayerName"))->text().toStdString();
            QTest::mouseClick(qobject_cast<QPushButton*>(form.control(c.button)), Qt::LeftButton);
        });
        ctl<QPushButton>("CmdMultyFieldsDelete")->click();
        EXPECT_EQ(layerName, "Cities");
        EXPECT_EQ(offered, (Strings{"NAME", "a", "b", "c"}));
        const auto& fields = cities->featureClass()->fields();
        const Strings listed = column(available(), 0);
        for (const char* name : {"a", "b"}) {
            const bool gone = std::count(c.deleted.begin(), c.deleted.end(), name) != 0;
            EXPECT_EQ(fields.findField(name) == -1, gone) << name;
        }
        // b waits in the available list unless deleted (a stands in the chart).
        const bool bGone = std::find(listed.begin(), listed.end(), "b") == listed.end();
        EXPECT_EQ(bGone, !c.deleted.empty());
        const bool deleted = !c.deleted.empty();
        EXPECT_EQ(column(chart(), 1), deleted ? Strings{"c"} : (Strings{"c", "a"}));
        ASSERT_EQ(dialog.ChartSymbolArray().count(), deleted ? 1 : 2);
        EXPECT_EQ(dialog.ChartSymbolArray().element(0), symbolsBefore.element(0));  // the same symbol object
        EXPECT_EQ(dialog.chartFields().row(0).fieldPosition, fields.findField("c"));
        EXPECT_EQ(ctl<QComboBox>("CmbKey")->currentText().toStdString(), "NAME");
        EXPECT_TRUE(log->records().empty());
    }
    // Without a layer to choose the opening fails and is reported under its own name.
    ctl<QComboBox>("CmbLayers")->clear();
    dialog.CmdMultyFieldsDelete_Click();
    ASSERT_EQ(log->records().size(), 1U);
    EXPECT_NE(log->records()[0].find("\tCmdMultyFieldsDelete_Click frmKartoplot_ListView Line : 1"),
              std::string::npos);
}

}  // namespace
}  // namespace kartoplot::dialog::testing
