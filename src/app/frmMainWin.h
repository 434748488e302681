#pragma once

#include <QWidget>

namespace ql {

class frmMainWin : public QWidget {
    Q_OBJECT

public:
    explicit frmMainWin(QWidget* parent = nullptr);
};

} // namespace ql
