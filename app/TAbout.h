#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TAbout;
}

class TAbout : public QDialog {
    Q_OBJECT
public:
    explicit TAbout(QWidget* parent = nullptr);
    ~TAbout() override;
    std::unique_ptr<Ui::TAbout> ui;
};
