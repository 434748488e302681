#include "app/frmMainWin.h"

namespace ql {

frmMainWin::frmMainWin(QWidget* parent) : QWidget(parent, Qt::FramelessWindowHint)
{
    setFixedSize(689, 441);
}

} // namespace ql
