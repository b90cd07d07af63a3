// An in-memory map for the main dialog tests: a document whose focus map holds a polygon layer
// "Land" and the point layers "Towns" and "Cities" (Cities on top, so it is offered first),
// a scripted user interface, a capturing error log and the dialog itself, not yet loaded.
#pragma once

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "errors/error_handling.h"
#include "dialog/main_dialog.h"
#include "host/host.h"

namespace kartoplot::dialog::testing {

using Strings = std::vector<std::string>;

class MainDialogTest : public ::testing::Test {
protected:
    MainDialogTest() {
        document->setPath("/maps/demo/world.mxd");
        application->setDocument(document);
        map = document->focusMap();

        auto land = std::make_shared<host::FeatureClass>("Land", host::GeometryType::Polygon);
        map->addLayer(std::make_shared<host::FeatureLayer>("Land", land));
        towns = addPointLayer("Towns", {{"T1", 5, 1, 1, 1}});
        cities = addPointLayer(
            "Cities",
            {{"Moscow", 0, 12.5, 3, 7}, {"Paris", 100, 4, -2, 40}, {"Rome", 200, 1, 9, 2}});

        dialog.setApplication(application);
        dialog.setDocument(document);
        dialog.setMap(map);
        dialog.setLanguage("English");
        dialog.setInteraction(ui);
        dialog.setDecimalSeparatorForTests(".");
    }

    struct Row {
        std::string name;
        double x, a, b, c;
    };
    // A point layer with fields NAME (text), a, b, c (doubles) after OBJECTID and Shape.
    std::shared_ptr<host::FeatureLayer> addPointLayer(const std::string& name,
                                                      const std::vector<Row>& rows) {
        auto fc = std::make_shared<host::FeatureClass>(name, host::GeometryType::Point);
        fc->addField({"NAME", "", host::FieldType::String, 40});
        for (const char* field : {"a", "b", "c"}) {
            fc->addField({field, "", host::FieldType::Double, 0});
        }
        for (const Row& r : rows) {
            fc->createFeature(host::Point{r.x, 0}, {host::Variant(r.name), host::Variant(r.a),
                                                    host::Variant(r.b), host::Variant(r.c)});
        }
        auto layer = std::make_shared<host::FeatureLayer>(name, fc);
        map->addLayer(layer);
        return layer;
    }

    void load() { dialog.showModeless(); }

    template <class W>
    W* ctl(const char* name, int index = -1) {
        auto* widget = qobject_cast<W*>(dialog.control(QString::fromLatin1(name), index));
        EXPECT_NE(widget, nullptr) << name << "(" << index << ")";
        return widget;
    }
    std::string text(const char* box) { return ctl<QLineEdit>(box)->text().toStdString(); }
    // Types value into the text box and leaves it, as the user does.
    void enter(const char* box, const char* value) {
        ctl<QLineEdit>(box)->setText(QString::fromUtf8(value));
        QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(ctl<QLineEdit>(box), &leave);
    }
    QTreeWidget* available() { return ctl<QTreeWidget>("LstFields"); }
    QTreeWidget* chart() { return ctl<QTreeWidget>("LstViewFields"); }
    QTreeWidget* legend() { return ctl<QTreeWidget>("LstViewLegend"); }

    // Selects exactly the rows of a list whose text in the column is in names.
    static void selectRows(QTreeWidget* list, int column, const std::vector<std::string>& names) {
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            QTreeWidgetItem* row = list->topLevelItem(i);
            row->setSelected(
                std::count(names.begin(), names.end(), row->text(column).toStdString()));
        }
    }
    // Moves the named fields into the chart, in the available list's order.
    void moveToChart(const std::vector<std::string>& names) {
        selectRows(available(), 0, names);
        dialog.CmdFieldsTo_Click();
    }
    static std::vector<std::string> column(QTreeWidget* list, int col) {
        std::vector<std::string> out;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            out.push_back(list->topLevelItem(i)->text(col).toStdString());
        }
        return out;
    }
    static std::vector<std::string> items(QComboBox* box) {
        std::vector<std::string> out;
        for (int i = 0; i < box->count(); ++i) {
            out.push_back(box->itemText(i).toStdString());
        }
        return out;
    }
    std::vector<std::string> shownTexts() const {
        std::vector<std::string> out;
        for (const auto& m : ui->messages) {
            out.push_back(m.text);
        }
        return out;
    }

    std::shared_ptr<host::Application> application = std::make_shared<host::Application>();
    std::shared_ptr<host::MapDocument> document = std::make_shared<host::MapDocument>();
    std::shared_ptr<host::Map> map;
    std::shared_ptr<host::FeatureLayer> towns;
    std::shared_ptr<host::FeatureLayer> cities;
    std::shared_ptr<host::ScriptedInteraction> ui = std::make_shared<host::ScriptedInteraction>();
    std::shared_ptr<CapturingErrorLog> log = std::make_shared<CapturingErrorLog>();
    ScopedErrorLog scopedLog{log};
    frmKartoplot dialog;
};

}  // namespace kartoplot::dialog::testing
