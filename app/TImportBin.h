#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TImportBin;
}

class TImportBin : public QDialog {
    Q_OBJECT
public:
    explicit TImportBin(QWidget* parent = nullptr);
    ~TImportBin() override;
    std::unique_ptr<Ui::TImportBin> ui;
};
