#include "Exchange.h"

namespace exchange {

QString versionText(const frame::Payload &payload)
{
    return QString::fromLatin1(payload.text());
}

QString cameraName(const frame::Payload &payload)
{
    return QString::fromLocal8Bit(payload.text());
}

} // namespace exchange
