#include "WindowParts.h"

#include "ui_TForm1.h"

#include <QIcon>
#include <QLabel>
#include <QStatusBar>
#include <QToolButton>

void WindowParts::setIcons(Ui::TForm1& ui) {
    const std::pair<QToolButton*, QString> icons[] = {
        {ui.SpeedButOpen, "open"}, {ui.SpeedButSave, "save"}, {ui.SpeedButStart, "start"},
        {ui.SpeedButStop, "stop"}, {ui.SpeedButInfo, "info"}, {ui.SpeedButExport, "export"}};
    for (const auto& [button, name] : icons) {
        QIcon icon(":/icons/" + name + ".svg");
        if (button == ui.SpeedButStart || button == ui.SpeedButStop)
            icon.addFile(":/icons/" + name + "-disabled.svg", {}, QIcon::Disabled);
        button->setIcon(icon);
    }
    for (QToolButton* b : ui.ToolBar1->findChildren<QToolButton*>())
        b->setIconSize(QSize(16, 16));
}

QLabel* WindowParts::addPanel(QStatusBar& bar, const QString& name, int width, bool fixed) {
    auto* panel = new QLabel(&bar);
    panel->setObjectName(name);
    if (fixed)
        panel->setFixedWidth(width);
    else
        panel->setMinimumWidth(width);
    bar.addWidget(panel);
    return panel;
}
