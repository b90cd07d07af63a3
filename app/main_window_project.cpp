// The desktop window's projects: New, Open, Save, Save As, Open recent, the modified mark in
// the title and the question about unsaved changes.
#include <QAction>
#include <QCloseEvent>
#include <QFileInfo>
#include <QKeySequence>
#include <QMenu>
#include <QSettings>
#include <QStatusBar>

#include <filesystem>

#include "app/main_window.h"
#include "errors/error_handling.h"
#include "host/project_file.h"
#include "io/project_data_loader.h"
#include "render/text_metrics.h"

namespace kartoplot::app {

namespace {

using Msg = language::DesktopMessage;

constexpr const char* kProgramName = "Kartoplot";
constexpr const char* kProjectEnding = ".kartoplot";
constexpr int kStatusMessageMs = 5000;

const QString kRecentKey = QStringLiteral("recentProjects");

}  // namespace

QSettings MainWindow::userSettings() const {
    if (!settingsFile_.isEmpty()) {
        return QSettings(settingsFile_, QSettings::IniFormat);
    }
    return QSettings(QStringLiteral("Kartoplot"), QStringLiteral("Kartoplot"));
}

void MainWindow::setSettingsFile(const QString& path) {
    settingsFile_ = path;
    rebuildRecentMenu();
}

void MainWindow::buildProjectMenu(QMenu* file) {
    const auto add = [&](Msg caption, const char* name, auto slot, QKeySequence key) {
        QAction* action = file->addAction(text(caption), this, slot);
        action->setObjectName(name);
        action->setShortcut(key);
        return action;
    };
    add(Msg::NewProjectAction, "actionNewProject", &MainWindow::newProject, QKeySequence::New);
    add(Msg::OpenProjectAction, "actionOpenProject", &MainWindow::openProject,
        QKeySequence(Qt::CTRL | Qt::Key_O));
    recentMenu_ = file->addMenu(text(Msg::RecentProjectsMenu));
    recentMenu_->setObjectName("menuRecentProjects");
    add(Msg::SaveProjectAction, "actionSaveProject", &MainWindow::saveProject, QKeySequence::Save);
    add(Msg::SaveProjectAsAction, "actionSaveProjectAs", &MainWindow::saveProjectAs,
        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    file->addSeparator();
    rebuildRecentMenu();
    // Charts made, data opened and graphics changed all end in a refresh of the view.
    connect(&canvas_, &MapCanvas::viewChanged, this, &MainWindow::updateTitle);
}

bool MainWindow::isDocumentModified() const {
    return documentState(*application_->document()) != savedState_;
}

void MainWindow::rememberDocumentState() {
    savedState_ = documentState(*application_->document());
    updateTitle();
}

QString MainWindow::projectName() const {
    const std::string& path = application_->document()->path();
    return path.empty() ? text(Msg::UntitledProject)
                        : QString::fromStdString(std::filesystem::path(path).stem().string());
}

void MainWindow::updateTitle() {
    // "[*]" is where Qt shows the modified mark.
    setWindowTitle(projectName() + QStringLiteral("[*] — ") + QString::fromLatin1(kProgramName));
    setWindowModified(isDocumentModified());
}

bool MainWindow::maybeSaveChanges() {
    if (!isDocumentModified()) {
        return true;
    }
    const host::MessageResult answer =
        interaction_->messageBox(texts_.text(Msg::SaveChangesStart) + projectName().toStdString() + "?",
                                 kProgramName, host::MessageButtons::YesNoCancel, host::MessageIcon::Question);
    switch (answer) {
        case host::MessageResult::Yes:
        case host::MessageResult::Ok: return saveProject();
        case host::MessageResult::No: return true;
        case host::MessageResult::Cancel: return false;
    }
    return false;
}

void MainWindow::showDocument(std::shared_ptr<host::MapDocument> document) {
    render::installTextMetrics(*document->focusMap());
    application_->setDocument(document);
    canvas_.setDocument(std::move(document));
    dataShown_ = !map()->fullExtent().isEmpty();
    emit documentReplaced();
    rememberDocumentState();
    updateStatus();
    updateCommandState();
    map()->refresh();
}

void MainWindow::newProject() {
    if (maybeSaveChanges()) {
        showDocument(std::make_shared<host::MapDocument>());
    }
}

void MainWindow::openProject() {
    host::FileDialogRequest request;
    request.title = texts_.text(Msg::OpenProjectTitle);
    request.filter = texts_.text(Msg::ProjectFilter);
    if (const auto path = interaction_->openFile(request)) {
        openProjectFile(*path);
    }
}

bool MainWindow::openProjectFile(const std::string& path) {
    if (!maybeSaveChanges()) {
        return false;
    }
    host::OpenedProject opened;
    try {
        opened = host::readProjectFile(path, io::FileProjectDataLoader());
    } catch (const HostError& e) {
        interaction_->messageBox(texts_.text(Msg::ProjectNotOpenedStart) + e.description(), kProgramName,
                                 host::MessageButtons::Ok, host::MessageIcon::Exclamation);
        return false;
    }
    showDocument(opened.document);
    addRecentProject(path);
    if (!opened.unavailable.empty()) {
        std::string lines = texts_.text(Msg::UnavailableSourcesStart);
        for (const host::UnavailableSource& u : opened.unavailable) {
            lines += "\n" + u.layer + " — " + u.reason;
        }
        interaction_->messageBox(lines, kProgramName, host::MessageButtons::Ok, host::MessageIcon::Exclamation);
    }
    return true;
}

bool MainWindow::writeProject(const std::string& path) {
    try {
        host::saveProject(*application_, path);
    } catch (const HostError& e) {
        interaction_->messageBox(texts_.text(Msg::ProjectNotSavedStart) + e.description(), kProgramName,
                                 host::MessageButtons::Ok, host::MessageIcon::Exclamation);
        return false;
    }
    addRecentProject(path);
    rememberDocumentState();
    statusBar()->showMessage(text(Msg::ProjectSavedStart) + QString::fromStdString(path), kStatusMessageMs);
    return true;
}

bool MainWindow::saveProject() {
    const std::string& path = application_->document()->path();
    if (path.empty()) {
        return saveProjectAs();
    }
    return writeProject(path);
}

bool MainWindow::saveProjectAs() {
    host::FileDialogRequest request;
    request.title = texts_.text(Msg::SaveProjectTitle);
    request.filter = texts_.text(Msg::ProjectFilter);
    request.fileName = projectName().toStdString() + kProjectEnding;
    const auto chosen = interaction_->saveFile(request);
    if (!chosen) {
        return false;  // cancelled: a quiet end
    }
    std::string path = *chosen;
    if (std::filesystem::path(path).extension().empty()) {
        path += kProjectEnding;
    }
    return writeProject(path);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (maybeSaveChanges()) {
        event->accept();
    } else {
        event->ignore();
    }
}

QStringList MainWindow::recentProjects() const { return userSettings().value(kRecentKey).toStringList(); }

void MainWindow::addRecentProject(const std::string& path) {
    const QString absolute = QFileInfo(QString::fromStdString(path)).absoluteFilePath();
    QStringList recent = recentProjects();
    recent.removeAll(absolute);
    recent.prepend(absolute);
    while (recent.size() > kMaxRecentProjects) {
        recent.removeLast();
    }
    QSettings settings = userSettings();
    settings.setValue(kRecentKey, recent);
    rebuildRecentMenu();
}

void MainWindow::rebuildRecentMenu() {
    recentMenu_->clear();
    const QStringList recent = recentProjects();
    for (qsizetype i = 0; i < recent.size(); ++i) {
        const QString path = recent[i];
        // "&1 world.kartoplot": a number to press, the file's name, its folder as the tip.
        QAction* action = recentMenu_->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(path).fileName()));
        action->setToolTip(path);
        action->setObjectName(QStringLiteral("actionRecentProject%1").arg(i + 1));
        connect(action, &QAction::triggered, this, [this, path] { openProjectFile(path.toStdString()); });
    }
    recentMenu_->addSeparator();
    QAction* clear = recentMenu_->addAction(text(Msg::ClearRecentAction), this, [this] {
        QSettings settings = userSettings();
        settings.remove(kRecentKey);
        rebuildRecentMenu();
    });
    clear->setObjectName("actionClearRecentProjects");
    clear->setEnabled(!recent.isEmpty());
    recentMenu_->setEnabled(true);
}

}  // namespace kartoplot::app
