#include "common/FileNames.h"

#include <QFile>

namespace ql {

std::optional<QString> fileNameText(const QByteArray& bytes)
{
    QString name = QFile::decodeName(bytes);
    if (QFile::encodeName(name) != bytes)
        return std::nullopt;
    return name;
}

} // namespace ql
