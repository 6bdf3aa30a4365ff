#include "TForm4.h"

#include "ui_TForm4.h"

TForm4::TForm4(QWidget* parent) : QDialog(parent), ui(new Ui::TForm4) {
    ui->setupUi(this);
    setFixedSize(402, 128);
}
TForm4::~TForm4() = default;
