#include "lab/LabError.h"

namespace lab {

LabError::LabError(Kind kind, const QString &message, const QString &detail)
    : std::runtime_error(message.toStdString())
    , m_kind(kind)
    , m_message(message)
    , m_detail(detail)
{
}

} // namespace lab
