#include "CorrectionHistory.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QUndoCommand>

namespace {

// One correction: the segment as it was and as it became, so that both
// directions put every time, time state and note back exactly.
class TimeCorrection : public QUndoCommand {
public:
    TimeCorrection(EventLog& log, EventLog::Segment before, const QString& text)
        : log_(log), before_(std::move(before)),
          after_(log.snapshot(before_.first, before_.last())) {
        setText(text);
    }
    void undo() override { log_.restore(before_); }
    void redo() override {
        if (done_) // pushed after the change was made
            log_.restore(after_);
        done_ = true;
    }

private:
    EventLog& log_;
    EventLog::Segment before_;
    EventLog::Segment after_;
    bool done_ = false;
};

} // namespace

QString CorrectionHistory::unsavedQuestion() {
    return QStringLiteral("Время событий исправлено, но список не сохранен. Сохранить изменения?");
}

CorrectionHistory::CorrectionHistory(QMainWindow& window, QMenuBar& menuBar, QAction* before,
                                     UserDialogs& dialogs, std::function<bool()> save)
    : QObject(&window), window_(window), dialogs_(dialogs), save_(std::move(save)) {
    auto* menu = new QMenu(QStringLiteral("Правка"), &menuBar);
    menu->setObjectName(QStringLiteral("MenuEdit"));
    undo_ = stack_.createUndoAction(menu, QStringLiteral("Отменить"));
    undo_->setObjectName(QStringLiteral("MenuUndo"));
    undo_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    redo_ = stack_.createRedoAction(menu, QStringLiteral("Повторить"));
    redo_->setObjectName(QStringLiteral("MenuRedo"));
    redo_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    menu->addAction(undo_);
    menu->addAction(redo_);
    menuBar.insertMenu(before, menu);
    // the shortcuts work with the menu closed
    window_.addAction(undo_);
    window_.addAction(redo_);

    if (!window_.windowTitle().contains(QStringLiteral("[*]")))
        window_.setWindowTitle(window_.windowTitle() + QStringLiteral("[*]"));
    connect(&stack_, &QUndoStack::cleanChanged, this,
            [this](bool clean) { window_.setWindowModified(!clean); });
    connect(undo_, &QAction::triggered, this, &CorrectionHistory::eventsChanged);
    connect(redo_, &QAction::triggered, this, &CorrectionHistory::eventsChanged);
}

bool CorrectionHistory::correct(EventLog& log, int row, double time) {
    std::optional<EventLog::Segment> before = log.correctTime(row, time);
    if (!before)
        return false;
    const int number = log.events().at(row).number;
    stack_.push(new TimeCorrection(log, std::move(*before),
                                   QStringLiteral("исправление времени события %1").arg(number)));
    return true;
}

void CorrectionHistory::clear() {
    stack_.clear();
    window_.setWindowModified(false);
}

bool CorrectionHistory::mayDrop() {
    if (!unsaved())
        return true;
    const UserDialogs::Answer answer =
        dialogs_.show({.owner = &window_,
                       .text = unsavedQuestion(),
                       .caption = QString(),
                       .icon = UserDialogs::Icon::None,
                       .buttons = UserDialogs::Buttons::SaveDiscardCancel});
    switch (answer) {
    case UserDialogs::Answer::Save:
        return save_();
    case UserDialogs::Answer::Discard:
        return true;
    default:
        return false;
    }
}
