#pragma once

#include <QString>

namespace ql {

// The text a label shows for a caption as the program sets it: CR LF is one line
// break, "&&" is one ampersand and a single "&" marks an access key, which
// labels without a partner control never act on.
QString shownCaption(const QString& caption);

} // namespace ql
