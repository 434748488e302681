#pragma once

#include <QDialog>

namespace ql {

class frmHelpAbout : public QDialog {
    Q_OBJECT

public:
    explicit frmHelpAbout(QWidget& mainWindow);
};

} // namespace ql
