#include "app/frmHelpAbout.h"

namespace ql {

frmHelpAbout::frmHelpAbout(QWidget& mainWindow) : QDialog(nullptr, Qt::FramelessWindowHint)
{
    Q_UNUSED(mainWindow);
}

} // namespace ql
