#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "model/profile.h"
#include "ui/card/card_layout.h"
#include "ui/theme/glyph.h"
#include "ui/theme/panel_view.h"

class QScrollArea;

namespace vornisel {

class ActionButton;
class ClientRuntime;
class DiagnosticView;
class MeterBridge;

// What the card draws itself: the status icon and the four text lines.
struct CardTexts {
    Glyph statusGlyph = Glyph::device;
    QString name, subtitle, health, status;
};

// The card's controls by what they do; the keyboard's place in the list is a device and one of
// these, so it survives a rebuild of the cards.
enum class CardRole { toggle, edit, info, remove, recommend, exportBundle };

CardTexts cardTexts(const Profile& profile, const ClientRuntime& runtime);

// One virtual device in the main window's list. The card only shows the runtime's state and
// forwards clicks: the controller installs a handler on each button (or all at once with
// setHandlers) and calls refresh() whenever the runtime changes. The expanded state lives in the
// runtime, so it survives a rebuild of the card list.
class DeviceCard : public PanelView {
    Q_OBJECT
public:
    struct Handlers {
        std::function<void()> toggle, edit, info, remove, recommend, exportBundle;
    };

    DeviceCard(const Profile& profile, std::shared_ptr<ClientRuntime> runtime,
               QWidget* parent = nullptr);

    // 308 points while the diagnostics are expanded, else 124; the controller sizes the card.
    int requestedHeight() const;

    // Recomputes icons, tool tips, enabled states, visibility, texts and the frames of every
    // part from the runtime, and redraws the card, its meters and its diagnostics.
    void refresh();

    void setHandlers(const Handlers& handlers);

    // While a group start or stop runs, the toggle stays disabled through every refresh.
    void setLocked(bool locked);

    // The control for `role`, and the roles in the order the arrow keys walk them.
    ActionButton* button(CardRole role) const;
    static const std::vector<CardRole>& roles();

    const Profile& profile() const { return profile_; }
    const std::shared_ptr<ClientRuntime>& runtime() const { return runtime_; }
    ActionButton* toggle() const { return toggle_; }
    ActionButton* edit() const { return edit_; }
    ActionButton* info() const { return info_; }
    ActionButton* remove() const { return remove_; }
    ActionButton* recommend() const { return recommend_; }
    ActionButton* exportButton() const { return export_; }
    MeterBridge* meter() const { return meter_; }
    QScrollArea* meterScroll() const { return meterScroll_; }
    DiagnosticView* diagnostics() const { return diagnostics_; }
    const CardFrames& frames() const { return frames_; }
    const CardTexts& texts() const { return texts_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;

private:
    void describe();
    QRectF nameRect() const;
    QRectF statusRect() const;
    void buildMeterStrip();
    void placeParts();
    void updateButtons();
    void updateRecommendation();
    void drawTexts(QPainter& painter) const;

    Profile profile_;
    std::shared_ptr<ClientRuntime> runtime_;
    ActionButton* toggle_;
    ActionButton* edit_;
    ActionButton* info_;
    ActionButton* remove_;
    MeterBridge* meter_;
    QScrollArea* meterScroll_;
    DiagnosticView* diagnostics_;
    ActionButton* recommend_;
    ActionButton* export_;
    CardFrames frames_;
    CardTexts texts_;
    bool locked_ = false;
};

}  // namespace vornisel
