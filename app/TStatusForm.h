#pragma once

#include <QDialog>

struct ReadOutOutcome;

#include <memory>

namespace Ui {
class TStatusForm;
}

// The Information dialog: driver texts and what the last read-out learnt.
class TStatusForm : public QDialog {
    Q_OBJECT
public:
    explicit TStatusForm(QWidget* parent = nullptr);
    ~TStatusForm() override;
    std::unique_ptr<Ui::TStatusForm> ui;
    // Driver texts 1 to 3, renewed from the main window on every showing.
    void FormShow(const QString& text1, const QString& text2, const QString& text3);
    // The tablet's serial, device name and date from a read-out's judgement.
    void showTablet(const ReadOutOutcome& outcome);
    void clearTablet();
};
