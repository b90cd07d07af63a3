// The desktop window: the map canvas, opening and exporting data, navigation, the scale in
// the status bar and the toolbar button of the chart command.
#pragma once

#include <QActionGroup>
#include <QIcon>
#include <QLabel>
#include <QMainWindow>
#include <QSettings>
#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/document_state.h"
#include "app/map_canvas.h"
#include "host/interaction.h"
#include "host/map.h"
#include "language/messages.h"

class QAction;
class QCloseEvent;
class QMenu;
class QToolBar;

namespace kartoplot::app {

// What the window shows for a command on its "Commands" toolbar, and what the button does.
struct CommandButton {
    QIcon icon;
    QString text;
    QString toolTip;
    // Whether the command can run now; nullptr = always.
    std::function<bool()> enabled;
    std::function<void()> onClick;
};

// The map's feature layers in drawing order from the top, those inside group layers included.
std::vector<std::shared_ptr<host::FeatureLayer>> featureLayersOf(const host::Map& map);

// "1 : 12 345 678": the scale rounded to a whole number, thousands grouped by thin spaces
// (U+2009). "1 : ?" for a scale that is not finite or below 0.5.
QString scaleText(double scale);

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    // Shows the focus map of the application's document (a new document is made when the
    // application has none). Every message and file dialog goes through `interaction`.
    // Menus, toolbars, status bar and file dialogs are Russian when
    // language::isRussian(language), else English.
    MainWindow(std::shared_ptr<host::Application> application,
               std::shared_ptr<host::UserInteraction> interaction, const std::string& language = {},
               QWidget* parent = nullptr);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    const std::shared_ptr<host::Application>& application() const noexcept { return application_; }
    const std::shared_ptr<host::Map>& map() const noexcept { return canvas_.map(); }
    MapCanvas& canvas() noexcept { return canvas_; }

    // Imports each file and adds its layers to the map, points above lines above areas (a
    // file's first layer on top of its kind). Files in another coordinate system than the
    // map's are projected to it; the map takes the system of the first layer that has one.
    // The first data opened are zoomed to. A file that cannot be imported is reported in a
    // message box and adds nothing. A layer file (*.lyr) adds its layer on top, its data read
    // again from the paths it holds; one whose data is missing is reported and adds nothing.
    // Returns the number of files opened.
    int openFiles(const std::vector<std::string>& paths);

    // Layer > Save as…: asks for a file (GeoPackage, GeoJSON or Shapefile by its ending; none:
    // ".gpkg") and writes the layer to it; a failure is reported in a message box. False when
    // cancelled or failed.
    bool saveLayerAs(const host::FeatureLayer& layer);

    // Installs the command shown on the "Commands" toolbar (replacing an earlier one).
    void setCommand(CommandButton button);
    // The command's toolbar action; nullptr until a command is installed.
    QAction* commandAction() const noexcept { return commandAction_; }

    // ---- projects (main_window_project.cpp) ----
    // At most this many projects are listed under File > Open recent.
    static constexpr int kMaxRecentProjects = 8;
    // Whether the document changed since it was opened or saved (see app/document_state.h).
    bool isDocumentModified() const;
    // Opens a project as the window's document, after asking about unsaved changes. False when
    // it was not opened: cancelled, or failed (reported in a message box, the document kept).
    // Layers whose data is missing are reported and kept without features.
    bool openProjectFile(const std::string& path);
    // The recent projects, newest first (from the user's settings).
    QStringList recentProjects() const;
    // Keeps the recent projects in this INI file instead of the user's settings.
    void setSettingsFile(const QString& path);

public slots:
    // File > Open data…: asks for a file and opens it.
    void openData();
    // File > Export map…: writes the current view to a PNG, SVG or PDF file that the user
    // names (a name without an ending gets ".png"); a failure is reported in a message box.
    void exportMapFile();
    void setReferenceScaleToCurrent();
    void clearReferenceScale();
    // Enables the command's action when its enabled() says so.
    void updateCommandState();
    // File > New project, Open project…, Save project, Save project as…: New and Open first
    // ask whether to save unsaved changes (Yes saves, No discards, Cancel stops). Saving
    // reports a failure in a message box and returns false; Save asks for a name when the
    // document has none. The window title is "NAME — Kartoplot", NAME marked when modified.
    void newProject();
    void openProject();
    bool saveProject();
    bool saveProjectAs();

signals:
    // The window shows another document (New, Open): holders of the old one let it go.
    void documentReplaced();

protected:
    // Asks about unsaved changes; Cancel keeps the window open.
    void closeEvent(QCloseEvent* event) override;

private:
    bool openFile(const std::string& path);
    bool openLayerFile(const std::string& path);
    void buildMenus();
    void buildProjectMenu(QMenu* file);
    bool maybeSaveChanges();
    bool writeProject(const std::string& path);
    void showDocument(std::shared_ptr<host::MapDocument> document);
    void rememberDocumentState();
    void updateTitle();
    void addRecentProject(const std::string& path);
    void rebuildRecentMenu();
    QString projectName() const;
    QSettings userSettings() const;
    void updateStatus();
    void runCommand();
    QString text(language::DesktopMessage id) const;

    language::DesktopMessages texts_;
    std::shared_ptr<host::Application> application_;
    std::shared_ptr<host::UserInteraction> interaction_;
    MapCanvas canvas_;
    QLabel scaleLabel_;
    QLabel referenceScaleLabel_;
    QActionGroup toolGroup_{this};
    QToolBar* commandsToolBar_ = nullptr;  // owned by the window
    QAction* commandAction_ = nullptr;     // owned by the toolbar
    QAction* clearReferenceAction_ = nullptr;  // owned by the menu
    CommandButton command_;
    QMenu* recentMenu_ = nullptr;  // owned by the File menu
    QString settingsFile_;         // empty: the user's settings
    DocumentState savedState_;     // the document's state when it was opened or saved
    bool dataShown_ = false;
};

}  // namespace kartoplot::app
