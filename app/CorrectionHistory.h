#pragma once

#include "EventLog.h"
#include "UserDialogs.h"

#include <QObject>
#include <QUndoStack>

#include <functional>

class QAction;
class QMainWindow;
class QMenuBar;

// The time corrections made on the list on display, one undo step each, and
// whether any of them is not saved yet: the menu "Правка", the window title's
// mark and the question before unsaved corrections would be dropped.
class CorrectionHistory : public QObject {
    Q_OBJECT
public:
    // `save` runs "Сохранить"; true when the list was saved. The menu goes into
    // `menuBar` before `before`.
    CorrectionHistory(QMainWindow& window, QMenuBar& menuBar, QAction* before, UserDialogs& dialogs,
                      std::function<bool()> save);

    // Corrects the time of `row` as one step; false when nothing changed.
    bool correct(EventLog& log, int row, double time);
    // A new list: nothing to undo, nothing unsaved.
    void clear();
    void markSaved() { stack_.setClean(); }
    bool unsaved() const { return !stack_.isClean(); }
    // Asks before unsaved corrections are dropped; true when the action may go
    // on (saved, discarded, or nothing to lose).
    bool mayDrop();

    QAction* undoAction() const { return undo_; }
    QAction* redoAction() const { return redo_; }
    const QUndoStack& stack() const { return stack_; }

    static QString unsavedQuestion();

signals:
    // The list's events changed by an undo or redo.
    void eventsChanged();

private:
    QMainWindow& window_;
    UserDialogs& dialogs_;
    std::function<bool()> save_;
    QUndoStack stack_;
    QAction* undo_ = nullptr;
    QAction* redo_ = nullptr;
};
