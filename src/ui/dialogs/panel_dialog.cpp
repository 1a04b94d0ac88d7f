#include "ui/dialogs/panel_dialog.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>

#include "l10n/localizer.h"
#include "ui/theme/action_button.h"
#include "ui/theme/panel_view.h"
#include "ui/theme/theme.h"

namespace vornisel {
namespace {

const QColor& errorColor() {
    static const QColor color = Theme::color(0xFF8A8A);
    return color;
}

const QColor& separatorColor() {
    static const QColor color = Theme::color(0x353C45);
    return color;
}

// Built before the members that hang off it, so the content panel must exist first.
DialogWindow* makeWindow(const QString& title, QSize size) {
    auto* window = new DialogWindow;
    window->setWindowTitle(title);
    window->setFixedSize(size);
    return window;
}

}  // namespace

PanelDialog::PanelDialog(const QString& title, QSize size)
    : root(new PanelView(makeWindow(title, size))),
      error(Theme::label(QString(), 12, errorColor(), false, root)),
      save(new ActionButton(QString(), std::nullopt, {}, root)),
      cancel(new ActionButton(QString(), std::nullopt, {}, root)),
      window_(static_cast<DialogWindow*>(root->parentWidget())) {
    root->setGeometry(0, 0, size.width(), size.height());
    cancel->setTitle(localized("dialog.cancel"));
    cancel->setHandler([this] { finish(false); });
    save->setTitle(localized("dialog.save"));
    window_->confirm = [this] { save->click(); };
    window_->cancel = [this] { finish(false); };
    window_->shouldClose = [this] { return windowShouldClose(); };
    placeFrame(size);
}

PanelDialog::~PanelDialog() {
    if (completion_) postCompletion();
    // Unhooked first: deleting a visible window may ask its closures on the way out.
    if (window_) {
        window_->cancel = nullptr;
        window_->shouldClose = nullptr;
        window_->confirm = nullptr;
        delete window_.data();
    }
}

void PanelDialog::placeFrame(QSize size) {
    const int w = size.width();
    const int h = size.height();
    cancel->setGeometry(w - 208, h - 48, 88, 32);
    save->setGeometry(w - 112, h - 48, 88, 32);
    error->setGeometry(24, h - 84, w - 48, 28);
    separator_ = new PanelView(root);
    separator_->setFill(separatorColor());
    separator_->setGeometry(0, h - 65, w, 1);
}

void PanelDialog::fitScreen(QWidget* parent) {
    QScreen* screen =
        parent && parent->screen() ? parent->screen() : QGuiApplication::primaryScreen();
    if (!screen || !window_) return;
    constexpr int titleBar = 40;
    constexpr int footerHeight = 84;
    const int room = screen->availableGeometry().height() - titleBar;
    const QSize size = window_->size();
    if (size.height() <= room || room <= footerHeight * 2) return;
    auto* footer = new PanelView(window_);
    footer->setFill(Theme::background());
    footer->setGeometry(0, room - footerHeight, size.width(), footerHeight);
    const int shift = size.height() - footerHeight;
    for (QWidget* part : {static_cast<QWidget*>(error), static_cast<QWidget*>(separator_),
                          static_cast<QWidget*>(cancel), static_cast<QWidget*>(save)}) {
        const QPoint at = part->pos() - QPoint(0, shift);
        part->setParent(footer);
        part->move(at);
        part->show();
    }
    auto* area = new QScrollArea(window_);
    area->setFrameShape(QFrame::NoFrame);
    area->setFocusPolicy(Qt::NoFocus);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setGeometry(0, 0, size.width(), room - footerHeight);
    root->resize(size.width(), shift);
    area->setWidget(root);
    window_->setFixedSize(size.width(), room);
    followFocus(area);
    // Moving the parts reordered the Tab chain; the fields come first again.
    chainTabs();
}

void PanelDialog::followFocus(QScrollArea* area) {
    // Tab and Shift+Tab from the buttons below land on fields scrolled out of view; the keyboard's
    // place is always shown. A field inside a scroll area of its own (the route matrix) brings
    // that whole area into view, which then shows its own focus.
    QObject::connect(qApp, &QApplication::focusChanged, area, [area](QWidget*, QWidget* now) {
        QWidget* content = area->widget();
        if (!now || !content || !content->isAncestorOf(now)) return;
        QWidget* shown = now;
        for (QWidget* w = now->parentWidget(); w != content; w = w->parentWidget()) {
            if (qobject_cast<QAbstractScrollArea*>(w)) shown = w;
        }
        area->ensureWidgetVisible(shown, 8, 8);
    });
}

void PanelDialog::setFieldOrder(std::initializer_list<QWidget*> fields) {
    fields_.assign(fields);
    chainTabs();
}

void PanelDialog::chainTabs() {
    // Tab walks the fields first, then Cancel and Save, as they read on the sheet.
    std::vector<QWidget*> chain = fields_;
    chain.insert(chain.end(), {cancel, save});
    for (size_t i = 0; i + 1 < chain.size(); ++i)
        QWidget::setTabOrder(chain[i], chain[i + 1]);
}

void PanelDialog::focusFirstField() {
    for (QWidget* field : fields_) {
        if (field->isEnabled() && field->isVisibleTo(window_) &&
            (field->focusPolicy() & Qt::TabFocus)) {
            field->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

void PanelDialog::fail(const QString& reason) {
    error->setText(reason);
    error->setAccessibleName(reason);
    QAccessibleEvent alert(error, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

QLabel* PanelDialog::label(const QString& text, int x, int y, int width) {
    QLabel* caption = Theme::label(text, 13, Theme::secondary(), false, root);
    caption->setGeometry(x, y, width, 20);
    return caption;
}

QString PanelDialog::localized(const std::string& key) {
    return qtext(vornisel::tr(key));
}

void PanelDialog::present(QWidget* parent, std::function<void(bool)> completion) {
    if (!window_ || completion_) return;
    completion_ = std::move(completion);
    window_->setParent(parent, window_->windowFlags());
    window_->setWindowModality(Qt::WindowModal);
    fitScreen(parent);
    focusFirstField();
    window_->open();
}

void PanelDialog::finish(bool outcome) {
    // The first way out decides; a Save that lands after Cancel changes nothing.
    if (finished_) return;
    finished_ = true;
    *accepted_ = outcome;
    if (window_) window_->hide();
    if (completion_) postCompletion();
}

bool PanelDialog::windowShouldClose() {
    finish(false);
    return false;
}

void PanelDialog::postCompletion() {
    // Queued so that the completion never runs inside one of the dialog's own event handlers and
    // may release the dialog; the outcome is read when it runs, as long as the dialog lives.
    // With the application already gone there is no event loop left to report to.
    if (!QCoreApplication::instance()) {
        completion_ = nullptr;
        return;
    }
    std::weak_ptr<bool> outcome = accepted_;
    QMetaObject::invokeMethod(
        qApp,
        [completion = std::move(completion_), outcome] {
            const auto accepted = outcome.lock();
            completion(accepted && *accepted);
        },
        Qt::QueuedConnection);
    completion_ = nullptr;
}

}  // namespace vornisel
