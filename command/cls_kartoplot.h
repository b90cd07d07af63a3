// The command the host shows and clicks: it opens the one shared main dialog over the
// current map document.
#pragma once

#include <QImage>

#include <cstdint>
#include <memory>
#include <string>

#include "host/command.h"
#include "host/interaction.h"
#include "host/map.h"

namespace kartoplot::dialog {
class frmKartoplot;
}

namespace kartoplot::command {

// The resource id of the command's bitmap.
inline constexpr int kCommandBitmapId = 101;

// The bitmap resource of that id: 32 × 32 pixels in 16 colours (a small bar chart beside a
// point); a null image for any other id.
QImage loadBitmapResource(int id);

// The one shared main dialog, made on first use; nullptr until then.
dialog::frmKartoplot* sharedDialogIfLoaded();
dialog::frmKartoplot& sharedDialog();
// Unloads and releases the shared dialog if it exists.
void releaseSharedDialog();

class ClsKartoplot final : public host::ICommand {
public:
    ClsKartoplot();  // loads the bitmap, language "Русский"
    ~ClsKartoplot() override;
    ClsKartoplot(const ClsKartoplot&) = delete;
    ClsKartoplot& operator=(const ClsKartoplot&) = delete;

    // True when the focus map of the application's document has a layer; false without an
    // application, document or map (nothing escapes into the host).
    bool Enabled() override;
    bool Checked() override { return false; }
    std::string Name() override { return "Quillfern_Plotkarta"; }
    std::string Caption() override;
    std::string Tooltip() override { return "Расстановка диаграмм на слое аннотаций"; }
    std::string Message() override { return {}; }
    std::string HelpFile() override { return {}; }
    std::int32_t HelpContextID() override { return 0; }
    std::int32_t Bitmap() override;
    std::string Category() override { return "Quillfern"; }
    void OnCreate(std::shared_ptr<host::Application> hook) override;
    // Hands document, map, application and language to the shared dialog, shows it modeless
    // in front and refreshes its feature-scope option.
    void OnClick() override;

    // The bitmap itself, for a toolbar.
    const QImage& bitmap() const noexcept { return bitmap_; }
    // Message boxes and choosers of the dialog (the desktop program's, or a scripted one).
    void setInteraction(std::shared_ptr<host::UserInteraction> interaction) {
        interaction_ = std::move(interaction);
    }
    bool dialogShown() const noexcept { return dialogShown_; }

    std::shared_ptr<host::Application> m_pApp;
    std::string Language = "Русский";

private:
    QImage bitmap_;
    bool dialogShown_ = false;
    std::shared_ptr<host::UserInteraction> interaction_;
};

}  // namespace kartoplot::command
