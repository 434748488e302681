#include "transfer/SendChecks.h"

#include "common/Failure.h"
#include "eventlog/Messages.h"
#include "transfer/RunContext.h"

namespace ql {

void checkRecordsToSend(const QStringList& records, const ProtocolCharacters& characters)
{
    if (records.isEmpty())
        throw Failure(Failure::kProgramError, msg::kNothingToSend, msg::kAuthorsMessage);
    for (qsizetype k = 0; k < records.size(); ++k) {
        const QString& record = records.at(k);
        const qsizetype sep = record.indexOf(characters.strSepChar);
        const qsizetype end = record.indexOf(characters.strEndChar);
        if (sep < 0 && end < 0)
            continue;
        const bool sepFirst = end < 0 || (sep >= 0 && sep < end);
        throw Failure(Failure::kProgramError,
                      msg::recordHoldsProtocolCharacter(static_cast<int>(k + 1),
                                                        sepFirst ? characters.strSepChar : characters.strEndChar),
                      msg::kAuthorsMessage);
    }
}

} // namespace ql
